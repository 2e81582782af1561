#pragma once

#include <cstdint>
#include <vector>

#include "tools/gifenc/GifEncoder.h"

// Small GIFs for the banner control's tests. Palette: 0 black, 1 red, 2 green, 3 blue, 4 white.
namespace giftest {

inline const std::vector<uint32_t> kPalette{0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
enum : uint8_t { Black, Red, Green, Blue, White };

struct FrameSpec {
  int left, top, width, height;
  uint8_t colour;
  int delay = 10;  // hundredths; -1: no control extension
  int disposal = 0;
};

inline std::vector<uint8_t> MakeGif(int width, int height, const std::vector<FrameSpec>& frames) {
  GifEncoder gif;
  gif.Header(width, height, kPalette);
  for (const FrameSpec& f : frames) {
    if (f.delay >= 0) gif.GraphicControl(uint16_t(f.delay), f.disposal);
    gif.Image(f.left, f.top, f.width, f.height, std::vector<uint8_t>(size_t(f.width * f.height), f.colour));
  }
  gif.Trailer();
  return gif.Bytes();
}

}  // namespace giftest
