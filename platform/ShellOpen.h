#pragma once

#include <string>
#include <vector>

// Opening addresses in the desktop's programs. Results follow the desktop shell's convention:
// a value above 32 is success, a value of 32 or less says what went wrong:
//   0 out of resources, 2 file not found, 3 path not found, 5 access denied, 8 out of memory,
//   11 not a program, 31 no program for it.
enum : int {
  SE_ERR_OOM_RESOURCES = 0,
  SE_ERR_FNF = 2,
  SE_ERR_PNF = 3,
  SE_ERR_ACCESSDENIED = 5,
  SE_ERR_OOM = 8,
  SE_ERR_BADFORMAT = 11,
  SE_ERR_NOASSOC = 31,
  SHELL_OPEN_OK = 42,
};

// Opens the address (a web address or a file) with the desktop's handler for it (xdg-open). An
// address without a scheme that is not an existing file is taken as a web address. Returns at
// once when the opener has not finished after a short while (it has then started the program).
int ShellOpen(const std::string& address);

// The Exec= line of the desktop's default handler of web pages (text/html), or "" when there is
// none.
std::string DefaultHtmlHandlerCommand();

// The program and arguments that open address with a desktop entry's Exec= line: the address
// takes the place of the file or URL placeholder and whatever followed it is dropped; without a
// placeholder it is added at the end. Other placeholders are left out. The address is always one
// argument of its own, never split or interpreted by a shell.
std::vector<std::string> HandlerArguments(const std::string& execLine, const std::string& address);

// Starts the program (argv[0] is looked up in PATH) without waiting for it. Returns 33 when it
// started, else a code 32 or less as above.
int StartProgram(const std::vector<std::string>& argv);

// How long ShellOpen waits for the opener to report, in milliseconds.
inline constexpr int kShellOpenWaitMs = 3000;
