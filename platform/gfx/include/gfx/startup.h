#pragma once
// Start-up of the picture libraries under the graphics layer.

namespace gfx {

// Starts them once per process (later calls return the first result); needs no display.
// Returns 0 on success. Encoding starts them by itself when nobody has.
int startup();

}  // namespace gfx
