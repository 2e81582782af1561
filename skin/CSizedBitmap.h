#pragma once

#include <QImage>

// A bitmap that knows its size.
class CSizedBitmap {
 public:
  CSizedBitmap() = default;
  explicit CSizedBitmap(QImage image) : m_image(std::move(image)) {}
  virtual ~CSizedBitmap() = default;

  bool LoadBitmap(int resourceId);  // false when there is no such bitmap
  void SetImage(QImage image);
  const QImage& Image() const { return m_image; }
  int Width() const;
  int Height() const;

 protected:
  QImage m_image;

 private:
  mutable int m_width = -1, m_height = -1;  // read from the image when first asked for
};
