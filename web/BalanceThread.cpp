#include "web/BalanceThread.h"

#include "dialer/CDialerDlg.h"
#include "platform/UiThread.h"
#include "platform/WaitCursor.h"

int BalanceThread(CDialerDlg *w)
{
    if (!w)
        return 1;
    ++w->m_bBalanceRunning; // counted from the start, so a close request waits for a queued refresh
    {
        std::lock_guard serial(w->m_balanceMutex);
        CWaitCursor wait;
        w->m_settings.LoadSettings();
        if (!w->m_settings.IsInvalid()) {
            PostToUi(w, [w] { w->SetBalanceLine("Balance= N/A"); });
            w->m_strPin = w->m_settings.GetPin();
            w->m_strSerial = w->m_settings.GetSerial();
        }
    }
    --w->m_bBalanceRunning;
    return 0;
}
