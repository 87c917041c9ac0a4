#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// TGA, colour-mapped, true-colour or grey, plain or run-length encoded, with
// or without the trailing footer (which is not read): rows stream into the
// reduction in the order stored, and the raster is turned as the origin bits
// say. Alpha counts only where the descriptor declares alpha bits, since
// many writers leave garbage in a fourth byte they call unused. The header
// carries no signature, so a file comes here by its name alone.
class TgaDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
