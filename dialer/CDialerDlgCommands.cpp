// The window's menu, the About box, painting while minimised, the web links and the Book button.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>

#include "dialer/CAboutDlg.h"
#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"
#include "web/WebAddresses.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "res/Resources.h"

namespace {
constexpr int SC_ABOUT = 0x0010;
constexpr int SC_MINIMIZE = 0xF020;
constexpr int SC_CLOSE = 0xF060;
}  // namespace

void CDialerDlg::AppendAboutToSystemMenu() {
  const std::string about = LoadStringResource(101);
  if (about.empty()) return;
  m_sysMenu->addSeparator();
  m_sysMenu->addAction(QString::fromStdString(about), this, [this] { OnSysCommand(SC_ABOUT); });
}

void CDialerDlg::OnSysCommand(int command) {
  switch (command & 0xFFF0) {
    case SC_ABOUT: {
      CAboutDlg about(this);
      about.exec();
      break;
    }
    case SC_MINIMIZE: showMinimized(); break;
    case SC_CLOSE: close(); break;
    default: break;
  }
}

void CDialerDlg::contextMenuEvent(QContextMenuEvent* event) {
  // Only presses on the window itself, not on its controls, bring up the window's menu.
  if (childAt(event->pos()) == nullptr)
    m_sysMenu->popup(event->globalPos());
  else
    CShapedDialog::contextMenuEvent(event);
}

void CDialerDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
    m_sysMenu->popup(mapToGlobal(QPoint(0, 0)));
    return;
  }
  // A character typed while the window itself, not one of its controls, has the focus.
  QWidget* focus = QApplication::focusWidget();
  const bool windowItself = focus == nullptr || focus == this;
  const bool dialogKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                         event->key() == Qt::Key_Escape || event->key() == Qt::Key_Tab ||
                         event->key() == Qt::Key_Backtab;
  if (windowItself && !dialogKey && !event->text().isEmpty() && event->text()[0].isPrint()) {
    OnChar(event);
    return;
  }
  CShapedDialog::keyPressEvent(event);
}

void CDialerDlg::paintEvent(QPaintEvent* event) {
  if (!isMinimized()) {
    CShapedDialog::paintEvent(event);
    return;
  }
  // Minimised: the icon, centred.
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const int size = style()->pixelMetric(QStyle::PM_LargeIconSize);
  const QRect r((width() - size + 1) / 2, (height() - size + 1) / 2, size, size);
  m_hIcon.paint(&p, r);
}

void CDialerDlg::OnBook() {
  const int result = m_addressBookDlg.DoModal();
  if (result == -1) {
    AfxMessageBox("Some error has occured. Please try again.", MB_OK, {}, this);
  } else if (result == CAddressBookDlg::kCallResult) {
    m_strBookNumber = m_addressBookDlg.ChosenNumber();
    m_strDial = m_strBookNumber;
    UpdateData(false);
    PlaceCall();
  }
}

void CDialerDlg::OnWebPage(int id) {
  std::string address, caption;
  switch (id) {
    case IDC_LOG:
      address = BillingCustomerPage();
      caption = "Qorv Talk";
      break;
    case IDC_PRODUCT_LINK:
      address = ProductHomePage();
      caption = "Vantro Dialer";
      break;
    case IDC_MANUAL:
      address = ManualPage();
      caption = "Qorv Talk";
      break;
    case IDC_BANNER:
      address = ProductHomePage();
      caption = "Qorv Talk";
      break;
    default: return;
  }
  // The opener may take a moment; the window does not wait for it.
  StartWorker([this, address, caption] {
    if (ShellOpen(address) <= 32)
      AfxMessageBox("You Need Internet Explorer to view your balance", MB_OK, caption, this);
  });
}
