// Runs the dialer's start-up as the program does and answers the sign-in dialog as the first
// argument says: "cancel" presses Cancel, "signin GK PIN" signs in with the gatekeeper GK and the
// PIN (its call signalling listener then on 127.0.0.1 at a port the system chooses) and runs the
// window until it closes, "wait" prints "sign-in shown" and leaves the dialog to whatever comes.
// Message boxes are answered at once. It prints "window shown" once the main window appears, and
// "returned" if the start-up comes back instead of ending the program; after signing in that is the
// program's normal end.
#include <cstdio>
#include <cstring>
#include <string>

#include <QApplication>
#include <QTimer>

#include "app/CDialerApp.h"
#include "dialer/CDialerDlg.h"
#include "platform/DialogItems.h"
#include "platform/MessageBox.h"
#include "tests/support/QtTestMain.h"

namespace {

CDialerDlg* MainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* window = qobject_cast<CDialerDlg*>(w)) return window;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool signIn = mode == "signin" && argc > 3;
  const std::string gatekeeper = signIn ? argv[2] : "127.0.0.1";
  const std::string pin = signIn ? argv[3] : "1234";
  CDialerApp app(argc, argv);
  SetMessageBoxHook([](QWidget*, const std::string& text, const std::string&, unsigned) {
    std::printf("box: %s\n", text.c_str());
    std::fflush(stdout);
    return IDOK;
  });
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&watch] {
    if (CDialerDlg* window = MainWindow(); window && window->isVisible()) {
      std::printf("window shown\n");
      std::fflush(stdout);
      watch.stop();
    }
  });
  watch.start(5);
  WhenModal(nullptr, [mode, signIn, gatekeeper, pin](QWidget* dlg) {
    if (mode == "wait") {
      std::printf("sign-in shown\n");
      std::fflush(stdout);
      return;
    }
    if (mode == "cancel") {
      ClickDlgItem(dlg, 2);
      return;
    }
    if (signIn) {
      MainWindow()->EndPoint().listenerInterfaces = "127.0.0.1:0";
      TypeIntoDlgItem(dlg, 1018, "SER1");
    }
    TypeIntoDlgItem(dlg, 1020, gatekeeper.c_str());
    TypeIntoDlgItem(dlg, 1019, pin.c_str());
    ClickDlgItem(dlg, 1);
  });
  app.InitInstance();
  std::printf("returned\n");
  return signIn ? 0 : 3;
}
