#include "dialer/CDialerDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "dialer/CDialCombo.h"
#include "dialer/ControlIds.h"
#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"
#include "res/Resources.h"
#include "web/BalanceThread.h"

namespace {
// How soon a deferred close request comes back.
constexpr int kCloseRetryMs = 50;
}  // namespace

CDialerDlg::CDialerDlg(QWidget* parent) : CShapedDialog(parent) {
  // A visible pop-up without caption or frame.
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  setFixedSize(DluToPixelsX(kTemplateWidth), DluToPixelsY(kTemplateHeight));
  CreateControls();
  m_sysMenu = new QMenu(this);
  m_sysMenu->addAction("Mi&nimize", this, &CDialerDlg::OnMinimise);
  m_sysMenu->addAction("&Close", this, [this] { close(); });
  ConnectControls();
  // The dial box and the call timer report to this window from the start.
  m_dialBox->SetOwner(this);
  m_callTimer.SetOwner(this);
  m_strDial.clear();
  m_hIcon = QIcon(QPixmap::fromImage(LoadIconResource(128)));
}

CDialerDlg::~CDialerDlg() {
  // No tick after this; a registration waiting for the gatekeeper returns at once and the stack
  // reports nothing more; workers that wait on the network, for their turn or play tones end
  // early; then none outlives the window.
  m_callTimer.StopTimer();
  m_endpoint.Shutdown();
  m_closing = true;
  m_dtmfTurns.Cancel();
  m_dialTones.Stop();
  m_workers.JoinAll();
}

QWidget* CDialerDlg::GetDlgItem(int id) const { return ::GetDlgItem(this, id); }

void CDialerDlg::UpdateData(bool save) {
  if (save)
    m_strDial = m_dialBox->currentText().toStdString();
  else
    m_dialBox->setEditText(QString::fromStdString(m_strDial));
}

void CDialerDlg::ConnectControls() {
  for (int i = 0; i < 12; ++i) {
    const int id = IDC_KEY2 + i;
    connect(m_keys[i], &QAbstractButton::clicked, this, [this, id] { emit keyClicked(id); });
  }
  connect(this, &CDialerDlg::keyClicked, this, &CDialerDlg::OnKey);
  connect(m_btnClear, &QAbstractButton::clicked, this, &CDialerDlg::OnClear);
  connect(m_btnSettings, &QAbstractButton::clicked, this, &CDialerDlg::OnSettings);
  connect(m_btnCall, &QAbstractButton::clicked, this, &CDialerDlg::PlaceCall);
  connect(m_btnHangUp, &QAbstractButton::clicked, this, &CDialerDlg::HangUp);
  connect(m_closePicture, &CStaticPicture::clicked, this, &CDialerDlg::OnCloseControl);
  connect(m_minimisePicture, &CStaticPicture::clicked, this, &CDialerDlg::OnMinimise);
  connect(m_btnBook, &QAbstractButton::clicked, this, &CDialerDlg::OnBook);
  connect(m_btnLog, &QAbstractButton::clicked, this, [this] { OnWebPage(IDC_LOG); });
  connect(m_btnManual, &QAbstractButton::clicked, this, [this] { OnWebPage(IDC_MANUAL); });
  connect(m_productLink, &CStaticPicture::clicked, this, [this] { OnWebPage(IDC_PRODUCT_LINK); });
  connect(m_banner, &CPictureEx::clicked, this, [this] { OnWebPage(IDC_BANNER); });
  connect(m_dialBox, &CDialCombo::editChanged, this, &CDialerDlg::OnDialEditChange);
  connect(m_speakerMute, &QAbstractButton::clicked, this, &CDialerDlg::ToggleSpeakerMute);
  connect(m_micMute, &QAbstractButton::clicked, this, &CDialerDlg::ToggleMicMute);
  qApp->installEventFilter(this);
  ConnectVolumeSliders();
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) { OnActivateApp(state == Qt::ApplicationActive); });
}

void CDialerDlg::StartBalanceThread() {
  StartWorker([this] { BalanceThread(this, m_settings); });
}

void CDialerDlg::SetBalanceLine(const std::string& text) {
  m_balanceLine->setText(QString::fromStdString(text));
  m_balanceLine->update();
}

void CDialerDlg::SetStatusLine(const std::string& text) {
  m_statusLine->setText(QString::fromStdString(text));
  m_statusLine->update();
}

void CDialerDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  OnCloseRequest();
}

void CDialerDlg::OnCloseRequest() {
  if (m_bBusy != 0 || m_bBalanceRunning != 0) {
    // Come back through the event queue until the call and the balance refresh are over;
    // a short pause between the tries keeps the loop from spinning.
    ++m_deferredCloses;
    if (!m_closeRetryPending) {
      m_closeRetryPending = true;
      QTimer::singleShot(kCloseRetryMs, this, [this] {
        m_closeRetryPending = false;
        OnCloseRequest();
      });
    }
    return;
  }
  done(0);
}

void CDialerDlg::OnCloseControl() {
  // A running call is cleared first; the close request then waits for its end.
  const std::string token = m_strToken.Get();
  if (m_calls->HasConnection(token)) m_calls->ClearCall(token);
  QMetaObject::invokeMethod(this, &CDialerDlg::OnCloseRequest, Qt::QueuedConnection);
}

void CDialerDlg::OnEndRequest() {
  // Each cancelled dialog's own loop ends once this returns to the event loop.
  QWidget* modal = QApplication::activeModalWidget();
  while (modal && modal != this) {
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (!dialog) break;
    dialog->reject();
    QWidget* next = QApplication::activeModalWidget();
    if (next == modal) break;
    modal = next;
  }
  OnCloseControl();
}

void CDialerDlg::OnMinimise() { showMinimized(); }

void CDialerDlg::OnActivateApp(bool) { m_dialBox->setFocus(Qt::ActiveWindowFocusReason); }
