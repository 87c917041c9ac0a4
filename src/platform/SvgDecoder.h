#pragma once

#include "platform/ImageLoader.h"

namespace ovrin::platform {

class ImageFile;

// SVG through the toolkit's SVG plugin, by content or by its name.
class SvgDecoder {
public:
    static LoadResult decode(ImageFile& file, int side, int fineSide);
};

} // namespace ovrin::platform
