#pragma once

#include "platform/imaging/detail/AreaReducer.h"

#include <string>

namespace ovrin::platform {

class ImageFile;

// SVG and SVGZ (by content or by name), rendered by the toolkit's SVG module
// from a copy of the document that names no other file, at a size set by the
// drawing's own size or view box and the grids asked for, on white. A packed
// drawing is inflated here, up to a bound. Text is refused where no GUI
// application object exists, as its layout would abort the process.
class SvgDecoder {
public:
    static LoadResult decode(ImageFile& file, Reduction side, int fineSide);
    // The document as the renderer is given it (inflated, naming no other
    // file), for a reader of the toolkit that shows the drawing.
    static LoadFailure safeDocument(ImageFile& file, std::string& document);
};

} // namespace ovrin::platform
