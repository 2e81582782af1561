// The dialer's start-up as the program runs it, with the sign-in dialog answered as the first
// argument says: "cancel" presses Cancel; "signin GK PIN" signs in at gatekeeper GK with PIN (its
// listener on 127.0.0.1, any port) and runs the window until it closes; "wait" prints "sign-in shown"
// and leaves the dialog be. Message boxes are answered at once. Prints "window shown" once the main
// window appears, and "returned" if the start-up comes back instead of ending the program.
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
      std::puts("window shown");
      std::fflush(stdout);
      watch.stop();
    }
  });
  watch.start(5);
  WhenModal(nullptr, [mode, signIn, gatekeeper, pin](QWidget* dlg) {
    if (mode == "wait") {
      std::puts("sign-in shown");
      std::fflush(stdout);
      return;
    }
    if (mode == "cancel") return ClickDlgItem(dlg, 2);
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
