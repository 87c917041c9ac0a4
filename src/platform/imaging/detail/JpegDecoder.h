#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// JPEG through libjpeg: decoded at 1/2, 1/4 or 1/8 of its size by DCT scaling
// whenever that still leaves at least `side` points each way, streamed row by
// row into the reduction, EXIF orientation applied. The memory it needs is
// worked out from the header (a progressive or multi-scan file keeps every
// coefficient of the whole picture) and reserved from the decode budget
// before decoding starts; libjpeg is held to that reservation too.
class JpegDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
