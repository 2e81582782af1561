#include "tools/gifenc/GifEncoder.h"

#include <algorithm>
#include <unordered_map>

int GifEncoder::SizeBits(size_t entries) {
  int bits = 1;
  while ((size_t(1) << bits) < entries && bits < 8) ++bits;
  return bits;
}

void GifEncoder::Word(int value) {
  m_out.push_back(uint8_t(value & 0xFF));
  m_out.push_back(uint8_t((value >> 8) & 0xFF));
}

void GifEncoder::ColourTable(const std::vector<uint32_t>& palette, int sizeBits) {
  for (size_t i = 0; i < (size_t(1) << sizeBits); ++i) {
    const uint32_t c = i < palette.size() ? palette[i] : 0;
    m_out.push_back(uint8_t(c >> 16));
    m_out.push_back(uint8_t(c >> 8));
    m_out.push_back(uint8_t(c));
  }
}

void GifEncoder::SubBlocks(const std::vector<uint8_t>& data) {
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    m_out.push_back(uint8_t(n));
    m_out.insert(m_out.end(), data.begin() + long(i), data.begin() + long(i + n));
  }
  m_out.push_back(0);
}

void GifEncoder::Header(int width, int height, const std::vector<uint32_t>& palette, const char* version) {
  m_out.clear();
  m_out.insert(m_out.end(), {'G', 'I', 'F'});
  m_out.insert(m_out.end(), version, version + 3);
  Word(width);
  Word(height);
  m_globalBits = palette.empty() ? 0 : SizeBits(palette.size());
  m_out.push_back(palette.empty() ? 0x70 : uint8_t(0xF0 | (m_globalBits - 1)));
  m_out.push_back(0);  // background colour index
  m_out.push_back(0);  // pixel aspect ratio
  if (m_globalBits) ColourTable(palette, m_globalBits);
}

void GifEncoder::Loop(uint16_t count) {
  const char id[] = "NETSCAPE2.0";
  m_out.insert(m_out.end(), {0x21, 0xFF, 11});
  m_out.insert(m_out.end(), id, id + 11);
  m_out.insert(m_out.end(), {3, 1});
  Word(count);
  m_out.push_back(0);
}

void GifEncoder::Comment(const std::string& text) {
  m_out.insert(m_out.end(), {0x21, 0xFE});
  SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
}

void GifEncoder::GraphicControl(uint16_t delay, int disposal, int transparentIndex) {
  m_out.insert(m_out.end(), {0x21, 0xF9, 4});
  m_out.push_back(uint8_t(((disposal & 7) << 2) | (transparentIndex >= 0 ? 1 : 0)));
  Word(delay);
  m_out.push_back(uint8_t(transparentIndex >= 0 ? transparentIndex : 0));
  m_out.push_back(0);
}

void GifEncoder::Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
                       const std::vector<uint32_t>& localPalette) {
  m_out.push_back(0x2C);
  Word(left);
  Word(top);
  Word(width);
  Word(height);
  const int localBits = localPalette.empty() ? 0 : SizeBits(localPalette.size());
  m_out.push_back(localBits ? uint8_t(0x80 | (localBits - 1)) : 0);
  if (localBits) ColourTable(localPalette, localBits);
  const int bits = std::max(2, localBits ? localBits : m_globalBits);
  m_out.push_back(uint8_t(bits));
  const std::vector<uint8_t> code = Lzw(indices, bits);
  m_out.insert(m_out.end(), code.begin(), code.end());
}

void GifEncoder::PlainText(int left, int top, int width, int height, const std::string& text) {
  m_out.insert(m_out.end(), {0x21, 0x01, 12});
  Word(left);
  Word(top);
  Word(width);
  Word(height);
  m_out.insert(m_out.end(), {8, 8, 1, 0});  // cell size, foreground, background index
  SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
}

void GifEncoder::Raw(const std::vector<uint8_t>& bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }

void GifEncoder::Trailer() { m_out.push_back(0x3B); }

std::vector<uint8_t> GifEncoder::Lzw(const std::vector<uint8_t>& indices, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::vector<uint8_t> packed;
  uint32_t bitBuffer = 0;
  int bitCount = 0, width = minCodeSize + 1, next = end + 1;
  std::unordered_map<uint32_t, int> table;
  auto emit = [&](int code) {
    bitBuffer |= uint32_t(code) << bitCount;
    bitCount += width;
    while (bitCount >= 8) {
      packed.push_back(uint8_t(bitBuffer & 0xFF));
      bitBuffer >>= 8;
      bitCount -= 8;
    }
  };
  auto reset = [&] {
    table.clear();
    width = minCodeSize + 1;
    next = end + 1;
  };
  emit(clear);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const uint32_t key = (uint32_t(prefix) << 8) | indices[i];
      if (auto it = table.find(key); it != table.end()) {
        prefix = it->second;
        continue;
      }
      emit(prefix);
      if (next < 4096) {
        table.emplace(key, next++);
        if (next > (1 << width) && width < 12) ++width;
      } else {
        emit(clear);
        reset();
      }
      prefix = indices[i];
    }
    emit(prefix);
  }
  emit(end);
  if (bitCount > 0) packed.push_back(uint8_t(bitBuffer & 0xFF));

  std::vector<uint8_t> out;
  out.reserve(packed.size() + packed.size() / 255 + 2);
  for (size_t i = 0; i < packed.size(); i += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
  }
  out.push_back(0);
  return out;
}
