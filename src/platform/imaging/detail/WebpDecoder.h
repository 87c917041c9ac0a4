#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// WebP through libwebp, fed in slices so that a stop is noticed between them.
// libwebp decodes into a whole picture (3 or 4 bytes a pixel, more inside
// for a lossless one), all of it reserved from the decode budget first. Of
// an animation only the first frame counts, on a transparent canvas. The
// orientation of the EXIF chunk is applied. A still picture cut short gives
// the rows that came, the rest black.
class WebpDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
