#pragma once

#include "platform/imaging/detail/AreaReducer.h"

#include <optional>

namespace ovrin::platform {

class ImageFile;

// Uncompressed BMP (1, 4, 8, 16, 24 and 32 bits, plain or with bit fields),
// read row by row straight into the reduction with the toolkit's colour
// rules; a bottom-up picture is reduced as stored and the raster flipped.
class BmpDecoder {
public:
    // No value when the file is a BMP this decoder leaves to the toolkit's
    // reader (run-length encoded, or an unusual header).
    static std::optional<LoadResult> decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
