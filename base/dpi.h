// Lengths at a DPI. Every length the program draws is written in 96-DPI
// pixels and scaled with ScaleAt, term by term.
#pragma once

#include <windows.h>

namespace qv {

// The DPI at which a length is its own number of pixels.
inline constexpr int kBaseDpi = 96;

// A length in 96-DPI pixels at the given DPI.
inline int ScaleAt(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

}  // namespace qv
