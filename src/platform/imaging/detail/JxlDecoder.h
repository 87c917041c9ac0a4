#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// JPEG XL through libjxl, on the calling thread: the first frame decoded
// whole, its rows streamed into the reduction as they are rendered.
class JxlDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
