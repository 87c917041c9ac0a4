#pragma once

#include "platform/imaging/detail/AreaReducer.h"

namespace ovrin::platform {

class ImageFile;

// Every other format the toolkit's image reader knows (ICO, PNM, XPM,
// run-length BMP, ...), read through it on the calling thread: its reading
// fails as soon as the run is stopped, the picture's size from the header
// is reserved from the decode budget (the whole budget when the reader
// cannot tell), and its rows are converted one at a time so no conversion
// is handed to the toolkit's thread pool.
class QtImageDecoder {
public:
    // `format` names the reader's plugin, or is empty to let the reader
    // guess from the bytes.
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide, const char* format);
};

} // namespace ovrin::platform
