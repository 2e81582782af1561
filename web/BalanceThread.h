#pragma once

class CDialerDlg;

// The balance line refresh, run on a worker after every successful registration and every
// cleared call: reloads the settings file and, when its account settings are complete, shows
// "Balance= N/A" on the registration line and takes the serial and PIN of the file into the
// window's copies. While it runs the window's close request waits. Two refreshes never overlap:
// a second one waits for the first. Returns 1 for a null window, else 0.
int BalanceThread(CDialerDlg *window);
