#include "platform/imaging/detail/WebpDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ExifOrientation.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#include <webp/decode.h>
#include <webp/demux.h>

namespace ovrin::platform {

namespace {

// Bytes handed to the incremental decoder at a time. Small enough that the
// rows each slice completes are reduced while still in the cache, and that a
// stop is noticed between slices.
constexpr std::size_t kSlice = 32 * 1024;

// The orientation in the file's EXIF chunk, which follows the picture data.
int orientationOf(const std::vector<std::uint8_t>& data)
{
    const auto le32 = [&data](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 |
               std::uint32_t(data[at + 2]) << 16 | std::uint32_t(data[at + 3]) << 24;
    };
    // Chunks follow "RIFF", the size and "WEBP", each padded to an even size.
    for (std::size_t at = 12; at + 8 <= data.size();) {
        const std::size_t length = std::min<std::size_t>(le32(at + 4), data.size() - at - 8);
        if (std::memcmp(&data[at], "EXIF", 4) == 0)
            return exifOrientation(data.data() + at + 8, length, ExifMarker::Optional);
        at += 8 + length + (length & 1);
    }
    return 1;
}

// The size libwebp decodes a large picture to: its rescaler averages areas as
// the reducer does, so the picture needs no buffer of its own size. The
// rescaler rounds each point and upsamples chroma plainly, which can tip a
// level of the finer grid and with it bits of the likeness hash, so the
// shorter axis keeps at least kLeast points (kOversample for every cell of
// the finer grid where that is more): at 2048 a 6000 x 8000 photo's likeness
// to its whole decode fell to 97, at 4096 it stays 100.
constexpr std::int64_t kLeast = 4096;
constexpr std::int64_t kOversample = 8;

// The decoded picture, which libwebp writes row by row where each row lies
// in the whole. A large one is mapped apart, so that the pages of the rows
// already reduced go back to the system while the rest is decoded: a
// lossless picture, which libwebp holds whole beside it, would otherwise
// cost its size twice over.
class Pixels {
public:
    explicit Pixels(std::size_t bytes) : m_bytes(bytes)
    {
        if (bytes < kMapped) {
            m_owned.reset(new std::uint8_t[bytes]); // left uninitialised: every byte is written
            m_data = m_owned.get();
            return;
        }
        void* mapped =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        m_data = static_cast<std::uint8_t*>(mapped);
    }
    ~Pixels()
    {
        if (!m_owned)
            ::munmap(m_data, m_bytes);
    }
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;

    std::uint8_t* data() const { return m_data; }
    std::size_t size() const { return m_bytes; }
    // Gives back the whole pages before `end`, which are not written again.
    void release(std::size_t end)
    {
        if (m_owned)
            return;
        static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t upTo = std::min(end, m_bytes) / page * page;
        if (upTo > m_released) {
            ::madvise(m_data + m_released, upTo - m_released, MADV_DONTNEED);
            m_released = upTo;
        }
    }

private:
    static constexpr std::size_t kMapped = 16 * 1024 * 1024;
    std::size_t m_bytes;
    std::unique_ptr<std::uint8_t[]> m_owned;
    std::uint8_t* m_data = nullptr;
    std::size_t m_released = 0;
};

struct Scaled {
    int width;
    int height;
};

Scaled scaledSize(int width, int height, Reduction side, int fineSide)
{
    const std::int64_t least = std::max(kLeast, kOversample * std::max(side.side, fineSide));
    const std::int64_t shorter = std::min(width, height);
    if (shorter <= least)
        return {width, height};
    const auto along = [&](std::int64_t length) {
        return static_cast<int>(
            std::max<std::int64_t>(1, (length * least + shorter / 2) / shorter));
    };
    return {along(width), along(height)};
}

void scaleTo(WebPDecoderConfig& config, Scaled size, int width, int height)
{
    if (size.width == width && size.height == height)
        return;
    config.options.use_scaling = 1;
    config.options.scaled_width = size.width;
    config.options.scaled_height = size.height;
}

// A file cut short gives the rows that came, the rest black, as long as one
// row came.
LoadFailure decodeStill(ImageFile& file, const std::vector<std::uint8_t>& data, bool alpha,
                        int width, int height, Scaled size, Pixels& pixels, AreaReducer& reducer)
{
    const int channels = alpha ? 4 : 3;
    const std::size_t stride =
        static_cast<std::size_t>(size.width) * static_cast<std::size_t>(channels);
    WebPDecoderConfig config;
    if (WebPInitDecoderConfig(&config) == 0)
        return LoadFailure::NotAnImage;
    scaleTo(config, size, width, height);
    config.output.colorspace = alpha ? MODE_RGBA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels.data();
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size = pixels.size();
    config.output.width = size.width;
    config.output.height = size.height;
    WebPIDecoder* decoder = WebPIDecode(nullptr, 0, &config);
    if (decoder == nullptr)
        return LoadFailure::TooLarge;
    LoadFailure why = LoadFailure::NotAnImage;
    int reduced = 0;
    VP8StatusCode status = VP8_STATUS_NOT_ENOUGH_DATA;
    for (std::size_t given = 0; given < data.size();) {
        if (!file.proceeding()) {
            why = LoadFailure::Stopped;
            break;
        }
        given = std::min(data.size(), given + kSlice);
        status = WebPIUpdate(decoder, data.data(), given);
        if (status != VP8_STATUS_OK && status != VP8_STATUS_SUSPENDED)
            break;
        int ready = 0;
        if (WebPIDecGetRGB(decoder, &ready, nullptr, nullptr, nullptr) != nullptr) {
            for (; reduced < std::min(ready, size.height); ++reduced) {
                const std::uint8_t* row =
                    pixels.data() + static_cast<std::size_t>(reduced) * stride;
                if (alpha)
                    reducer.addRgbaRow(row);
                else
                    reducer.addRgbRow(row);
            }
            pixels.release(static_cast<std::size_t>(reduced) * stride);
        }
        if (status == VP8_STATUS_OK) {
            why = reduced == size.height ? LoadFailure::None : LoadFailure::NotAnImage;
            break;
        }
    }
    if (status == VP8_STATUS_SUSPENDED && reduced > 0 && file.proceeding())
        why = LoadFailure::None;
    WebPIDelete(decoder);
    return why;
}

// The first frame of an animation, placed on its canvas; what it does not
// cover is transparent. The frame is scaled as the canvas is, its edges
// rounded to the canvas's points.
LoadFailure decodeFirstFrame(const std::vector<std::uint8_t>& data, int width, int height,
                             Scaled size, std::uint8_t* pixels, std::size_t bytes)
{
    const WebPData whole{data.data(), data.size()};
    WebPDemuxer* demuxer = WebPDemux(&whole);
    if (demuxer == nullptr)
        return LoadFailure::NotAnImage;
    LoadFailure why = LoadFailure::NotAnImage;
    WebPIterator frame;
    if (WebPDemuxGetFrame(demuxer, 1, &frame) != 0) {
        std::fill_n(pixels, bytes, std::uint8_t{0});
        const auto across = [&](std::int64_t x) {
            return static_cast<int>((x * size.width + width / 2) / width);
        };
        const auto down = [&](std::int64_t y) {
            return static_cast<int>((y * size.height + height / 2) / height);
        };
        const int left = across(frame.x_offset);
        const int top = down(frame.y_offset);
        const int frameWidth = across(std::int64_t{frame.x_offset} + frame.width) - left;
        const int frameHeight = down(std::int64_t{frame.y_offset} + frame.height) - top;
        WebPDecoderConfig config;
        if (frame.x_offset >= 0 && frame.y_offset >= 0 && frame.width > 0 && frame.height > 0 &&
            frame.x_offset + frame.width <= width && frame.y_offset + frame.height <= height &&
            frameWidth > 0 && frameHeight > 0 && WebPInitDecoderConfig(&config) != 0) {
            const std::size_t stride = static_cast<std::size_t>(size.width) * 4;
            const std::size_t skip =
                static_cast<std::size_t>(top) * stride + static_cast<std::size_t>(left) * 4;
            scaleTo(config, {frameWidth, frameHeight}, frame.width, frame.height);
            config.output.colorspace = MODE_RGBA;
            config.output.is_external_memory = 1;
            config.output.u.RGBA.rgba = pixels + skip;
            config.output.u.RGBA.stride = static_cast<int>(stride);
            config.output.u.RGBA.size = bytes - skip;
            if (WebPDecode(frame.fragment.bytes, frame.fragment.size, &config) == VP8_STATUS_OK)
                why = LoadFailure::None;
            WebPFreeDecBuffer(&config.output);
        }
        WebPDemuxReleaseIterator(&frame);
    }
    WebPDemuxDelete(demuxer);
    return why;
}

} // namespace

LoadResult WebpDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    // The header, read further only when chunks before the picture need it.
    WebPBitstreamFeatures features;
    std::vector<std::uint8_t> head;
    VP8StatusCode status = VP8_STATUS_NOT_ENOUGH_DATA;
    for (std::int64_t want = 4096; status == VP8_STATUS_NOT_ENOUGH_DATA; want *= 16) {
        head.resize(static_cast<std::size_t>(std::min(file.size(), want)));
        if (file.readAt(0, head.data(), head.size()) != static_cast<std::int64_t>(head.size()))
            return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        status = WebPGetFeatures(head.data(), head.size(), &features);
        if (want >= file.size())
            break;
    }
    if (status != VP8_STATUS_OK)
        return {std::nullopt, LoadFailure::NotAnImage};
    head = {};
    const int width = features.width;
    const int height = features.height;
    if (width < 1 || height < 1)
        return {std::nullopt, LoadFailure::NotAnImage};
    const bool animated = features.has_animation != 0;
    const bool alpha = features.has_alpha != 0 || animated;
    const std::int64_t points = std::int64_t{width} * height;
    if (points > kMaxPixels)
        return {std::nullopt, LoadFailure::TooLarge};

    // The file, the picture at its decoded size, and libwebp's own stores: a
    // lossless picture is decoded as 32-bit pixels whole first, a lossy one
    // keeps a plane of alpha (when it has alpha), a few rows of YUV and the
    // rescaler's rows.
    const bool lossy = features.format == 1;
    // A lossless picture is decoded whole: libwebp holds all its points at 4
    // bytes each whatever the output's size, so scaling would save less than
    // half its memory, and the rescaler's rounding, a level in a few cells of
    // the finer grid, took the likeness of a 3000 x 4000 photo to 93.
    const Scaled size = lossy ? scaledSize(width, height, side, fineSide) : Scaled{width, height};
    const std::int64_t decoded = std::int64_t{size.width} * size.height;
    const std::int64_t need = file.size() + decoded * (alpha ? 4 : 3) +
                              (lossy ? (alpha ? points : 0) : points * 4) +
                              std::int64_t{width} * 64 + 2 * 1024 * 1024 +
                              AreaReducer::memoryNeed(size.width, side, fineSide);
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return {std::nullopt, why};

    try {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(file.size()));
        if (file.readAt(0, data.data(), data.size()) != static_cast<std::int64_t>(data.size()))
            return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        Pixels pixels(static_cast<std::size_t>(decoded) * (alpha ? 4 : 3));
        AreaReducer reducer(size.width, size.height, side);
        reducer.alsoReduceTo(fineSide);
        LoadFailure why = LoadFailure::None;
        if (!animated) {
            why = decodeStill(file, data, alpha, width, height, size, pixels, reducer);
        } else {
            why = decodeFirstFrame(data, width, height, size, pixels.data(), pixels.size());
            for (int y = 0; why == LoadFailure::None && y < size.height; ++y)
                reducer.addRgbaRow(pixels.data() +
                                   static_cast<std::size_t>(y) * std::size_t(size.width) * 4);
        }
        if (why != LoadFailure::None)
            return {std::nullopt, file.failureOr(why)};
        const int orientation = orientationOf(data);
        LoadResult result = reducer.result(orientation);
        // the size as seen is the picture's, not the decoded one's
        const bool across = orientation >= 5 && orientation <= 8;
        result.width = across ? height : width;
        result.height = across ? width : height;
        return result;
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
}

} // namespace ovrin::platform
