// The main window's skin: its shape, and the bitmaps, icons, fonts and colours of its controls.
#include <QProgressBar>

#include "dialer/CDialerDlg.h"
#include "res/Resources.h"

namespace {

// Skinned buttons, in the order they are skinned: normal, down, over and disabled bitmaps
// (0: the normal one serves when disabled).
struct ButtonSkin {
  int id;
  unsigned normal, down, over, disabled;
};

constexpr ButtonSkin kButtonSkins[] = {
    {1003, 149, 228, 215, 0},   {1002, 164, 229, 216, 0},   {1004, 165, 230, 217, 0}, {1005, 166, 231, 218, 0},
    {1006, 167, 232, 219, 0},   {1007, 168, 233, 220, 0},   {1008, 169, 234, 221, 0}, {1009, 170, 235, 223, 0},
    {1010, 171, 236, 224, 0},   {1011, 172, 227, 214, 0},   {1012, 173, 237, 226, 0}, {1013, 174, 238, 225, 0},
    {1014, 179, 244, 262, 248}, {1015, 180, 252, 263, 251}, {1017, 177, 240, 264, 0}, {1026, 207, 245, 265, 0},
};

const QColor kLineText(202, 202, 202);
const QColor kLineBack(36, 62, 111);

void SetBarColours(QProgressBar* bar, const QColor& colour, const QColor& background) {
  QPalette pal = bar->palette();
  pal.setColor(QPalette::Highlight, colour);
  pal.setColor(QPalette::Base, background);
  pal.setColor(QPalette::Window, background);
  bar->setPalette(pal);
}

}  // namespace

void CDialerDlg::ShapeWindow() {
  SetBitmap(131);
  SetShaped(true);
  SetTransparentColor(qRgb(0, 0, 255));
  SetTransparentStatics(true);
  SetDragByBody(true);
}

void CDialerDlg::SkinControls() {
  for (CTipSlider* slider : {m_speakerVolume, m_micVolume}) slider->SetSkin(253, 254, 0, 0);

  SetBarColours(m_txLevel, QColor(0, 196, 0), QColor(172, 172, 172));
  SetBarColours(m_rxLevel, QColor(128, 0, 64), QColor(172, 172, 172));

  m_micMute->setIcon(QIcon(QPixmap::fromImage(LoadIconResource(137))));
  m_speakerMute->setIcon(QIcon(QPixmap::fromImage(LoadIconResource(139))));

  for (CStyledStatic* line : {m_balanceLine, m_statusLine}) {
    line->SetTextStyle("Arial", 16, kLineText, CStyledStatic::kHeavy);
    line->SetBackColor(kLineBack);
    line->update();
  }

  for (const ButtonSkin& s : kButtonSkins) {
    auto* button = static_cast<CSkinButton*>(GetDlgItem(s.id));
    button->SetSkin(s.normal, s.down, s.over, s.disabled, 0, 0, 0, 0, 4);
    // The faces carry the digits and words; the caption stays for assistive tools only.
    button->setAccessibleName(button->text());
    button->setText(QString());
    if (s.id == 1015) button->setEnabled(false);
  }

  m_btnManual->LoadBitmaps(266);
  m_btnBook->LoadBitmaps(176);
  m_btnVoid->LoadBitmaps(206);
  m_btnLog->LoadBitmaps(212, 239);
  m_btnClear->LoadBitmaps(175, 246);
  m_btnBook->LoadBitmaps(176, 247);
}
