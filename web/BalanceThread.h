#pragma once

class CDialerEvents;
class CDialerSettings;

// The balance line refresh, run on a worker after every successful registration and every
// cleared call: reloads the settings record from its file and, when its account settings are
// complete, reports "Balance= N/A" with the file's PIN and serial to the window. It reports its
// start and end (the window's close request waits meanwhile). Two refreshes never overlap: a
// second one waits for the first. Returns 1 for a null window, else 0.
int BalanceThread(CDialerEvents* window, CDialerSettings& settings);
