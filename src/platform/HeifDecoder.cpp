#include "platform/HeifDecoder.h"

#include "platform/ImageFile.h"

namespace ovrin::platform {

LoadResult HeifDecoder::decode(ImageFile& file, int side, int fineSide)
{
    (void)file;
    (void)side;
    (void)fineSide;
    return {std::nullopt, LoadFailure::NotAnImage};
}

} // namespace ovrin::platform
