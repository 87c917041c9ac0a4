#pragma once

#include "platform/imaging/Raster.h"

namespace ovrin::platform {

class ImageFile;

// Camera RAW files through libraw.
class RawDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
