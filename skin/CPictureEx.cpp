#include "skin/CPictureEx.h"

#include <chrono>
#include <limits>
#include <system_error>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QtDebug>

#include "platform/UiThread.h"
#include "skin/GifWalker.h"

namespace {

// A picture from the web must not make the control allocate without bound: the surface and the
// decoded frames together stay within these limits (a banner is a few hundred pixels across).
constexpr qint64 kMaxSurfacePixels = 4096 * 4096;
constexpr qint64 kMaxDecodedBytes = 256 * 1024 * 1024;

void Trace(const char* text, const QString& arg = {}) {
#ifndef NDEBUG
  qDebug().noquote() << QString::fromUtf8(text).arg(arg);
#else
  (void)text;
  (void)arg;
#endif
}

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

}  // namespace

CPictureEx::CPictureEx(QWidget* parent) : QWidget(parent), m_shared(std::make_shared<Shared>()) {
  m_shared->owner = this;
}

CPictureEx::~CPictureEx() { Unload(); }

uint32_t CPictureEx::FrameWaitMs(uint32_t delay) { return delay < 5 ? 100u : delay * 10u; }

bool CPictureEx::IsAnimatedGif() const {
  std::lock_guard lock(m_shared->mutex);
  return m_bIsGif && m_shared->frames.size() > 1;
}

bool CPictureEx::IsPlaying() const { return m_shared->playing.load(); }

int CPictureEx::GetFrameCount() const {
  std::lock_guard lock(m_shared->mutex);
  return m_bIsGif && m_shared->frames.size() > 1 ? int(m_shared->frames.size()) : 0;
}

QColor CPictureEx::GetBackgroundColor() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->background;
}

void CPictureEx::SetBackgroundColor(const QColor& colour) {
  if (!m_bInitialized) return;
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->background = colour;
    m_shared->surface.fill(colour);
  }
  RequestRepaint();
}

QImage CPictureEx::Surface() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->surface.copy();
}

void CPictureEx::SetFrameHook(FrameHook hook) {
  std::lock_guard lock(m_shared->mutex);
  m_shared->hook = std::move(hook);
}

bool CPictureEx::SetPictureSize(int width, int height) {
  m_PictureSize = QSize(width, height);
  return PrepareSurface(width, height);
}

void CPictureEx::RequestRepaint() {
  if (IsUiThread())
    update();
  else
    PostToUi(this, [this] { update(); });
}

// ---- decoding and loading

CPictureEx::Picture CPictureEx::DecodeFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    Trace("Load (file): Error opening file %1", fileName);
    return {};
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    Trace("Load (file): An exception occured while reading the file %1", fileName);
    return {};
  }
  if (bytes.isEmpty()) {
    Trace("Load (file): Error locking memory");
    return {};
  }
  return Decode(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

CPictureEx::Picture CPictureEx::Decode(const uint8_t* data, size_t size) {
  Picture picture;
  if (!data || size == 0) {
    Trace("Load: Error locking memory");
    return picture;
  }
  if (GifWalker::IsGifSignature(data, size))
    DecodeGif(data, size, picture);
  else
    DecodeWhole(data, size, picture);
  picture.valid = picture.valid && WithinLimits(picture.size);
  return picture;
}

bool CPictureEx::WithinLimits(const QSize& size) {
  return size.width() > 0 && size.height() > 0 && qint64(size.width()) * size.height() <= kMaxSurfacePixels;
}

void CPictureEx::DecodeWhole(const uint8_t* data, size_t size, Picture& picture) {
  if (size > size_t(std::numeric_limits<int>::max())) return;
  QImage whole = QImage::fromData(data, int(size));
  if (whole.isNull()) return;
  if (!picture.isGif) picture.size = whole.size();
  picture.whole = whole;
  picture.valid = true;
}

void CPictureEx::DecodeGif(const uint8_t* data, size_t size, Picture& picture) {
  picture.isGif = true;
  GifWalker walker(data, size);
  picture.size = QSize(walker.ScreenWidth(), walker.ScreenHeight());

  const int count = walker.CountFrames();
  if (count == 0) return;
  if (count == 1) {
    DecodeWhole(data, size, picture);
    return;
  }

  std::vector<GifFrame> frames;
  qint64 decodedBytes = 0;
  walker.ResetReadPosition();
  GifWalker::Frame piece, last;
  while (walker.ExtractFrame(piece, &last)) {
    last = piece;
    QImage frame = QImage::fromData(piece.gif.data(), int(piece.gif.size()), "GIF");
    if (frame.isNull()) continue;  // the frame is dropped; the rest play
    // The one-frame GIF decodes at the size of the logical screen with the frame at its
    // place; the frame's own rectangle is what gets drawn.
    const QRect rect(piece.left, piece.top, piece.width, piece.height);
    if (frame.size() == picture.size && rect.isValid() && frame.rect().contains(rect) && rect.size() != frame.size())
      frame = frame.copy(rect);
    decodedBytes += frame.sizeInBytes();
    if (decodedBytes > kMaxDecodedBytes) break;
    frames.push_back(
        {frame, QSize(piece.width, piece.height), QPoint(piece.left, piece.top), piece.delay, piece.disposal});
  }
  if (frames.empty()) return;
  picture.frames = std::move(frames);
  picture.valid = true;
}

bool CPictureEx::Load(const QString& fileName) { return Load(DecodeFile(fileName)); }

bool CPictureEx::Load(const QString& resourceName, const QString& type) {
  QFile resource(QStringLiteral(":/%1/%2").arg(type, resourceName));
  if (!resource.open(QIODevice::ReadOnly)) {
    Trace("Load (resource): Error loading resource %1", resourceName);
    Unload();
    return false;
  }
  const QByteArray bytes = resource.readAll();
  if (bytes.isEmpty()) {
    Trace("Load (resource): Error locking memory");
    Unload();
    return false;
  }
  return Load(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

bool CPictureEx::Load(const uint8_t* data, size_t size) { return Load(Decode(data, size)); }

bool CPictureEx::Load(const Picture& picture) {
  Unload();
  m_bIsGif = picture.isGif;
  m_PictureSize = picture.size;
  if (!picture.valid) return false;
  if (picture.frames.empty()) {
    m_Picture = picture.whole;
  } else {
    std::lock_guard lock(m_shared->mutex);
    m_shared->frames = picture.frames;
    m_shared->currentFrame = 0;
  }
  return PrepareSurface(m_PictureSize.width(), m_PictureSize.height());
}

bool CPictureEx::PrepareSurface(int width, int height) {
  if (!WithinLimits(QSize(width, height))) return false;
  resize(width, height);
  QImage surface(width, height, QImage::Format_RGB32);
  if (surface.isNull()) return false;
  const QColor face = ButtonFace();
  surface.fill(face);
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->surface = surface;
    m_shared->background = face;
  }
  m_bInitialized = true;
  return true;
}

// ---- drawing and the animation

bool CPictureEx::Draw() {
  if (!m_bInitialized) {
    Trace("Call one of the CPictureEx::Load() member functions before calling Draw()");
    return false;
  }
  if (m_thread.joinable()) return false;  // already playing: Stop first
  if (IsAnimatedGif()) {
    {
      std::lock_guard lock(m_shared->mutex);
      m_shared->exitRequested = false;
      m_shared->finished = false;
      m_shared->owner = this;
    }
    try {
      m_thread = std::thread(&CPictureEx::AnimationThread, m_shared);
    } catch (const std::system_error&) {
      Trace("Draw: Couldn't start a GIF animation thread");
    }
    return false;  // the result reports a static render only
  }

  // A static picture, or the one frame of a GIF whose other frames did not decode.
  QImage picture = m_Picture;
  QRect target(QPoint(0, 0), m_PictureSize);
  {
    std::lock_guard lock(m_shared->mutex);
    if (picture.isNull() && m_shared->frames.size() == 1) {
      picture = m_shared->frames.front().picture;
      target = m_shared->frames.front().Rect();
    }
    if (picture.isNull()) return false;
    QPainter painter(&m_shared->surface);
    painter.drawImage(target, picture);
  }
  RequestRepaint();
  return true;
}

void CPictureEx::RenderFrame(Shared& s, const GifFrame& f) {
  QPainter painter(&s.surface);
  painter.drawImage(f.Rect(), f.picture);
}

void CPictureEx::Dispose(Shared& s, const GifFrame& f) {
  if (f.disposal == 2) {
    QPainter(&s.surface).fillRect(f.Rect(), s.background);
  } else if (f.disposal == 3 && s.hasSavedArea) {
    QPainter(&s.surface).drawImage(f.offset, s.savedArea);
    s.savedArea = QImage();
    s.hasSavedArea = false;
  }
}

void CPictureEx::AnimationThread(std::shared_ptr<Shared> s) {
  std::unique_lock lock(s->mutex);
  s->playing = true;
  auto postRepaint = [&s] {
    if (!s->exitRequested && s->owner) {
      CPictureEx* owner = s->owner;
      PostToUi(owner, [owner] { owner->update(); });
    }
  };

  // A frame left showing by an earlier Stop is disposed before it is shown again.
  if (s->currentFrame < s->frames.size()) Dispose(*s, s->frames[s->currentFrame]);

  while (!s->exitRequested && !s->frames.empty()) {
    if (s->currentFrame >= s->frames.size()) s->currentFrame = 0;
    const GifFrame frame = s->frames[s->currentFrame];
    if (!frame.picture.isNull()) {
      if (frame.disposal == 3) {
        s->savedArea = s->surface.copy(frame.Rect());
        s->hasSavedArea = !s->savedArea.isNull();
      }
      RenderFrame(*s, frame);
      postRepaint();
      if (s->exitRequested) break;
      uint32_t waitMs = FrameWaitMs(frame.delay);
      if (s->hook) {
        const FrameHook hook = s->hook;
        const QImage snapshot = s->surface.copy();
        const unsigned index = s->currentFrame;
        lock.unlock();
        waitMs = hook(index, waitMs, snapshot);
        lock.lock();
      }
      s->exitEvent.wait_for(lock, std::chrono::milliseconds(waitMs), [&s] { return s->exitRequested; });
      if (s->exitRequested) break;
      Dispose(*s, frame);
    }
    if (++s->currentFrame >= s->frames.size()) {
      s->currentFrame = 0;
      s->surface.fill(s->background);
    }
  }
  s->playing = false;
  s->finished = true;
  s->ended.notify_all();
}

void CPictureEx::Stop() {
  std::shared_ptr<Shared> s = m_shared;
  s->playing = false;
  if (!m_thread.joinable()) return;
  std::unique_lock lock(s->mutex);
  s->exitRequested = true;
  s->exitEvent.notify_all();
  const bool ended = s->ended.wait_for(lock, std::chrono::milliseconds(m_stopTimeoutMs), [&s] { return s->finished; });
  if (ended) {
    lock.unlock();
    m_thread.join();
    lock.lock();
    s->exitRequested = false;
    s->finished = false;
    return;
  }
  // The worker is stuck somewhere: leave it its own state (it will see the exit request when
  // it wakes) and carry on with a copy, so nothing the control frees is ever drawn into.
  auto fresh = std::make_shared<Shared>();
  fresh->surface = s->surface.copy();
  fresh->background = s->background;
  fresh->frames = s->frames;
  fresh->currentFrame = s->currentFrame;
  fresh->savedArea = s->savedArea;
  fresh->hasSavedArea = s->hasSavedArea;
  fresh->hook = s->hook;
  fresh->owner = this;
  s->owner = nullptr;
  lock.unlock();
  m_thread.detach();
  m_shared = std::move(fresh);
}

void CPictureEx::Unload() {
  Stop();
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->frames.clear();
    m_shared->surface = QImage();
    m_shared->savedArea = QImage();
    m_shared->hasSavedArea = false;
    m_shared->background = Qt::white;
    m_shared->currentFrame = 0;
    m_shared->exitRequested = false;
  }
  m_Picture = QImage();
  m_PaintRect = QRect();
  m_PictureSize = QSize();
  m_bInitialized = false;
  m_bIsGif = false;
}

void CPictureEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  std::lock_guard lock(m_shared->mutex);
  const QImage& surface = m_shared->surface;
  if (surface.isNull()) return;
  if (m_PaintRect.width() > 0)
    painter.drawImage(QPoint(0, 0), surface, m_PaintRect);
  else
    painter.drawImage(QPoint(0, 0), surface, QRect(QPoint(0, 0), m_PictureSize));
}

void CPictureEx::mousePressEvent(QMouseEvent* event) {
  m_pressed = event->button() == Qt::LeftButton;
  event->accept();
}

void CPictureEx::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  m_pressed = false;
  event->accept();
  if (click) emit clicked();
}
