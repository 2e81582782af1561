#pragma once

#include <cstdint>

// Milliseconds since an arbitrary start, wrapping at 32 bits like a system tick count.
uint32_t GetTickCount();

// Ends the process at once with the given code, running no destructors (the files the program
// keeps are always replaced whole, so nothing is lost).
[[noreturn]] void ExitProcess(int code);

#include <functional>

// Ends the program at once with the given code (ExitProcess), unless a test has put a hook in its
// place: then the hook gets the code and the call returns.
void EndProcess(int code);
void SetEndProcessHook(std::function<void(int)> hook);
