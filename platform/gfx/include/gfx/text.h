#pragma once
// Text drawn onto 32-bit bitmaps: captions laid over photos.
//
// Text needs the font machinery of the GUI toolkit, which needs its application object: when the
// process has none yet (a test, a command-line tool), the first text call makes one for the
// offscreen platform. Call from the thread that owns the toolkit (the GUI thread where there is
// one).

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/bitmap.h"

namespace gfx {

struct Font {
  std::string family;       // UTF-8; an unknown family falls back to the generic sans-serif
  double pointSize = 12.0;  // at 96 pixels per inch
  std::int32_t style = 0;   // 1 bold, 2 italic, 4 underline, 8 strikeout
};

// Width and height of the bounding box of text drawn at a point without a layout box (no
// wrapping; line breaks break lines). False when the toolkit cannot start.
bool measureText(const std::string& text, const Font& font, double& width, double& height);

// Draws text with a solid brush of colour (0xAARRGGBB; the alpha is the text's opacity), its
// top-left corner at (x, y), blended over dst.
bool drawText(const BitmapView& dst, const std::string& text, const Font& font,
              std::uint32_t colour, double x, double y);

// The families of the installed fonts, in the toolkit's order.
std::vector<std::string> fontFamilies();

}  // namespace gfx
