// The banner control's GIF walk over arbitrary bytes: counting, splitting, and what it cuts out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "skin/GifWalker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!GifWalker::IsGifSignature(data, size)) return 0;
  GifWalker walker(data, size);
  (void)walker.ScreenWidth();
  (void)walker.ScreenHeight();
  const int counted = walker.CountFrames();
  const auto frames = walker.ExtractFrames();
  // Every frame the count sees is cut out, and each piece is a whole GIF of the original head.
  if (int(frames.size()) != counted) std::abort();
  const size_t head = 13 + walker.GlobalColourTableSize();
  for (const GifWalker::Frame& f : frames) {
    if (f.gif.size() <= head + 1 || f.gif.back() != 0x3B || f.disposal > 7) std::abort();
    GifWalker piece(f.gif.data(), f.gif.size());
    if (piece.CountFrames() != 1) std::abort();
  }
  return 0;
}
