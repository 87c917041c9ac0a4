#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// TIFF through libtiff, first directory only, orientation tag applied. The
// common 8-bit layouts in strips (RGB, RGB with alpha, grey, palette) are
// read strip by strip straight into the reduction; everything else goes
// through libtiff's RGBA conversion in bands of strips or tiles. Memory is
// bounded by the strip or band in hand, reserved from the decode budget.
// A file cut short gives the strips or bands that came, the rest black, as
// long as its directory came.
class TiffDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
