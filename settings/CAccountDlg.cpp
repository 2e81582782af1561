#include "settings/CAccountDlg.h"

#include <QCheckBox>
#include <QLineEdit>

#include "platform/CBitmapButton.h"
#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"
#include "platform/System.h"
#include "res/SignInLayout.h"
#include "settings/CDialerSettings.h"

namespace {

QRect PlaceOf(int id) {
  for (const SignInControl& c : kSignInControls)
    if (c.id == id) return DluToPixels(c.x, c.y, c.w, c.h);
  return {};
}

template <typename W>
W* Place(QWidget* parent, int id) {
  auto* w = new W(parent);
  SetDlgCtrlID(w, id);
  w->setGeometry(PlaceOf(id));
  return w;
}

}  // namespace

CAccountDlg::CAccountDlg(QWidget* parent) : CShapedDialog(parent) {
  setWindowTitle("Vantro Dialer");
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setFixedSize(DluToPixelsX(kSignInWidth), DluToPixelsY(kSignInHeight));

  m_fields.gatekeeper = Place<QLineEdit>(this, IDC_GATEKEEPER);
  m_fields.serial = Place<QLineEdit>(this, IDC_SERIAL);
  m_fields.pin = Place<QLineEdit>(this, IDC_PIN);
  m_fields.gkPass = Place<QLineEdit>(this, IDC_GKPASS);
  m_useGkPass = Place<QCheckBox>(this, IDC_USE_GKPASS);
  m_remember = Place<QCheckBox>(this, IDC_REMEMBER);
  m_ok = Place<CBitmapButton>(this, 1);
  m_ok->setText("OK");
  m_cancel = Place<CBitmapButton>(this, 2);
  m_cancel->setText("Cancel");

  m_fields.Prepare(this, [this] { UpdateData(true); });
  connect(m_ok, &QAbstractButton::clicked, this, &CAccountDlg::accept);
  connect(m_cancel, &QAbstractButton::clicked, this, &CAccountDlg::reject);
}

int CAccountDlg::DoModal() {
  OnInitDialog();
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CAccountDlg::OnInitDialog() {
  UpdateData(false);
  SetBitmap(255);
  SetTransparentStatics(true);
  SetDragByBody(true);
  m_ok->LoadBitmaps(258);
  m_cancel->LoadBitmaps(260);
  m_remember->setChecked(true);
  m_useGkPass->setChecked(m_account.m_nGkPassEnabled != 0);
  m_ok->setEnabled(true);
  m_fields.gatekeeper->setFocus();
}

void CAccountDlg::UpdateData(bool save) { m_fields.Exchange(save, m_account); }

void CAccountDlg::accept() {
  m_ok->setEnabled(false);
  UpdateData(true);
  if (m_account.m_strSerial.empty() || m_account.m_strPin.empty()) {
    AfxMessageBox("You Must Enter Serial and PIN both.Try again.", MB_OK, {}, this);
    EndProcess(0);
    QDialog::reject();  // reached only when a test stands in for the end of the program
    return;
  }
  if (m_account.m_strGatekeeper.empty()) {
    AfxMessageBox("You Must Enter Gatekeeper Address.Try again.", MB_OK, {}, this);
    EndProcess(0);
    QDialog::reject();
    return;
  }
  m_account.m_nGkPassEnabled = m_useGkPass->isChecked() ? 1 : 0;
  m_bRememberAccount = m_remember->isChecked() ? 1 : 0;
  if (m_pSettings)
    m_pSettings->SaveSettings(m_account, m_bRememberAccount != 0, m_nCodec, m_nPlayDevice, m_nRecordDevice);
  QDialog::accept();
}
