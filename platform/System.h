#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, wrapping at 32 bits like a system tick count.
uint32_t GetTickCount();

// Ends the process at once with the given code, running no destructors (the files the program
// keeps are always replaced whole, so nothing is lost).
[[noreturn]] void ExitProcess(int code);
