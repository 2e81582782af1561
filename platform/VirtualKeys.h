#pragma once

class QKeyEvent;

// The desktop's virtual-key code of a key press: '0'-'9' and 'A'-'Z' for the main keyboard,
// 0x60-0x69 for the numeric pad's digits, 0x6A for its '*', 13 for Enter, 27 for Escape, 32 for
// the space bar, 8 for Backspace, 9 for Tab; '#' and '*' typed on the main keyboard give those
// characters. 0 for any other key.
int VirtualKeyCode(const QKeyEvent& event);
