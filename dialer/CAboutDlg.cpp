#include "dialer/CAboutDlg.h"

#include <QLabel>
#include <QPushButton>

#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "res/Resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About VantroDialer");
  setFixedSize(DluToPixelsX(235), DluToPixelsY(71));

  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap::fromImage(LoadIconResource(128)));
  icon->move(DluToPixelsX(11), DluToPixelsY(17));
  icon->adjustSize();

  auto* version = new QLabel("VantroDialer Version 1.0", this);
  version->setGeometry(DluToPixels(40, 10, 119, 8));
  auto* about = new QLabel(
      "H323 based dialer for VOIP. It supports G723.1 voice codec. For any "
      "other supports please contact us.",
      this);
  about->setWordWrap(true);
  about->setGeometry(DluToPixels(40, 26, 147, 25));

  auto* ok = new QPushButton("OK", this);
  SetDlgCtrlID(ok, 1);
  ok->setGeometry(DluToPixels(178, 7, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
