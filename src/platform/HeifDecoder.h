#pragma once

#include "platform/ImageLoader.h"

namespace ovrin::platform {

class ImageFile;

// HEIF/HEIC and AVIF through libheif.
class HeifDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
