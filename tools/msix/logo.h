// The package's logos, drawn from the picture of the menu entries (tools/emblem): the 16 x 16
// emblem enlarged by the largest whole factor that fits, centred on a transparent square, with the
// white ground around it made transparent (the white inside the emblem, its arrow, stays).
#pragma once

#include <vector>

#include "png.h"

namespace tw::msix {

// The pixels of a `side` x `side` logo, row by row from the top (`side` at least 16).
std::vector<Rgba> LogoPixels(int side);

}  // namespace tw::msix
