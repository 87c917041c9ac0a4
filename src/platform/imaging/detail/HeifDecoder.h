#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// HEIF/HEIC and AVIF through libheif: the primary image (never its embedded
// thumbnail), turned, mirrored and cropped as the file says, alpha laid on
// white. Its decoders (libde265, dav1d) start helper threads of their own for
// the time of a decode; the rows are reduced on the calling thread.
class HeifDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
};

} // namespace ovrin::platform
