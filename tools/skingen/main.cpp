// Draws the dialer's pictures: the main window's skin and every bitmap of its controls, the
// sign-in dialog's background and buttons, the icons, and the animated banner.
//
//   skingen <res folder>     writes <res>/bitmaps/<id>.png, <res>/icons/<id>.png,
//                            <res>/icons/desktop/<size>.png and <res>/data1/banner.gif
#include <cstdio>
#include <functional>
#include <map>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/DialogUnits.h"
#include "res/SignInLayout.h"
#include "tools/gifenc/GifEncoder.h"
#include "tools/skingen/Painting.h"

using namespace skin;

namespace {

QString g_out;

void Save(const QString& folder, int id, const QImage& image, bool opaque = true) {
  QDir().mkpath(g_out + "/" + folder);
  const QImage out = opaque ? image.convertToFormat(QImage::Format_RGB32) : image;
  const QString path = QString("%1/%2/%3.png").arg(g_out, folder).arg(id);
  if (!out.save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

// The main window's controls that sit on drawn places, in pixels.
QRect Control(int x, int y, int w, int h) { return DluToPixels(x, y, w, h); }

const QRect kStatus = Control(52, 37, 82, 11);
const QRect kBalance = Control(19, 131, 111, 10);
const QRect kDial = Control(68, 141, 96, 66);
const QRect kBanner = Control(41, 58, 111, 51);
const QRect kSpeakerSlider = Control(19, 62, 6, 43);
const QRect kMicSlider = Control(164, 62, 6, 43);
const QRect kRxLevel = Control(14, 158, 64, 6);
const QRect kTxLevel = Control(112, 158, 64, 6);
const QRect kKey = Control(22, 168, 35, 20);
const QRect kClose = Control(169, 8, 11, 11);
const QRect kMinimise = Control(159, 8, 11, 11);
const QRect kLink = Control(15, 250, 163, 13);
const QRect kManual = Control(10, 8, 13, 12);
const QRect kKeypad(Control(22, 168, 0, 0).topLeft(), Control(132, 248, 35, 0).topRight());

constexpr int kSkinW = 282, kSkinH = 440;

// ---- keys

enum class Look { Digit, Call, HangUp, Settings, Plain };
enum class State { Normal, Over, Down, Disabled };

struct KeyColours {
  QColor top, bottom, edge, ink;
};

KeyColours ColoursFor(Look look, State state) {
  auto shade = [](QColor c, int f) { return f >= 100 ? c.lighter(f) : c.darker(200 - f); };
  QColor top, bottom, edge, ink = QColor(240, 244, 250);
  switch (look) {
    case Look::Digit:
    case Look::Plain: top = QColor(62, 76, 108), bottom = QColor(42, 53, 80), edge = QColor(84, 100, 138); break;
    case Look::Settings: top = QColor(70, 80, 100), bottom = QColor(48, 56, 74), edge = QColor(96, 108, 132); break;
    case Look::Call: top = QColor(46, 184, 96), bottom = QColor(24, 138, 66), edge = QColor(90, 220, 140); break;
    case Look::HangUp: top = QColor(226, 72, 72), bottom = QColor(170, 36, 44), edge = QColor(246, 120, 120); break;
  }
  switch (state) {
    case State::Normal: break;
    case State::Over: top = shade(top, 122), bottom = shade(bottom, 122), edge = kAccent; break;
    case State::Down:
      std::swap(top, bottom);
      top = shade(top, 80), bottom = shade(bottom, 88);
      break;
    case State::Disabled: {
      auto grey = [](QColor c) {
        const int g = qGray(c.rgb());
        return QColor((c.red() + 3 * g) / 4 * 7 / 10, (c.green() + 3 * g) / 4 * 7 / 10,
                      (c.blue() + 3 * g) / 4 * 7 / 10 + 8);
      };
      top = grey(top), bottom = grey(bottom), edge = grey(edge), ink = QColor(120, 128, 140);
      break;
    }
  }
  return {top, bottom, edge, ink};
}

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

QImage Key(Look look, State state, const Glyph& glyph) {
  QImage image = Canvas(kKey.width(), kKey.height(), kBody);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const KeyColours c = ColoursFor(look, state);
  const QRectF face = QRectF(image.rect()).adjusted(2.5, 2.5, -2.5, -2.5);
  // A soft shadow under the key, a gradient face, a thin highlight along the top.
  if (state != State::Down) RoundRect(p, face.translated(0, 1.5), 7, QColor(8, 12, 22));
  RoundRect(p, face, 7, Vertical(face, c.top, c.bottom), c.edge);
  if (state != State::Down && state != State::Disabled) {
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.drawLine(QPointF(face.left() + 6, face.top() + 1.5), QPointF(face.right() - 6, face.top() + 1.5));
  }
  const QRectF content = state == State::Down ? face.translated(1, 1) : face;
  glyph(p, content, c.ink);
  return image;
}

Glyph DigitGlyph(const QString& digit, const QString& letters) {
  return [digit, letters](QPainter& p, const QRectF& r, const QColor& ink) {
    if (letters.isEmpty()) {
      Text(p, r.adjusted(0, -1, 0, 0), digit, Font(digit == "*" ? 22 : 17, true), ink);
      return;
    }
    Text(p, QRectF(r.left(), r.top() + 1, r.width(), 17), digit, Font(16, true), ink);
    QColor small = ink;
    small.setAlpha(170);
    Text(p, QRectF(r.left(), r.top() + 16, r.width(), 10), letters, Font(8), small);
  };
}

Glyph LabelGlyph(const QString& label, const std::function<void(QPainter&, QRectF, QColor)>& icon) {
  return [label, icon](QPainter& p, const QRectF& r, const QColor& ink) {
    icon(p, QRectF(r.left() + 5, r.center().y() - 7, 14, 14), ink);
    Text(p, QRectF(r.left() + 19, r.top(), r.width() - 21, r.height()), label, Font(10, true), ink);
  };
}

void Keys() {
  struct Digit {
    const char *digit, *letters;
    int normal, down, over;
  };
  const Digit digits[] = {
      {"1", "", 149, 228, 215},     {"2", "ABC", 164, 229, 216}, {"3", "DEF", 165, 230, 217},
      {"4", "GHI", 166, 231, 218},  {"5", "JKL", 167, 232, 219}, {"6", "MNO", 168, 233, 220},
      {"7", "PQRS", 169, 234, 221}, {"8", "TUV", 170, 235, 223}, {"9", "WXYZ", 171, 236, 224},
      {"*", "", 173, 237, 226},     {"0", "+", 172, 227, 214},   {"#", "", 174, 238, 225},
  };
  for (const Digit& d : digits) {
    const Glyph g = DigitGlyph(d.digit, d.letters);
    Save("bitmaps", d.normal, Key(Look::Digit, State::Normal, g));
    Save("bitmaps", d.down, Key(Look::Digit, State::Down, g));
    Save("bitmaps", d.over, Key(Look::Digit, State::Over, g));
  }
  struct Action {
    Look look;
    Glyph glyph;
    int normal, down, over, disabled;
  };
  const Action actions[] = {
      {Look::Call, LabelGlyph("Call", [](QPainter& p, QRectF r, QColor c) { Handset(p, r, c, -35); }), 179, 244, 262,
       248},
      {Look::HangUp, LabelGlyph("End", [](QPainter& p, QRectF r, QColor c) { Handset(p, r, c, 180); }), 180, 252, 263,
       251},
      {Look::Settings,
       [](QPainter& p, const QRectF& r, const QColor& c) {
         Gear(p, QRectF(r.center() - QPointF(8, 8), QSizeF(16, 16)), c, QColor(56, 65, 85));
       },
       177, 240, 264, 0},
      {Look::Plain, DigitGlyph(QString::fromUtf8("\u2022\u2022\u2022"), ""), 207, 245, 265, 0},
  };
  for (const Action& a : actions) {
    Save("bitmaps", a.normal, Key(a.look, State::Normal, a.glyph));
    Save("bitmaps", a.down, Key(a.look, State::Down, a.glyph));
    Save("bitmaps", a.over, Key(a.look, State::Over, a.glyph));
    if (a.disabled) Save("bitmaps", a.disabled, Key(a.look, State::Disabled, a.glyph));
  }
}

// ---- the main skin

void DrawPanel(QPainter& p, const QRectF& r) { RoundRect(p, r, 10, kPanel, kPanelEdge); }

void MainSkin() {
  QImage image = Canvas(kSkinW, kSkinH, kHole);
  QPainter p(&image);
  // The outline is drawn without smoothing: its edge pixels are either the body or the hole.
  p.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, kSkinW, kSkinH), 22, 22);
  p.setPen(Qt::NoPen);
  p.setBrush(kBody);
  p.drawPath(outline);
  p.setClipPath(outline);
  p.fillRect(QRect(0, 0, kSkinW, 44), kHeader);
  p.setClipping(false);
  p.setRenderHint(QPainter::Antialiasing);

  // A hairline just inside the outline, and the accent under the title band.
  p.setPen(QPen(QColor(70, 86, 122), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(1.5, 1.5, kSkinW - 3, kSkinH - 3), 21, 21);
  QLinearGradient accent(0, 0, kSkinW, 0);
  accent.setColorAt(0, QColor(64, 196, 255, 0));
  accent.setColorAt(0.5, kAccent);
  accent.setColorAt(1, QColor(64, 196, 255, 0));
  p.fillRect(QRectF(12, 44, kSkinW - 24, 1.5), accent);

  // Title.
  Text(p, QRectF(kManual.right() + 8, kManual.top() - 2, 150, kManual.height() + 4), "Vantro", Font(15, true),
       QColor(240, 244, 250), Qt::AlignLeft | Qt::AlignVCenter);
  Text(p, QRectF(kManual.right() + 70, kManual.top() - 2, 100, kManual.height() + 4), "Dialer", Font(15), kAccent,
       Qt::AlignLeft | Qt::AlignVCenter);

  // The display: status line, banner and the two volume sliders.
  const QRectF display(14, 52, kSkinW - 28, 136);
  DrawPanel(p, display);
  RoundRect(p, QRectF(kBanner).adjusted(-2, -2, 2, 2), 4, kPanelDeep, QColor(18, 30, 56));
  Speaker(p, QRectF(kSpeakerSlider.center().x() - 7, 82, 14, 14), kText, false);
  Microphone(p, QRectF(kMicSlider.center().x() - 7, 82, 14, 14), kText, false);
  Text(p, QRectF(kSpeakerSlider.center().x() - 14, kSpeakerSlider.bottom() + 2, 28, 12), "VOL", Font(8, true),
       QColor(140, 164, 206));
  Text(p, QRectF(kMicSlider.center().x() - 14, kMicSlider.bottom() + 2, 28, 12), "MIC", Font(8, true),
       QColor(140, 164, 206));
  // A small "line" lamp beside the status line.
  p.setPen(Qt::NoPen);
  p.setBrush(kAccent);
  p.drawEllipse(QPointF(kStatus.left() - 10, kStatus.center().y() + 0.5), 3, 3);

  // The account line and the number box.
  const QRectF info(14, kBalance.top() - 9, kSkinW - 28, kRxLevel.top() - 6 - (kBalance.top() - 9));
  DrawPanel(p, info);
  Text(p, QRectF(kBalance.left(), kDial.top(), kDial.left() - kBalance.left() - 6, 22), "Number", Font(11, true), kText,
       Qt::AlignLeft | Qt::AlignVCenter);

  // Level meters: a recessed track under each bar and their captions between them.
  for (const QRect& bar : {kRxLevel, kTxLevel})
    RoundRect(p, QRectF(bar).adjusted(-2, -2, 2, 2), 3, QColor(12, 17, 28), QColor(52, 64, 92));
  Text(p, QRectF(kRxLevel.right() + 5, kRxLevel.top() - 3, 24, 16), "IN", Font(8, true), QColor(190, 90, 150),
       Qt::AlignLeft | Qt::AlignVCenter);
  Text(p, QRectF(kTxLevel.left() - 29, kTxLevel.top() - 3, 24, 16), "OUT", Font(8, true), QColor(90, 200, 110),
       Qt::AlignRight | Qt::AlignVCenter);

  // The keypad plate.
  RoundRect(p, QRectF(kKeypad).adjusted(-6, -4, 6, 4), 12, QColor(17, 24, 39), QColor(40, 52, 78));
  Save("bitmaps", 131, image);
}

void TitleButtons() {
  auto picture = [](QRect r, const std::function<void(QPainter&, QRectF)>& draw) {
    QImage image = Canvas(r.width(), r.height(), kHeader);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(image.rect()));
    return image;
  };
  Save("bitmaps", 135, picture(kClose, [](QPainter& p, QRectF r) {
         RoundRect(p, r.adjusted(1, 2, -1, -2), 4, QColor(200, 64, 64));
         Cross(p, QRectF(r.center() - QPointF(3.5, 3.5), QSizeF(7, 7)), Qt::white, 1.6);
       }));
  Save("bitmaps", 136, picture(kMinimise, [](QPainter& p, QRectF r) {
         RoundRect(p, r.adjusted(1, 2, -1, -2), 4, QColor(62, 78, 112));
         p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
         p.drawLine(QPointF(r.center().x() - 3.5, r.center().y() + 2),
                    QPointF(r.center().x() + 3.5, r.center().y() + 2));
       }));
  Save("bitmaps", 266, picture(kManual, [](QPainter& p, QRectF r) {
         const QRectF c = r.adjusted(1.5, 1.5, -1.5, -1.5);
         p.setPen(QPen(kAccent, 1.4));
         p.setBrush(Qt::NoBrush);
         p.drawEllipse(c);
         Text(p, c.adjusted(0, 0, 0, -1), "?", Font(12, true), kAccent);
       }));
}

void ProductLink() {
  QImage image = Canvas(kLink.width(), kLink.height(), kBody);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  Text(p, QRectF(image.rect()), "www.vantro-dialer.example", Font(10), QColor(120, 150, 200));
  Save("bitmaps", 187, image);
}

void Sliders() {
  // Background: the panel with a recessed groove down the middle.
  QImage bg = Canvas(kSpeakerSlider.width(), kSpeakerSlider.height(), kPanel);
  {
    QPainter p(&bg);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal cx = bg.width() / 2.0;
    RoundRect(p, QRectF(cx - 1.5, 3, 3, bg.height() - 6), 1.5, QColor(14, 24, 46), QColor(92, 120, 176));
    for (int y = 8; y < bg.height() - 6; y += 8) p.fillRect(QRectF(0, y, 1.5, 1), QColor(110, 136, 186));
  }
  Save("bitmaps", 253, bg);
  // Thumb: magenta is its key colour, the corner pixels show it; drawn without smoothing so no
  // pixel mixes with the key.
  QImage thumb = Canvas(kSpeakerSlider.width(), 10, QColor(255, 0, 255));
  {
    QPainter p(&thumb);
    p.setPen(QColor(30, 44, 72));
    p.setBrush(QColor(214, 224, 240));
    p.drawRect(0, 1, thumb.width() - 1, 7);
    p.fillRect(1, 1, thumb.width() - 2, 1, QColor(250, 252, 255));
    p.fillRect(2, 4, thumb.width() - 4, 1, kAccent.darker(140));
    thumb.setPixelColor(0, 0, QColor(255, 0, 255));
    thumb.setPixelColor(0, 1, QColor(255, 0, 255));
    thumb.setPixelColor(thumb.width() - 1, 1, QColor(255, 0, 255));
    thumb.setPixelColor(0, 8, QColor(255, 0, 255));
    thumb.setPixelColor(thumb.width() - 1, 8, QColor(255, 0, 255));
  }
  Save("bitmaps", 254, thumb);
}

void HiddenButtons() {
  auto button = [](QRect r, const QString& text, bool selected) {
    QImage image = Canvas(r.width(), r.height(), kBody);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    RoundRect(p, QRectF(image.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3,
              selected ? QColor(40, 52, 80) : QColor(62, 76, 108), QColor(84, 100, 138));
    Text(p, QRectF(image.rect()).translated(selected ? 1 : 0, selected ? 1 : 0), text, Font(7, true),
         QColor(230, 236, 246));
    return image;
  };
  Save("bitmaps", 206, button(Control(184, 130, 12, 12), "V", false));
  Save("bitmaps", 176, button(Control(184, 166, 15, 11), "Bk", false));
  Save("bitmaps", 247, button(Control(184, 166, 15, 11), "Bk", true));
  Save("bitmaps", 175, button(Control(183, 155, 15, 11), "C", false));
  Save("bitmaps", 246, button(Control(183, 155, 15, 11), "C", true));
  Save("bitmaps", 212, button(Control(183, 142, 14, 11), "Lg", false));
  Save("bitmaps", 239, button(Control(183, 142, 14, 11), "Lg", true));
}

// ---- icons

QImage AppIcon(int size) {
  QImage image = Canvas(size, size, Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(image.rect()).adjusted(size * 0.04, size * 0.04, -size * 0.04, -size * 0.04);
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0, QColor(52, 150, 230));
  g.setColorAt(1, QColor(28, 52, 110));
  RoundRect(p, r, size * 0.22, g);
  Handset(p, r.adjusted(size * 0.18, size * 0.2, -size * 0.18, -size * 0.16), Qt::white, -35);
  return image;
}

void Icons() {
  Save("icons", 128, AppIcon(48), false);
  // The installed program's icon for the desktop's icon theme, in the theme's usual sizes.
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) Save("icons/desktop", size, AppIcon(size), false);
  auto icon = [](const std::function<void(QPainter&, QRectF)>& draw) {
    QImage image = Canvas(16, 16, Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(image.rect()));
    return image;
  };
  const QColor ink(40, 48, 64);
  Save("icons", 137, icon([&](QPainter& p, QRectF r) { Microphone(p, r, ink, false); }), false);
  Save("icons", 138, icon([&](QPainter& p, QRectF r) { Microphone(p, r, ink, true); }), false);
  Save("icons", 139, icon([&](QPainter& p, QRectF r) { Speaker(p, r, ink, false); }), false);
  Save("icons", 140, icon([&](QPainter& p, QRectF r) { Speaker(p, r, ink, true); }), false);
}

// ---- the sign-in dialog

QRect SignIn(const SignInControl& c) { return DluToPixels(c.x, c.y, c.w, c.h); }

void SignInPictures() {
  const int w = 312, h = 258;
  QImage image = Canvas(w, h, QColor(238, 242, 248));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF band(0, 0, w, 48);
  p.fillRect(band, Vertical(band, QColor(34, 54, 94), QColor(24, 36, 62)));
  p.fillRect(QRectF(0, 48, w, 2), kAccent);
  p.drawImage(QRectF(14, 8, 32, 32), AppIcon(64));
  Text(p, QRectF(56, 6, 240, 22), "Sign in", Font(16, true), Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
  Text(p, QRectF(56, 26, 240, 16), "Vantro Dialer account", Font(10), QColor(170, 196, 236),
       Qt::AlignLeft | Qt::AlignVCenter);
  const QColor label(52, 62, 82);
  for (const SignInControl& c : kSignInControls) {
    const QRect r = SignIn(c);
    if (c.label)
      Text(p, QRectF(8, r.top(), r.left() - 16, r.height()), c.label, Font(11, true), label,
           Qt::AlignRight | Qt::AlignVCenter);
    if (c.id == 1052)
      Text(p, QRectF(r.right() + 3, r.top() - 2, w - r.right() - 4, r.height() + 4), "Use", Font(10), label,
           Qt::AlignLeft | Qt::AlignVCenter);
    if (c.id == 1051)
      Text(p, QRectF(r.right() + 5, r.top() - 2, 200, r.height() + 4), "Remember my account", Font(11), label,
           Qt::AlignLeft | Qt::AlignVCenter);
  }
  p.setPen(QColor(200, 208, 222));
  p.drawLine(QPointF(12, SignIn(kSignInControls[6]).top() - 8.5),
             QPointF(w - 12, SignIn(kSignInControls[6]).top() - 8.5));
  Save("bitmaps", 255, image);

  auto button = [&](const SignInControl& c, const QString& text, bool primary) {
    const QRect r = SignIn(c);
    QImage b = Canvas(r.width(), r.height(), QColor(238, 242, 248));
    QPainter bp(&b);
    bp.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(b.rect()).adjusted(1, 1, -1, -1);
    if (primary)
      RoundRect(bp, face, 6, Vertical(face, QColor(56, 150, 230), QColor(30, 104, 190)), QColor(24, 84, 160));
    else
      RoundRect(bp, face, 6, Vertical(face, QColor(255, 255, 255), QColor(226, 230, 238)), QColor(168, 178, 196));
    Text(bp, face, text, Font(11, true), primary ? Qt::white : QColor(52, 62, 82));
    return b;
  };
  Save("bitmaps", 258, button(kSignInControls[6], "Sign in", true));
  Save("bitmaps", 260, button(kSignInControls[7], "Cancel", false));
}

// ---- the banner

QImage BannerSlide(const QString& title, const QString& line, const QColor& from, const QColor& to, int seed) {
  QImage image = Canvas(kBanner.width(), kBanner.height(), from);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, image.width(), image.height());
  g.setColorAt(0, from);
  g.setColorAt(1, to);
  p.fillRect(image.rect(), g);
  // A few arcs of a globe in the corner.
  p.setPen(QPen(QColor(255, 255, 255, 40), 1.2));
  p.setBrush(Qt::NoBrush);
  const QPointF c(image.width() - 18 + seed * 3, image.height() + 6);
  for (int i = 1; i <= 4; ++i) p.drawEllipse(c, 22.0 * i, 16.0 * i);
  Text(p, QRectF(10, 10, image.width() - 20, 24), title, Font(17, true), Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
  Text(p, QRectF(10, 34, image.width() - 20, 30), line, Font(10), QColor(220, 234, 255),
       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
  return image;
}

void Banner() {
  struct Frame {
    QImage image;
    QPoint at;
    int delay, disposal;
  };
  const QImage slide1 = BannerSlide("Vantro Dialer", "Call the world for less,\nright from your desktop.",
                                    QColor(22, 70, 140), QColor(16, 32, 70), 0);
  // Badges shown in turn over the first slide's corner, each put back afterwards (disposal 3).
  const QRect corner(kBanner.width() - 64, kBanner.height() - 20, 58, 16);
  auto badge = [&](const QString& text, const QColor& colour) {
    QImage image(corner.size(), QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawImage(QPoint(0, 0), slide1, corner);
    RoundRect(p, QRectF(0.5, 0.5, corner.width() - 1, corner.height() - 1), 7.5, colour);
    Text(p, QRectF(image.rect()), text, Font(9, true), QColor(30, 24, 0));
    return image;
  };
  const QImage slide2 = BannerSlide("Low rates", "Over 200 countries,\nno contract, no fees.", QColor(20, 120, 110),
                                    QColor(12, 50, 70), 1);
  const QImage slide3 = BannerSlide("Top up online", "Add credit any time at\nvantro-dialer.example",
                                    QColor(120, 40, 110), QColor(40, 20, 70), 2);
  const std::vector<Frame> frames = {
      {slide1, {0, 0}, 250, 1},
      {badge("HD VOICE", QColor(255, 196, 40)), corner.topLeft(), 90, 3},
      {badge("NO FEES", QColor(120, 230, 140)), corner.topLeft(), 90, 3},
      {slide2, {0, 0}, 300, 1},
      {slide3, {0, 0}, 300, 2},
  };

  // One palette for every frame: all frames stacked and reduced to 256 colours together.
  int total = 0;
  for (const Frame& f : frames) total += f.image.height();
  QImage stack(kBanner.width(), total, QImage::Format_RGB32);
  stack.fill(Qt::black);
  {
    QPainter p(&stack);
    int y = 0;
    for (const Frame& f : frames) {
      p.drawImage(0, y, f.image);
      y += f.image.height();
    }
  }
  const QImage indexed = stack.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
  std::vector<uint32_t> palette;
  for (QRgb c : indexed.colorTable()) palette.push_back(c & 0xFFFFFF);

  GifEncoder gif;
  gif.Header(kBanner.width(), kBanner.height(), palette);
  gif.Loop(0);
  gif.Comment("Vantro Dialer banner");
  int y = 0;
  for (const Frame& f : frames) {
    std::vector<uint8_t> indices;
    for (int row = 0; row < f.image.height(); ++row)
      for (int x = 0; x < f.image.width(); ++x) indices.push_back(indexed.pixelIndex(x, y + row));
    gif.GraphicControl(uint16_t(f.delay), f.disposal);
    gif.Image(f.at.x(), f.at.y(), f.image.width(), f.image.height(), indices);
    y += f.image.height();
  }
  gif.Trailer();
  QDir().mkpath(g_out + "/data1");
  QFile file(g_out + "/data1/banner.gif");
  if (!file.open(QIODevice::WriteOnly) || file.write(reinterpret_cast<const char*>(gif.Bytes().data()),
                                                     qint64(gif.Bytes().size())) != qint64(gif.Bytes().size()))
    std::fprintf(stderr, "cannot write banner.gif\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <res folder>\n");
    return 2;
  }
  g_out = QString::fromLocal8Bit(argv[1]);
  MainSkin();
  Keys();
  TitleButtons();
  ProductLink();
  Sliders();
  HiddenButtons();
  Icons();
  SignInPictures();
  Banner();
  return 0;
}
