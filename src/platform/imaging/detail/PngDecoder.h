#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// PNG through libpng. A non-interlaced picture streams row by row into the
// reduction, in a few rows of memory whatever its size; an interlaced one
// needs its whole decoded picture, reserved from the decode budget. Pixels
// become the same colours on white the toolkit's reader gave them (16-bit
// channels, palettes and single transparent colours included). The
// orientation of an eXIf chunk before the picture data is applied. A file
// cut short gives the rows that came (of an interlaced one, the passes that
// came whole), the rest black.
class PngDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
