#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

// A picture control: shows a picture loaded from a file, a resource or memory. A GIF with more
// than one frame is cut into one-frame GIFs, each decoded once, and played by a worker thread of
// the control into an off-screen surface; anything else is decoded whole and drawn once. Painting
// only copies the surface.
//
// Calling order: Load (any form), then Draw. A second Load unloads the first picture. Load and
// Draw belong to the user-interface thread. Decoding is apart from the control: a worker decodes a
// picture (Decode, DecodeFile) and hands the result to the user-interface thread, which loads it
// whole.
class CPictureEx : public QWidget {
  Q_OBJECT
 public:
  // One frame of an animated GIF, decoded.
  struct GifFrame {
    QImage picture;
    QSize size;
    QPoint offset;
    uint32_t delay = 0;
    uint32_t disposal = 0;
    QRect Rect() const { return QRect(offset, size); }
  };
  // A decoded picture: a static picture (or a one-frame GIF) whole, or the frames of an
  // animated GIF. Made on any thread; a value, shared by nothing.
  struct Picture {
    bool valid = false;  // decoded and within the control's limits
    bool isGif = false;
    QSize size;  // the picture's (a GIF's logical screen)
    QImage whole;
    std::vector<GifFrame> frames;
  };
  static Picture Decode(const uint8_t* data, size_t size);
  static Picture DecodeFile(const QString& fileName);

  explicit CPictureEx(QWidget* parent = nullptr);
  ~CPictureEx() override;

  bool Load(const Picture& picture);                            // decoded
  bool Load(const uint8_t* data, size_t size);                  // memory
  bool Load(const QString& fileName);                           // file
  bool Load(const QString& resourceName, const QString& type);  // resource ":/<type>/<name>"
  bool Draw();
  void Stop();
  void Unload();

  bool IsGif() const { return m_bIsGif; }
  bool IsAnimatedGif() const;
  bool IsPlaying() const;
  int GetFrameCount() const;
  QSize GetPictureSize() const { return m_PictureSize; }
  bool SetPictureSize(int width, int height);
  QColor GetBackgroundColor() const;
  void SetBackgroundColor(const QColor& colour);
  QRect GetPaintRect() const { return m_PaintRect; }
  void SetPaintRect(const QRect& rect) { m_PaintRect = rect; }

  // Milliseconds a frame stays up for its delay in hundredths: below 5 it is 100 ms; a frame
  // without a control extension (all ones) waits so long that the animation rests on it.
  static uint32_t FrameWaitMs(uint32_t delay);

  // A copy of the off-screen surface as it is now (null when nothing is loaded).
  QImage Surface() const;

  // For tests and tools: called on the animation thread after each frame is drawn, with the
  // frame's index, its wait and the surface; returns the wait to use instead.
  using FrameHook = std::function<uint32_t(unsigned frame, uint32_t waitMs, const QImage& surface)>;
  void SetFrameHook(FrameHook hook);

  // The worker's wait after Stop has asked it to end; exposed so tests can shorten it.
  void SetStopTimeoutMs(int ms) { m_stopTimeoutMs = ms; }

 signals:
  // A click on the picture (the control notifies its parent of clicks).
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Everything the animation thread touches. The thread holds its own reference, so a worker
  // that outlives Stop's wait only ever sees state that the control has let go of.
  struct Shared {
    std::mutex mutex;
    std::condition_variable exitEvent;
    std::condition_variable ended;
    bool exitRequested = false;
    bool finished = false;
    std::atomic<bool> playing{false};
    QImage surface;
    QColor background{Qt::white};
    std::vector<GifFrame> frames;
    unsigned currentFrame = 0;
    QImage savedArea;
    bool hasSavedArea = false;
    FrameHook hook;
    CPictureEx* owner = nullptr;  // valid while exitRequested is false
  };

  static void DecodeGif(const uint8_t* data, size_t size, Picture& picture);
  static void DecodeWhole(const uint8_t* data, size_t size, Picture& picture);
  static bool WithinLimits(const QSize& size);
  bool PrepareSurface(int width, int height);
  void RequestRepaint();
  static void AnimationThread(std::shared_ptr<Shared> s);
  static void RenderFrame(Shared& s, const GifFrame& f);
  static void Dispose(Shared& s, const GifFrame& f);

  QRect m_PaintRect;
  QSize m_PictureSize;
  bool m_bIsGif = false;
  bool m_bInitialized = false;
  QImage m_Picture;  // the whole picture of a static load
  std::shared_ptr<Shared> m_shared;
  std::thread m_thread;
  int m_stopTimeoutMs = 5000;
  bool m_pressed = false;
};
