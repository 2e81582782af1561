#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes GIF data block by block: the skin picture generator makes the banner with it and the
// tests make GIFs of every shape the banner control must cope with. Colours are 0xRRGGBB.
class GifEncoder {
 public:
  // Header, logical screen descriptor and (unless the palette is empty) a global colour table,
  // padded to a power of two of at least two entries.
  void Header(int width, int height, const std::vector<uint32_t>& palette, const char* version = "89a");
  // NETSCAPE2.0 application extension with a loop count (0 = for ever).
  void Loop(uint16_t count);
  void Comment(const std::string& text);
  void GraphicControl(uint16_t delay, int disposal, int transparentIndex = -1);
  // Image descriptor, optional local colour table and the LZW-coded indices (width × height).
  void Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
             const std::vector<uint32_t>& localPalette = {});
  // Plain text extension with its 12-byte header and the text as data.
  void PlainText(int left, int top, int width, int height, const std::string& text);
  void Raw(const std::vector<uint8_t>& bytes);
  void Trailer();

  const std::vector<uint8_t>& Bytes() const { return m_out; }

  // LZW code stream of indices at a minimum code size, packed in sub-blocks, terminator included.
  static std::vector<uint8_t> Lzw(const std::vector<uint8_t>& indices, int minCodeSize);

 private:
  void Word(int value);
  void ColourTable(const std::vector<uint32_t>& palette, int sizeBits);
  void SubBlocks(const std::vector<uint8_t>& data);
  static int SizeBits(size_t entries);

  std::vector<uint8_t> m_out;
  int m_globalBits = 0;  // bits per index of the global table (0: none)
};
