#pragma once

#include <functional>
#include <string>

class QWidget;

// Button and icon flags of the message boxes the dialer shows.
enum : unsigned {
  MB_OK = 0x00,
  MB_OKCANCEL = 0x01,
  MB_YESNO = 0x04,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONASTERISK = 0x40,
};

// Results, as the buttons that closed the box.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The application's title, the caption of a box that has none of its own.
extern const char* const kAppTitle;

// Every message box of the program goes through here. On the user-interface thread the box is
// modal and the result is the button pressed. From any other thread the box is handed to the
// user-interface thread and the call returns IDOK at once, so no worker ever waits for the user
// while the user-interface thread might be waiting for it.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK, const std::string& caption = {},
                  QWidget* owner = nullptr);

// Tests replace the box: the hook sees what would be shown and answers for the user.
using MessageBoxHook =
    std::function<int(QWidget* owner, const std::string& text, const std::string& caption, unsigned type)>;
void SetMessageBoxHook(MessageBoxHook hook);
