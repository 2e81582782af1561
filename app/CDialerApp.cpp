#include "app/CDialerApp.h"

#include "dialer/CDialerDlg.h"

CDialerApp::CDialerApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName("vantro-dialer");
    setApplicationDisplayName("Vantro Dialer");
    // The desktop entry an install puts in share/applications, so that the desktop matches the
    // window to it (its icon in the task bar and the window list).
    setDesktopFileName("vantro-dialer");
    setQuitOnLastWindowClosed(false);
}

CDialerApp::~CDialerApp() = default;

bool CDialerApp::InitInstance()
{
    {
        CDialerDlg dlg(nullptr);
        dlg.DoModal(); // the window's own loop is the program's main loop; its result is not used
    }
    return false;
}
