#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Walks the blocks of GIF data and cuts an animated GIF into stand-alone one-frame GIFs. Pure
// byte work, no pictures: the banner control decodes the pieces. Every read is checked against
// the data size, so any bytes at all can be walked.
class GifWalker {
 public:
  enum class Block {
    Unrecognised,
    Application,     // 0x21 0xFF
    Comment,         // 0x21 0xFE
    GraphicControl,  // 0x21 0xF9
    PlainText,       // 0x21 0x01
    Image,           // 0x2C
    Trailer,         // 0x3B
  };

  // One frame cut out of the data: a complete GIF (header, screen descriptor and global colour
  // table of the original, the frame's blocks, a trailer) and what the control needs to play it.
  struct Frame {
    std::vector<uint8_t> gif;
    int width = 0, height = 0;  // from the image descriptor
    int left = 0, top = 0;      // from the image descriptor, relative to the logical screen
    uint32_t delay = 0;         // hundredths of a second; kNoDelay without a control extension
    uint32_t disposal = 0;      // 0..7
  };
  static constexpr uint32_t kNoDelay = 0xFFFFFFFFu;

  // The data stays the caller's and must outlive the walker.
  GifWalker(const uint8_t* data, size_t size);

  // "GIF" followed by "87a" or "89a".
  static bool IsGifSignature(const uint8_t* data, size_t size);

  int ScreenWidth() const;
  int ScreenHeight() const;
  size_t GlobalColourTableSize() const { return m_gctSize; }

  // Puts the read position after the header, the screen descriptor and the global colour table.
  void ResetReadPosition();
  size_t ReadPosition() const { return m_pos; }

  Block ClassifyBlock() const;
  // Byte length of the block at the read position: -1 for an unrecognised block, 0 for one whose
  // sub-block chain runs past the end of the data.
  long BlockLength() const;
  // Advances over the block at the read position; false (position unchanged) when it has no
  // length or runs past the end of the data.
  bool SkipBlock();
  // Advances over the next frame (its control extension, the blocks between, its image or plain
  // text block); false at the trailer, at an unrecognised block or at a failed skip.
  bool SkipGraphicBlock();
  // Cuts the next frame out; false when there is none (trailer, unrecognised block, failed skip).
  // `last` carries the size and offset over to a frame that ends in a plain text extension.
  bool ExtractFrame(Frame& out, const Frame* last);

  // Frames counted from the start (SkipGraphicBlock until it fails).
  int CountFrames();
  // Every frame cut from the start.
  std::vector<Frame> ExtractFrames();

 private:
  // Length of the sub-block chain at offset, terminator included; 0 when it runs past the end.
  long SubBlockChainLength(size_t offset) const;
  bool Has(size_t offset, size_t count) const;
  uint8_t Byte(size_t offset) const { return m_data[offset]; }
  unsigned Word(size_t offset) const { return m_data[offset] | (m_data[offset + 1] << 8); }
  // Skips application and comment extensions; false at the trailer or an unrecognised block.
  bool SkipTextBlocks();
  // From a control extension on: skips it and every block up to the image or plain text block.
  bool SkipToGraphic();

  const uint8_t* m_data;
  size_t m_size;
  size_t m_gctSize = 0;
  size_t m_pos = 0;
};
