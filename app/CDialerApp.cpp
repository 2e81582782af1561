#include "app/CDialerApp.h"

#include "dialer/CDialerDlg.h"
#include "platform/TerminationSignals.h"

CDialerApp::CDialerApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("vantro-dialer");
  setApplicationDisplayName("Vantro Dialer");
  // The desktop entry an install puts in share/applications, so that the desktop matches the
  // window to it (its icon in the task bar and the window list).
  setDesktopFileName("vantro-dialer");
  setQuitOnLastWindowClosed(false);
}

CDialerApp::~CDialerApp() = default;

bool CDialerApp::InitInstance() {
  // A logout, `kill`, Ctrl-C or a closed terminal ends the program as the close control does:
  // the call is cleared and the registration removed first. The handlers stay until the window
  // has finished unregistering, so a second signal cannot cut that short.
  CTerminationSignals endSignals;
  {
    CDialerDlg dlg(nullptr);
    QObject::connect(&endSignals, &CTerminationSignals::received, &dlg, &CDialerDlg::OnEndRequest);
    dlg.DoModal();  // the window's own loop is the program's main loop; its result is not used
  }
  return false;
}
