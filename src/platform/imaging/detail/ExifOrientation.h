#pragma once

#include <cstddef>
#include <cstdint>

namespace ovrin::platform {

// How a block of EXIF data starts. JPEG's APP1 segment always has the
// "Exif\0\0" marker before the TIFF header (other APP1 segments hold other
// things); PNG's eXIf and WebP's EXIF chunks are meant to start with the TIFF
// header itself, but some writers put the marker there too.
enum class ExifMarker { Required, Optional };

// The orientation in an EXIF block (1 to 8), 1 when there is none or it is
// not readable. Reads IFD0 and the IFDs chained after it, the first
// orientation tag found counting, as the toolkit's reader did. Every offset
// is checked against `size`, so any bytes at all are safe to give.
int exifOrientation(const std::uint8_t* data, std::size_t size, ExifMarker marker);

} // namespace ovrin::platform
