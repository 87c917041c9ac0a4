#include "platform/SvgDecoder.h"

#include "platform/ImageFile.h"
#include "platform/QtImageDecoder.h"

namespace ovrin::platform {

LoadResult SvgDecoder::decode(ImageFile& file, int side, int fineSide)
{
    // the toolkit's SVG plugin renders it, within the toolkit path's bounds
    return QtImageDecoder::decode(file, side, fineSide, "svg");
}

} // namespace ovrin::platform
