#pragma once

#include "platform/imaging/Raster.h"

namespace ovrin::platform {

class ImageFile;

// JPEG XL through libjxl, on the calling thread: the first frame decoded
// whole, its rows streamed into the reduction as they are rendered.
class JxlDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
