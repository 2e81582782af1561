#include "web/BalanceThread.h"

#include <mutex>

#include "h323/CDialerEvents.h"
#include "platform/WaitCursor.h"
#include "settings/CDialerSettings.h"

int BalanceThread(CDialerEvents* w, CDialerSettings& settings) {
  if (!w) return 1;
  static std::mutex refreshes;  // one refresh at a time
  w->OnBalanceRefresh(true);
  {
    std::lock_guard serial(refreshes);
    CWaitCursor wait;
    settings.LoadSettings();
    if (!settings.IsInvalid()) w->OnBalance("Balance= N/A", settings.GetPin(), settings.GetSerial());
    // The end is told before the next refresh may report, so a report and its end stay together.
    w->OnBalanceRefresh(false);
  }
  return 0;
}
