#pragma once

#include "platform/ImageLoader.h"

namespace ovrin::platform {

class ImageFile;

// JPEG XL through libjxl, on the calling thread. A frame that carries its
// 1/8 image apart (every lossy one of more than one group) is reduced from
// that, rendered at full size, and the rest of the file is not read; any
// other is decoded whole. Rows stream into the reduction either way.
class JxlDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
    // The same, always decoded whole; for tests and benchmarks that weigh
    // the 1/8 image against the whole picture.
    static LoadResult decodeWhole(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
