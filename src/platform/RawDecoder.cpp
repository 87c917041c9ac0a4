#include "platform/RawDecoder.h"

#include "platform/ImageFile.h"

namespace ovrin::platform {

LoadResult RawDecoder::decode(ImageFile& file, int side, int fineSide)
{
    (void)file;
    (void)side;
    (void)fineSide;
    return {std::nullopt, LoadFailure::NotAnImage};
}

} // namespace ovrin::platform
