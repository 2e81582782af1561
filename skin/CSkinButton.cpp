#include "skin/CSkinButton.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <qdrawutil.h>

#include "res/Resources.h"
#include "skin/SkinRegions.h"

namespace {
const char* const kGroupStart = "vantroGroupStart";
}

CSkinButton::CSkinButton(QWidget* parent) : CSkinButton(QString(), parent) {}

CSkinButton::CSkinButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
  m_crText = palette().color(QPalette::ButtonText);
  setMouseTracking(true);
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::PreSubclassWindow(unsigned style) {
  const unsigned low = style & 0xFF;
  if ((low & 3) == 3)
    m_nCheckMode = CheckBoxMode;
  else if ((low & 9) == 9)
    m_nCheckMode = RadioMode;
  else
    m_nCheckMode = PushMode;
}

void CSkinButton::SetSkin(unsigned normal, unsigned down, unsigned over, unsigned disabled, unsigned focus,
                          unsigned mask, short drawMode, short border, short focusMargin) {
  auto load = [](unsigned id) { return id ? LoadBitmapResource(int(id)) : QImage(); };
  Faces faces{load(normal), load(down), load(over), load(disabled ? disabled : normal), load(focus), load(mask)};
  SetSkin(faces, drawMode, border, focusMargin);
}

void CSkinButton::SetSkin(const Faces& faces, short drawMode, short border, short focusMargin) {
  m_faces = faces;
  if (m_faces.disabled.isNull()) m_faces.disabled = m_faces.normal;
  m_nDrawMode = std::clamp<short>(drawMode, 0, 2);
  m_nBorder = border;
  m_nFocusMargin = focusMargin < 0 ? short(0) : focusMargin;
  if (!m_faces.mask.isNull()) {
    m_region = RegionFromRects(MaskRuns(m_faces.mask, qRgb(255, 255, 255)));
    // An empty region would mean "no mask": an all-white mask hides the button instead.
    setMask(m_region.isEmpty() ? QRegion(-1, -1, 1, 1) : m_region);
    if (m_nDrawMode == 0) resize(m_faces.mask.size());
  }
  update();
}

void CSkinButton::SetToolTipText(const QString& text) { setToolTip(text); }

QColor CSkinButton::SetTextColor(const QColor& colour) {
  const QColor previous = m_crText;
  m_crText = colour;
  return previous;
}

// ---- check and radio modes

void CSkinButton::SetGroupStart(QWidget* widget, bool start) {
  if (widget) widget->setProperty(kGroupStart, start);
}

void CSkinButton::SetCheck(int check) {
  m_bChecked = check != 0;
  if (m_nCheckMode == PushMode)
    m_bChecked = false;
  else if (m_nCheckMode == RadioMode && m_bChecked)
    UncheckGroup();
  update();
}

void CSkinButton::UncheckGroup() {
  QWidget* parent = parentWidget();
  if (!parent) return;
  QList<QWidget*> siblings;
  for (QObject* o : parent->children())
    if (QWidget* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) siblings.append(w);
  const qsizetype self = siblings.indexOf(this);
  if (self < 0) return;
  auto starts = [](QWidget* w) { return w->property(kGroupStart).toBool(); };
  qsizetype first = self;
  while (first > 0 && !starts(siblings[first])) --first;
  qsizetype end = self + 1;
  while (end < siblings.size() && !starts(siblings[end])) ++end;
  // The next item of the group after this one, wrapping round, until this one comes back.
  for (qsizetype i = self + 1;; ++i) {
    if (i == end) i = first;
    if (i == self) break;
    QCoreApplication::postEvent(siblings[i], new QEvent(WM_SKINBUTTON_UNCHECK));
  }
}

void CSkinButton::ClickCheck() {
  if (m_nCheckMode == CheckBoxMode)
    SetCheck(!m_bChecked);
  else if (m_nCheckMode == RadioMode)
    SetCheck(1);
}

bool CSkinButton::event(QEvent* event) {
  if (event->type() == WM_SKINBUTTON_UNCHECK) {
    if (m_bChecked) {
      m_bChecked = false;
      update();
    }
    return true;
  }
  return QPushButton::event(event);
}

// ---- mouse and keys

void CSkinButton::mousePressEvent(QMouseEvent* event) {
  // The pressed face, not the over face, shows during a press.
  m_bHover = false;
  QPushButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) m_bPressed = true;
}

void CSkinButton::mouseReleaseEvent(QMouseEvent* event) {
  if (m_nCheckMode != PushMode && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    ClickCheck();  // before the click goes out, so the parent sees the new state
  if (event->button() == Qt::LeftButton) m_bPressed = false;
  QPushButton::mouseReleaseEvent(event);
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A quick second click is a click of its own.
  mousePressEvent(event);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* event) {
  if (m_bPressed && (event->buttons() & Qt::LeftButton)) {
    const bool inside = rect().contains(event->position().toPoint());
    if (inside != isDown()) {
      setDown(inside);
      update();
    }
  } else if (!m_bHover) {
    m_bHover = true;
    update();
  }
  QPushButton::mouseMoveEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
  m_bHover = false;
  update();
  QPushButton::leaveEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
  if (m_bPressed) {
    m_bPressed = false;
    setDown(false);
  }
  QPushButton::focusOutEvent(event);
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
  if (m_nCheckMode != PushMode && event->key() == Qt::Key_Space && !event->isAutoRepeat()) ClickCheck();
  QPushButton::keyPressEvent(event);
}

// ---- painting

void CSkinButton::paintEvent(QPaintEvent*) {
  // A press that has left the button shows the normal face; one that came back, the pressed.
  if (m_bPressed && QWidget::mouseGrabber() == this) {
    const bool inside = rect().contains(mapFromGlobal(QCursor::pos()));
    if (inside != isDown()) {
      setDown(inside);
      return;  // setDown repaints
    }
  }
  unsigned state = 0;
  if (!isEnabled()) state |= ODS_DISABLED;
  if (isDown()) state |= ODS_SELECTED;
  if (hasFocus()) state |= ODS_FOCUS;
  QPainter painter(this);
  DrawItem(painter, rect(), state);
}

void CSkinButton::DrawItem(QPainter& painter, const QRect& rect, unsigned state) {
  const QPalette& pal = palette();
  const QColor face = pal.color(QPalette::Button);
  const int inset = m_nFocusMargin + 2;
  QRect caption = rect.adjusted(inset, 0, -inset, 0);
  const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  const QString text = this->text();

  if (state & ODS_DISABLED) {
    if (m_faces.disabled.isNull())
      painter.fillRect(rect, face);
    else
      DrawSkinBitmap(painter, m_faces.disabled, rect);
    if (m_nBorder) qDrawWinPanel(&painter, rect, pal, false);
    painter.setPen(pal.color(QPalette::Light));
    painter.drawText(caption, flags, text);
    painter.setPen(pal.color(QPalette::Disabled, QPalette::Text));
    painter.drawText(caption.translated(-1, -1), flags, text);
    return;
  }
  if ((state & ODS_SELECTED) || m_bChecked) {
    if (m_faces.down.isNull())
      painter.fillRect(rect, face);
    else
      DrawSkinBitmap(painter, m_faces.down, rect);
    caption.translate(1, 1);
    if (m_nBorder) qDrawWinPanel(&painter, rect, pal, true);
  } else {
    if (m_faces.normal.isNull())
      painter.fillRect(rect, face);
    else if (m_bHover && !m_faces.over.isNull())
      DrawSkinBitmap(painter, m_faces.over, rect);
    else if ((state & ODS_FOCUS) && !m_faces.focus.isNull())
      DrawSkinBitmap(painter, m_faces.focus, rect);
    else
      DrawSkinBitmap(painter, m_faces.normal, rect);
    if (m_nBorder) qDrawWinPanel(&painter, rect, pal, false);
  }
  if ((state & ODS_FOCUS) && m_nFocusMargin > 0) {
    // A dotted rectangle that inverts what lies beneath, as focus rectangles do.
    const QRect focus = rect.adjusted(m_nFocusMargin, m_nFocusMargin, -m_nFocusMargin - 1, -m_nFocusMargin - 1);
    painter.save();
    QPen pen(Qt::white, 1, Qt::CustomDashLine);
    pen.setDashPattern({1, 1});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    if (painter.paintEngine()->type() == QPaintEngine::Raster)
      painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    else
      pen.setColor(m_crText);
    painter.drawRect(focus);
    painter.restore();
  }
  painter.setPen(m_crText);
  painter.drawText(caption, flags, text);
}

void CSkinButton::DrawSkinBitmap(QPainter& painter, const QImage& face, const QRect& rect) {
  if (face.isNull()) return;
  if (m_nDrawMode == 2) {
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    for (int y = rect.top(); y <= rect.bottom(); y += face.height())
      for (int x = rect.left(); x <= rect.right(); x += face.width()) painter.drawImage(QPoint(x, y), face);
    painter.restore();
    return;
  }
  const bool stretch = m_nDrawMode == 1;
  auto put = [&](const QImage& image) {
    if (stretch)
      painter.drawImage(rect, image);
    else
      painter.drawImage(rect.topLeft(), image,
                        QRect(0, 0, std::min(image.width(), rect.width()), std::min(image.height(), rect.height())));
  };
  if (m_faces.mask.isNull()) {
    put(face);
    return;
  }
  // Face XOR background, AND mask, XOR face: white mask pixels give back the background,
  // black ones the face.
  painter.save();
  if (painter.paintEngine()->type() == QPaintEngine::Raster) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    put(face);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    put(m_faces.mask);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    put(face);
  } else {
    // Engines without raster operations: the same picture through an alpha channel.
    QImage cut = face.convertToFormat(QImage::Format_ARGB32);
    const QImage mask = m_faces.mask.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < std::min(cut.height(), mask.height()); ++y)
      for (int x = 0; x < std::min(cut.width(), mask.width()); ++x)
        if ((mask.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) cut.setPixel(x, y, 0);
    put(cut);
  }
  painter.restore();
}
