#include "platform/imaging/detail/ExifOrientation.h"

#include <algorithm>
#include <cstring>

namespace ovrin::platform {

int exifOrientation(const std::uint8_t* data, std::size_t size, ExifMarker marker)
{
    constexpr std::size_t header = 6;
    if (size >= header && std::memcmp(data, "Exif\0\0", header) == 0) {
        data += header;
        size -= header;
    } else if (marker == ExifMarker::Required) {
        return 1;
    }
    if (size < 8)
        return 1;
    const std::uint8_t* tiff = data;
    const std::size_t length = size;
    bool little = false;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (!(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    const auto u16 = [&](std::size_t at) -> unsigned {
        return little ? unsigned(tiff[at]) | unsigned(tiff[at + 1]) << 8
                      : unsigned(tiff[at]) << 8 | unsigned(tiff[at + 1]);
    };
    const auto u32 = [&](std::size_t at) -> std::uint32_t {
        return little ? std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16
                      : std::uint32_t(u16(at)) << 16 | std::uint32_t(u16(at + 2));
    };
    if (u16(2) != 0x2a)
        return 1;
    std::size_t offset = u32(4);
    std::size_t previous = 0;
    for (int ifd = 0; ifd < 10; ++ifd) {
        // Never backwards, never outside the block.
        if (offset < std::max<std::size_t>(previous, 8) || offset + 2 > length)
            return 1;
        const unsigned entries = u16(offset);
        std::size_t at = offset + 2;
        for (unsigned e = 0; e < entries; ++e, at += 12) {
            if (at + 12 > length)
                return 1;
            if (u16(at) == 0x0112) {
                const unsigned value = u16(at + 8);
                if (u16(at + 2) != 3 || u32(at + 4) != 1 || value < 1 || value > 8)
                    return 1;
                return static_cast<int>(value);
            }
        }
        if (at + 4 > length)
            return 1;
        previous = at;
        offset = u32(at);
        if (offset == 0)
            return 1;
    }
    return 1;
}

} // namespace ovrin::platform
