#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// GIF through giflib: the first frame on its logical screen, as the
// toolkit's reader showed it (transparent and uncovered parts white, a
// partly covered screen filled with the background colour). Rows stream into
// the reduction; an interlaced frame is gathered whole first (one byte a
// pixel, reserved from the decode budget).
class GifDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
