#pragma once
// Resampling of 32-bit bitmaps to another size with a cubic filter: the good-quality reduction of
// big photos to output sizes.

#include "gfx/bitmap.h"

namespace gfx {

// Resamples the whole of src into the whole of dst (any two sizes), overwriting dst. The filter
// is the Catmull-Rom cubic, widened by the reduction factor when shrinking so that every source
// pixel contributes (no aliasing from skipped pixels). Colours are weighted by their alpha, so
// the colour of transparent pixels never bleeds into visible ones; a result of alpha 0 is
// 0x00000000. False for an invalid view or when out of memory. Safe from any thread.
bool resample(const BitmapView& src, const BitmapView& dst);

}  // namespace gfx
