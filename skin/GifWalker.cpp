#include "skin/GifWalker.h"

#include <cstring>

namespace {
constexpr size_t kHeaderAndScreen = 13;  // 6-byte header, 7-byte logical screen descriptor

// Length in bytes of a colour table announced by a packed byte (bit 7 present, bits 0-2 size).
size_t ColourTableLength(uint8_t packed) { return (packed & 0x80) ? 3u * (2u << (packed & 0x07)) : 0; }
}  // namespace

GifWalker::GifWalker(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {
  if (Has(0, kHeaderAndScreen)) m_gctSize = ColourTableLength(Byte(10));
  ResetReadPosition();
}

bool GifWalker::IsGifSignature(const uint8_t* data, size_t size) {
  return data && size >= 6 && std::memcmp(data, "GIF", 3) == 0 &&
         (std::memcmp(data + 3, "87a", 3) == 0 || std::memcmp(data + 3, "89a", 3) == 0);
}

int GifWalker::ScreenWidth() const { return Has(6, 4) ? int(Word(6)) : 0; }

int GifWalker::ScreenHeight() const { return Has(6, 4) ? int(Word(8)) : 0; }

bool GifWalker::Has(size_t offset, size_t count) const { return offset <= m_size && count <= m_size - offset; }

void GifWalker::ResetReadPosition() { m_pos = kHeaderAndScreen + m_gctSize; }

GifWalker::Block GifWalker::ClassifyBlock() const {
  if (!Has(m_pos, 1)) return Block::Unrecognised;
  switch (Byte(m_pos)) {
    case 0x2C:
      // The descriptor and the code size byte must be there to find the data that follows.
      if (!Has(m_pos, 10) || !Has(m_pos + 10, ColourTableLength(Byte(m_pos + 9)) + 1)) return Block::Unrecognised;
      return Block::Image;
    case 0x3B: return Block::Trailer;
    case 0x21:
      if (!Has(m_pos, 2)) return Block::Unrecognised;
      switch (Byte(m_pos + 1)) {
        case 0xFF: return Has(m_pos, 14) ? Block::Application : Block::Unrecognised;
        case 0xFE: return Block::Comment;
        case 0xF9: return Has(m_pos, 8) ? Block::GraphicControl : Block::Unrecognised;
        case 0x01: return Has(m_pos, 15) ? Block::PlainText : Block::Unrecognised;
        default: return Block::Unrecognised;
      }
    default: return Block::Unrecognised;
  }
}

long GifWalker::SubBlockChainLength(size_t offset) const {
  long length = 0;
  for (;;) {
    if (!Has(offset, 1)) return 0;
    const size_t n = Byte(offset);
    length += long(n) + 1;
    if (n == 0) return length;
    offset += n + 1;
  }
}

long GifWalker::BlockLength() const {
  auto withChain = [this](size_t fixed) -> long {
    const long chain = SubBlockChainLength(m_pos + fixed);
    return chain == 0 ? 0 : long(fixed) + chain;
  };
  switch (ClassifyBlock()) {
    case Block::Application: return withChain(14);
    case Block::Comment: return withChain(2);
    case Block::GraphicControl: return 8;
    case Block::PlainText: return withChain(15);
    case Block::Image: return withChain(ColourTableLength(Byte(m_pos + 9)) + 11);
    case Block::Trailer: return 1;
    case Block::Unrecognised: break;
  }
  return -1;
}

bool GifWalker::SkipBlock() {
  const long length = BlockLength();
  if (length <= 0 || !Has(m_pos, size_t(length))) return false;
  m_pos += size_t(length);
  return true;
}

bool GifWalker::SkipTextBlocks() {
  for (;;) {
    switch (ClassifyBlock()) {
      case Block::Application:
      case Block::Comment:
        if (!SkipBlock()) return false;
        break;
      case Block::Unrecognised:
      case Block::Trailer: return false;
      default: return true;
    }
  }
}

bool GifWalker::SkipToGraphic() {
  if (!SkipBlock()) return false;
  for (;;) {
    switch (ClassifyBlock()) {
      case Block::Image:
      case Block::PlainText: return true;
      case Block::Unrecognised:
      case Block::Trailer: return false;
      default:
        if (!SkipBlock()) return false;
    }
  }
}

bool GifWalker::SkipGraphicBlock() {
  if (!SkipTextBlocks()) return false;
  if (ClassifyBlock() == Block::GraphicControl && !SkipToGraphic()) return false;
  return SkipBlock();
}

bool GifWalker::ExtractFrame(Frame& out, const Frame* last) {
  out = Frame{};
  if (last) {
    out.width = last->width;
    out.height = last->height;
    out.left = last->left;
    out.top = last->top;
  }
  if (!SkipTextBlocks()) return false;
  const size_t start = m_pos;
  if (BlockLength() <= 0) return false;
  if (ClassifyBlock() == Block::GraphicControl) {
    out.delay = Word(m_pos + 4);
    out.disposal = (Byte(m_pos + 3) >> 2) & 0x07;
    if (!SkipToGraphic()) return false;
  } else {
    out.delay = kNoDelay;
  }
  if (ClassifyBlock() == Block::Image) {
    out.left = int(Word(m_pos + 1));
    out.top = int(Word(m_pos + 3));
    out.width = int(Word(m_pos + 5));
    out.height = int(Word(m_pos + 7));
  }
  if (!SkipBlock()) return false;

  const size_t head = kHeaderAndScreen + m_gctSize;
  const size_t span = m_pos - start;
  if (!Has(0, head)) return false;
  out.gif.reserve(head + span + 1);
  out.gif.assign(m_data, m_data + head);
  out.gif.insert(out.gif.end(), m_data + start, m_data + m_pos);
  out.gif.push_back(0x3B);
  return true;
}

int GifWalker::CountFrames() {
  ResetReadPosition();
  int count = 0;
  while (SkipGraphicBlock()) ++count;
  return count;
}

std::vector<GifWalker::Frame> GifWalker::ExtractFrames() {
  ResetReadPosition();
  std::vector<Frame> frames;
  Frame frame;
  while (ExtractFrame(frame, frames.empty() ? nullptr : &frames.back())) frames.push_back(std::move(frame));
  return frames;
}
