// Runs the dialer's start-up as the program does and answers the sign-in dialog as the first
// argument says: "cancel" presses Cancel, "incomplete" presses OK without a serial. Message
// boxes are answered at once. It prints "window shown" if the main window ever appears, and
// "returned" if the start-up comes back instead of ending the program.
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QTimer>

#include "app/CDialerApp.h"
#include "dialer/CDialerDlg.h"
#include "platform/DialogItems.h"
#include "platform/MessageBox.h"
#include "tests/support/QtTestMain.h"

int main(int argc, char **argv)
{
    const bool cancel = argc > 1 && std::strcmp(argv[1], "cancel") == 0;
    CDialerApp app(argc, argv);
    SetMessageBoxHook([](QWidget *, const std::string &text, const std::string &, unsigned) {
        std::printf("box: %s\n", text.c_str());
        std::fflush(stdout);
        return IDOK;
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<CDialerDlg *>(w) && w->isVisible())
                std::printf("window shown\n");
    });
    watch.start(5);
    WhenModal(nullptr, [cancel](QWidget *dlg) {
        if (cancel) {
            ClickDlgItem(dlg, 2);
            return;
        }
        TypeIntoDlgItem(dlg, 1020, "127.0.0.1");
        TypeIntoDlgItem(dlg, 1019, "1234");
        ClickDlgItem(dlg, 1);
    });
    app.InitInstance();
    std::printf("returned\n");
    return 3;
}
