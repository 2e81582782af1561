// The main window's controls: created from the template's table at their places, with their ids,
// shown or hidden as the template has them.
#include <QApplication>
#include <QProgressBar>
#include <QPushButton>

#include "dialer/CDialCombo.h"
#include "dialer/CDialerDlg.h"
#include "dialer/ControlIds.h"
#include "platform/DialogItems.h"
#include "platform/DialogUnits.h"

namespace {

// One row of the template: id, position and size in dialog units, visible or hidden.
struct TemplateRow {
  int id;
  int x, y, w, h;
  bool visible;
};

constexpr TemplateRow kTemplate[] = {
    {IDC_DIAL, 68, 141, 96, 66, true},
    {IDC_KEY1, 22, 168, 35, 20, true},
    {IDC_KEY2, 57, 168, 35, 20, true},
    {IDC_KEY3, 92, 168, 35, 20, true},
    {IDC_KEY4, 22, 188, 35, 20, true},
    {IDC_KEY5, 57, 188, 35, 20, true},
    {IDC_KEY6, 92, 188, 35, 20, true},
    {IDC_KEY7, 22, 208, 35, 20, true},
    {IDC_KEY8, 57, 208, 35, 20, true},
    {IDC_KEY9, 92, 208, 35, 20, true},
    {IDC_KEYSTAR, 22, 228, 35, 20, true},
    {IDC_KEY0, 57, 228, 35, 20, true},
    {IDC_KEYHASH, 92, 228, 35, 20, true},
    {IDC_CALL, 132, 168, 35, 20, true},
    {IDC_HANGUP, 132, 188, 35, 20, true},
    {IDC_SETTINGS, 132, 208, 35, 20, true},
    {IDC_NO_ACTION, 132, 228, 35, 20, true},
    // Wider than the template's 82: in the line's font (Arial 16, heavy) "Call Duration : m.s"
    // does not fit 82 units, and the wrapped duration falls below the line, out of sight. The
    // line reaches to the edge of the panel it is drawn on.
    {IDC_STATUS, 52, 37, 118, 11, true},
    {IDC_BALANCE, 19, 131, 111, 10, true},
    {IDC_TEXT1019, 54, 195, 56, 31, true},
    {IDC_CLOSE, 169, 8, 11, 11, true},
    {IDC_MINIMISE, 159, 8, 11, 11, true},
    {IDC_SPEAKER_VOLUME, 19, 62, 6, 43, true},
    {IDC_MIC_VOLUME, 164, 62, 6, 43, true},
    {IDC_SPEAKER_MUTE, 17, 107, 8, 8, false},
    {IDC_MIC_MUTE, 164, 107, 8, 8, false},
    {IDC_RX_LEVEL, 14, 158, 64, 6, true},
    {IDC_TX_LEVEL, 112, 158, 64, 6, true},
    {IDC_VOID, 184, 130, 12, 12, false},
    {IDC_BOOK, 184, 166, 15, 11, false},
    {IDC_CLEAR, 183, 155, 15, 11, false},
    {IDC_LOG, 183, 142, 14, 11, false},
    {IDC_PRODUCT_LINK, 15, 250, 163, 13, true},
    {IDC_MANUAL, 10, 8, 13, 12, true},
    {IDC_BANNER, 41, 58, 111, 51, true},
};

template <typename W>
W* Place(QWidget* parent, const TemplateRow& row) {
  auto* w = new W(parent);
  SetDlgCtrlID(w, row.id);
  w->setGeometry(DluToPixels(row.x, row.y, row.w, row.h));
  return w;
}

}  // namespace

void CDialerDlg::CreateControls() {
  static const char* const kKeyText[12] = {"2", "1", "3", "4", "5", "6", "7", "8", "9", "0", "*", "#"};
  for (const TemplateRow& row : kTemplate) {
    QWidget* w = nullptr;
    switch (row.id) {
      case IDC_DIAL: {
        m_dialBox = Place<CDialCombo>(this, row);
        // The template's height includes the drop-down list; the box itself is one line.
        m_dialBox->resize(m_dialBox->width(), m_dialBox->sizeHint().height());
        w = m_dialBox;
        break;
      }
      case IDC_KEY2:
      case IDC_KEY1:
      case IDC_KEY3:
      case IDC_KEY4:
      case IDC_KEY5:
      case IDC_KEY6:
      case IDC_KEY7:
      case IDC_KEY8:
      case IDC_KEY9:
      case IDC_KEY0:
      case IDC_KEYSTAR:
      case IDC_KEYHASH: {
        CSkinButton* key = Place<CSkinButton>(this, row);
        key->setText(kKeyText[row.id - IDC_KEY2]);
        m_keys[row.id - IDC_KEY2] = key;
        w = key;
        break;
      }
      case IDC_CALL:
        w = m_btnCall = Place<CSkinButton>(this, row);
        m_btnCall->setText("Call");
        break;
      case IDC_HANGUP:
        w = m_btnHangUp = Place<CSkinButton>(this, row);
        m_btnHangUp->setText("Hang up");
        m_btnHangUp->setEnabled(false);
        break;
      case IDC_SETTINGS:
        w = m_btnSettings = Place<CSkinButton>(this, row);
        m_btnSettings->setText("Settings");
        break;
      case IDC_NO_ACTION: w = m_btnNoAction = Place<CSkinButton>(this, row); break;
      case IDC_STATUS: w = m_statusLine = Place<CStyledStatic>(this, row); break;
      case IDC_BALANCE: w = m_balanceLine = Place<CStyledStatic>(this, row); break;
      case IDC_TEXT1019: w = m_text1019 = Place<CTransparentStatic>(this, row); break;
      case IDC_CLOSE:
        w = m_closePicture = Place<CStaticPicture>(this, row);
        m_closePicture->SetBitmap(135);
        break;
      case IDC_MINIMISE:
        w = m_minimisePicture = Place<CStaticPicture>(this, row);
        m_minimisePicture->SetBitmap(136);
        break;
      case IDC_PRODUCT_LINK:
        w = m_productLink = Place<CStaticPicture>(this, row);
        m_productLink->SetBitmap(187);
        break;
      case IDC_SPEAKER_VOLUME:
      case IDC_MIC_VOLUME: {
        CTipSlider* slider = Place<CTipSlider>(this, row);
        slider->setOrientation(Qt::Vertical);
        // Louder is up: the largest volume stands at the top.
        slider->setInvertedAppearance(true);
        (row.id == IDC_SPEAKER_VOLUME ? m_speakerVolume : m_micVolume) = slider;
        w = slider;
        break;
      }
      case IDC_SPEAKER_MUTE:
      case IDC_MIC_MUTE: {
        QPushButton* box = Place<QPushButton>(this, row);
        box->setCheckable(true);  // a push-like check box showing an icon
        (row.id == IDC_SPEAKER_MUTE ? m_speakerMute : m_micMute) = box;
        w = box;
        break;
      }
      case IDC_RX_LEVEL:
      case IDC_TX_LEVEL: {
        QProgressBar* bar = Place<QProgressBar>(this, row);
        bar->setTextVisible(false);
        bar->setRange(1, 9000);
        bar->setValue(1);
        (row.id == IDC_RX_LEVEL ? m_rxLevel : m_txLevel) = bar;
        w = bar;
        break;
      }
      case IDC_VOID:
        w = m_btnVoid = Place<CBitmapButton>(this, row);
        m_btnVoid->setText("VOID");
        break;
      case IDC_BOOK:
        w = m_btnBook = Place<CBitmapButton>(this, row);
        m_btnBook->setText("&Book");
        break;
      case IDC_CLEAR:
        w = m_btnClear = Place<CBitmapButton>(this, row);
        m_btnClear->setText("&Clear");
        break;
      case IDC_LOG:
        w = m_btnLog = Place<CBitmapButton>(this, row);
        m_btnLog->setText("&Log");
        break;
      case IDC_MANUAL:
        w = m_btnManual = Place<CBitmapButton>(this, row);
        m_btnManual->setText("Manual");
        break;
      case IDC_BANNER: w = m_banner = Place<CPictureEx>(this, row); break;
      default: break;
    }
    if (w && !row.visible) w->hide();
  }
  // Enter belongs to the dial box: no button of the window is pressed by it.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
}
