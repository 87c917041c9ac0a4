#pragma once

#include "platform/ImageLoader.h"

namespace ovrin::platform {

class ImageFile;

// JPEG XL through libjxl.
class JxlDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
