#include "skin/CTipSlider.h"

#include <cmath>

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPointer>

#include "res/Resources.h"

namespace {
// One value tip serves every slider: a single mouse grabs one thumb at a time.
QPointer<QLabel> g_tip;
}  // namespace

CTipSlider::CTipSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

CTipSlider::CTipSlider(QWidget* parent) : CTipSlider(Qt::Vertical, parent) {}

CTipSlider::~CTipSlider() = default;

void CTipSlider::SetSkin(int background, int thumb, int activeThumb, int flags) {
  SetSkin(background ? LoadBitmapResource(background) : QImage(), LoadBitmapResource(thumb),
          activeThumb ? LoadBitmapResource(activeThumb) : QImage(), flags);
}

void CTipSlider::SetSkin(const QImage& background, const QImage& thumb, const QImage& activeThumb, int flags) {
  m_bVertical = orientation() == Qt::Vertical;
  // The thumb runs from the top (minimum) down, or from the bottom up when the appearance is
  // inverted; either way the arrow keys move it the way they point.
  setInvertedControls(m_bVertical && !RunsUpward());
  m_bTipEnabled = flags & (kTip | kTipFollows);
  m_bTipFollows = flags & kTipFollows;
  m_rcClient = rect();
  m_pActiveThumb.reset();
  if (!activeThumb.isNull()) {
    m_pActiveThumb = std::make_unique<CMaskedBitmap>();
    m_pActiveThumb->LoadWithKey(activeThumb, CMaskedBitmap::kTopLeftPixel);
  }
  m_pThumb = std::make_unique<CMaskedBitmap>();
  m_pThumb->LoadWithKey(thumb, CMaskedBitmap::kTopLeftPixel);
  m_pBackground = std::make_unique<CMemBitmap>();
  m_pBackground->Compose(m_rcClient, background, flags, m_pThumb->Width(), m_pThumb->Height());
  update();
}

QRect CTipSlider::ThumbRect(const QRect& client, QSize thumb, bool vertical, int min, int max, int pos) {
  const double ratio = max == min ? 0.0 : double(pos - min) / double(max - min);
  const int tw = thumb.width(), th = thumb.height();
  QRect r = client;
  if (vertical) {
    const int top = client.top() + int((client.height() - 9) * ratio) + 4 - th / 2;
    r.setTop(top);
    r.setBottom(top + th - 1);
    r.setRight(tw - 1);
  } else {
    const int left = client.left() + int((client.width() - 9) * ratio) + 4 - tw / 2;
    r.setLeft(left);
    r.setRight(left + tw - 1);
    r.setBottom(th - 1);
  }
  return r;
}

QRect CTipSlider::GetThumbRect() const {
  const QSize thumb = m_pThumb ? QSize(m_pThumb->Width(), m_pThumb->Height()) : QSize();
  const QRect client = m_rcClient.isNull() ? rect() : m_rcClient;
  const int pos = RunsUpward() ? maximum() - (sliderPosition() - minimum()) : sliderPosition();
  return ThumbRect(client, thumb, orientation() == Qt::Vertical, minimum(), maximum(), pos);
}

bool CTipSlider::RunsUpward() const { return orientation() == Qt::Vertical && invertedAppearance(); }

void CTipSlider::SetPos(int position) {
  const QRect before = GetThumbRect();
  setValue(position);
  update(before.united(GetThumbRect()));
}

void CTipSlider::SetCursorResource(int id) {
  const QImage image = LoadBitmapResource(id & 0xFFFF);
  if (!image.isNull()) setCursor(QCursor(QPixmap::fromImage(image)));
}

QString CTipSlider::GetTipText() const { return QString::number(sliderPosition()); }

// ---- the value tip

QString CTipSlider::TipText() { return g_tip ? g_tip->text() : QString(); }

QPoint CTipSlider::TipPosition() { return g_tip ? g_tip->pos() : QPoint(); }

bool CTipSlider::TipVisible() { return g_tip && g_tip->isVisible(); }

void CTipSlider::ShowTip() {
  if (!g_tip) {
    g_tip = new QLabel(nullptr, Qt::ToolTip | Qt::WindowStaysOnTopHint);
    g_tip->setTextFormat(Qt::PlainText);
    g_tip->setMargin(2);
    g_tip->setText(GetTipText());
  }
  PlaceTip();
  g_tip->show();
}

void CTipSlider::PlaceTip() {
  if (g_tip) g_tip->move(mapToGlobal(GetThumbRect().bottomLeft() + QPoint(0, 1)));
}

void CTipSlider::RefreshTip() {
  if (!g_tip) return;
  g_tip->setText(GetTipText());
  g_tip->adjustSize();
}

// ---- mouse, keys, painting

int CTipSlider::ValueAt(QPoint point) const {
  const bool vertical = orientation() == Qt::Vertical;
  const QRect client = m_rcClient.isNull() ? rect() : m_rcClient;
  const int length = (vertical ? client.height() : client.width()) - 9;
  const int centre = (vertical ? point.y() - client.top() : point.x() - client.left()) - m_grabOffset;
  if (length <= 0) return minimum();
  const double ratio = std::clamp((centre - 4) / double(length), 0.0, 1.0);
  const int value = minimum() + int(std::lround(ratio * (double(maximum()) - minimum())));
  return RunsUpward() ? maximum() - (value - minimum()) : value;
}

void CTipSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QSlider::mousePressEvent(event);
    return;
  }
  m_bDragging = true;
  const QRect before = GetThumbRect();
  const QPoint p = event->position().toPoint();
  if (before.contains(p)) {
    m_bGrabbed = true;
    const bool vertical = orientation() == Qt::Vertical;
    m_grabOffset =
        vertical ? p.y() - (before.top() + before.height() / 2) : p.x() - (before.left() + before.width() / 2);
    if (m_bTipEnabled) ShowTip();
    setSliderDown(true);
  } else {
    // A press on the channel pages towards it.
    const bool beyond = orientation() == Qt::Vertical ? p.y() > before.bottom() : p.x() > before.right();
    triggerAction(beyond != RunsUpward() ? SliderPageStepAdd : SliderPageStepSub);
  }
  update(before.united(GetThumbRect()));
  event->accept();
}

void CTipSlider::mouseMoveEvent(QMouseEvent* event) {
  if (m_bGrabbed) {
    if (m_bTipEnabled) RefreshTip();
    if (m_bTipFollows) PlaceTip();
  }
  if (!m_bDragging) {
    QSlider::mouseMoveEvent(event);
    return;
  }
  const QRect before = GetThumbRect();
  if (m_bGrabbed) setSliderPosition(ValueAt(event->position().toPoint()));
  update(before.united(GetThumbRect()));
  event->accept();
}

void CTipSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QSlider::mouseReleaseEvent(event);
    return;
  }
  if (m_bGrabbed && g_tip) g_tip->hide();
  const bool wasGrabbed = m_bGrabbed;
  m_bDragging = m_bGrabbed = false;
  m_grabOffset = 0;
  if (wasGrabbed) setSliderDown(false);
  update(GetThumbRect());
  event->accept();
}

void CTipSlider::keyPressEvent(QKeyEvent* event) {
  QSlider::keyPressEvent(event);
  update();
}

void CTipSlider::paintEvent(QPaintEvent* event) {
  const QRect clip = event->rect();
  if (clip.isEmpty()) return;
  QPainter painter(this);
  const QRect thumb = GetThumbRect();
  if (m_pBackground) m_pBackground->CopyTo(painter, clip);
  if (m_bGrabbed && m_pActiveThumb)
    m_pActiveThumb->DrawTransparent(painter, thumb.left(), thumb.top());
  else if (m_pThumb)
    m_pThumb->DrawTransparent(painter, thumb.left(), thumb.top());
}
