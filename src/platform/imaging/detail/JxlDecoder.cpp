#include "platform/imaging/detail/JxlDecoder.h"

#include "platform/imaging/detail/ImageFile.h"

#ifdef OVRIN_HAVE_JXL

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <jxl/decode.h>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace {

// libjxl writes a line to stderr for every fault it meets in a file, with no
// way to turn that off or catch it. While a thread decodes, what it writes
// there through the C library's checked printf (all that libjxl calls) is
// dropped; every other thread's, and this one's outside a decode, goes on.
thread_local int t_quietStderr = 0;

template <typename Real>
Real nextDefinition(const char* name)
{
    return reinterpret_cast<Real>(::dlsym(RTLD_NEXT, name));
}

} // namespace

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own names, interposed
extern "C" {
int __vfprintf_chk(FILE* stream, int flag, const char* format, va_list args);
int __fprintf_chk(FILE* stream, int flag, const char* format, ...);
}
// NOLINTEND(bugprone-reserved-identifier)

extern "C" __attribute__((visibility("default"))) int
__vfprintf_chk(FILE* stream, int flag, const char* format, va_list args)
{
    using Real = int (*)(FILE*, int, const char*, va_list);
    static const Real real = nextDefinition<Real>("__vfprintf_chk");
    if (t_quietStderr > 0 && stream == stderr)
        return 0;
    return real != nullptr ? real(stream, flag, format, args) : -1;
}

extern "C" __attribute__((visibility("default"))) int __fprintf_chk(FILE* stream, int flag,
                                                                    const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = __vfprintf_chk(stream, flag, format, args);
    va_end(args);
    return written;
}

namespace ovrin::platform {

namespace {

// Bytes read from the file at a time: a stop is noticed between them, and
// the decoder keeps what it has not used yet, so a slice is all the file it
// holds unless one of its sections is larger.
constexpr std::size_t kSlice = 64 * 1024;
// Rows handed out of order: the decoder renders a frame group by group, so
// the rows of a row of groups (at most 1024 high) arrive together.
constexpr int kBandRows = 1024;

struct DecoderDeleter {
    void operator()(::JxlDecoder* decoder) const { JxlDecoderDestroy(decoder); }
};

class QuietStderr {
public:
    QuietStderr() { ++t_quietStderr; }
    ~QuietStderr() { --t_quietStderr; }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;
};

// Rows as the decoder renders them, in pieces and a row of groups at a time,
// handed to the reducer whole and top to bottom. The decoder renders into
// its own small buffers only when given floats through a callback; for bytes
// or a buffer of ours it would first keep the whole frame in floats.
struct Rows {
    int width = 0;
    int height = 0;
    int channels = 3;
    AreaReducer* reducer = nullptr;
    std::vector<std::unique_ptr<std::uint8_t[]>> band; // kBandRows rows, made as first needed
    // Rows already reduced, for the next ones to take: only the rows of the
    // row of groups being rendered are held, a quarter of the band for the
    // usual groups of 256.
    std::vector<std::unique_ptr<std::uint8_t[]>> spare;
    std::vector<int> filled; // points of each band row given
    int next = 0;            // the first row not reduced yet
    bool broken = false;

    bool complete() const { return next >= height && !broken; }

    static std::uint8_t level(float value)
    {
        if (!(value > 0.0f)) // NaN too
            return 0;
        // NOLINTNEXTLINE(bugprone-incorrect-roundings): positive here, so adding a half rounds
        return value >= 1.0f ? 255 : static_cast<std::uint8_t>(value * 255.0f + 0.5f);
    }

    void take(std::size_t x, std::size_t y, std::size_t count, const float* values)
    {
        if (broken || y < std::size_t(next) || y >= std::size_t(next) + kBandRows ||
            y >= std::size_t(height) || x + count > std::size_t(width)) {
            broken = true;
            return;
        }
        const std::size_t slot = y % kBandRows;
        auto& row = band[slot];
        if (!row && !spare.empty()) {
            row = std::move(spare.back());
            spare.pop_back();
        }
        if (!row) {
            row.reset(new (std::nothrow) std::uint8_t[std::size_t(width) * std::size_t(channels)]);
            if (!row) {
                broken = true;
                return;
            }
        }
        std::uint8_t* out = row.get() + x * std::size_t(channels);
        for (std::size_t i = 0; i < count * std::size_t(channels); ++i)
            out[i] = level(values[i]);
        filled[slot] += int(count);
        while (next < height && filled[std::size_t(next % kBandRows)] == width) {
            const std::size_t done = std::size_t(next % kBandRows);
            if (channels == 4)
                reducer->addRgbaRow(band[done].get());
            else
                reducer->addRgbRow(band[done].get());
            filled[done] = 0;
            spare.push_back(std::move(band[done]));
            ++next;
        }
    }
};

extern "C" void jxlTakeRow(void* opaque, std::size_t x, std::size_t y, std::size_t count,
                           const void* pixels)
{
    static_cast<Rows*>(opaque)->take(x, y, count, static_cast<const float*>(pixels));
}

// Whether the first frame, whose header starts at `offset`, is coded as a
// whole-image grid of integers (lossless and the like), which the decoder
// may keep entire, rather than as 8x8 transforms, which it decodes group by
// group. Unknown counts as the former.
bool wholeImageFrame(ImageFile& file, std::int64_t offset)
{
    std::uint8_t head[12] = {};
    if (file.readAt(offset, head, sizeof head) != std::int64_t(sizeof head))
        return true;
    std::size_t at = 0;
    // A file in boxes may hold its code in parts, each in a box of its own.
    if (std::memcmp(head + 4, "jxlp", 4) == 0)
        at = 12;
    else if (std::memcmp(head + 4, "jxlc", 4) == 0)
        at = 8;
    if (at >= sizeof head && file.readAt(offset + std::int64_t(at), head, 1) != 1)
        return true;
    const std::uint8_t first = at >= sizeof head ? head[0] : head[at];
    // Bit 0: every field its default (transforms); else bits 1-2 the kind
    // of frame and bit 3 its coding, 1 for the integer grid.
    return (first & 1u) == 0 && (first & 8u) != 0;
}

// What libjxl 0.7 holds beside the file and our band, decoding on one thread
// into a float callback, as measured: for transforms under 4 bytes a point
// (the frame's 1/8 image, its quantisation and block fields, a group's
// coefficients); for the integer grid from 1 byte a point up to 28 for three
// channels once it was squeezed for progressive decoding, which the header
// does not tell, so the most is reserved. Frames of an animation are
// blended on a canvas of floats.
std::int64_t libraryNeed(std::int64_t points, int channels, bool wholeImage, bool animated)
{
    std::int64_t need = wholeImage ? points * (8 * channels + 4) : points * 5;
    if (animated)
        need += points * 4 * channels;
    return need;
}

struct Decode {
    ImageFile& file;
    Reduction side;
    int fineSide;
    std::optional<AreaReducer> reducer;
    Rows rows;
    DecodeBudget::Reservation reservation;
    LoadFailure why = LoadFailure::NotAnImage;
    int orientation = 1;
};

// Whether the first frame came whole; else d.why says why not.
bool run(Decode& d)
{
    const std::unique_ptr<::JxlDecoder, DecoderDeleter> decoder(JxlDecoderCreate(nullptr));
    if (!decoder)
        return false;
    ::JxlDecoder* const dec = decoder.get();
    // The frame's 1/8 image, which a lossy file carries before the detail,
    // is not taken for the picture: averaged before the conversion to RGB,
    // its colours lie apart from the picture's where it is textured, enough
    // to move the structure fingerprint (measured: likeness 93 to 96 of 100).
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE;
    // The stored orientation is turned with the raster, so rows come in
    // their stored order; alpha comes straight, as the reducer lays it on
    // white.
    if (JxlDecoderSubscribeEvents(dec, events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetKeepOrientation(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE) != JXL_DEC_SUCCESS)
        return false;

    ImageFile& file = d.file;
    std::vector<std::uint8_t> input(kSlice);
    std::int64_t offset = 0; // of input[0] in the file
    std::size_t held = 0;
    JxlBasicInfo info{};
    JxlPixelFormat format{3, JXL_TYPE_FLOAT, JXL_NATIVE_ENDIAN, 0};
    const auto settle = [&] {
        const std::size_t left = std::min(JxlDecoderReleaseInput(dec), held);
        std::memmove(input.data(), input.data() + (held - left), left);
        offset += std::int64_t(held - left);
        held = left;
    };
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec);
        switch (status) {
        case JXL_DEC_NEED_MORE_INPUT: {
            settle();
            if (!file.proceeding() || offset + std::int64_t(held) >= file.size()) {
                d.why = file.failureOr(LoadFailure::NotAnImage);
                return false;
            }
            if (held == input.size()) // a section larger than what is held
                input.resize(
                    std::size_t(std::min(std::int64_t(input.size()) * 2, file.size() - offset)));
            const std::int64_t got =
                file.readAt(offset + std::int64_t(held), input.data() + held, input.size() - held);
            if (got <= 0) {
                d.why = file.failureOr(LoadFailure::NotAnImage);
                return false;
            }
            held += std::size_t(got);
            // The input is never closed: the decoder tells the end of the
            // frames itself, and a closed input could not be given again.
            JxlDecoderSetInput(dec, input.data(), held);
            break;
        }
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS || info.xsize < 1 ||
                info.ysize < 1)
                return false;
            if (std::int64_t{info.xsize} * info.ysize > kMaxPixels ||
                info.xsize > std::uint32_t{1} << 30 || info.ysize > std::uint32_t{1} << 30) {
                d.why = LoadFailure::TooLarge;
                return false;
            }
            break;
        case JXL_DEC_COLOR_ENCODING: {
            // The first frame starts where the header ended; what it is
            // coded as says what the library will hold.
            settle();
            JxlDecoderSetInput(dec, input.data(), held);
            const std::int64_t width = info.xsize;
            const std::int64_t points = width * info.ysize;
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            const bool wholeImage = info.have_preview != 0 || wholeImageFrame(file, offset);
            const std::int64_t need = file.size() +
                                      libraryNeed(points, int(format.num_channels), wholeImage,
                                                  info.have_animation != 0) +
                                      width * kBandRows * format.num_channels + 4 * 1024 * 1024 +
                                      AreaReducer::memoryNeed(width, d.side, d.fineSide);
            if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), d.reservation);
                why != LoadFailure::None) {
                d.why = why;
                return false;
            }
            d.orientation = int(info.orientation) >= 1 && int(info.orientation) <= 8
                                ? int(info.orientation)
                                : 1;
            d.reducer.emplace(int(info.xsize), int(info.ysize), d.side);
            d.reducer->alsoReduceTo(d.fineSide);
            d.rows.width = int(info.xsize);
            d.rows.height = int(info.ysize);
            d.rows.channels = int(format.num_channels);
            d.rows.reducer = &*d.reducer;
            d.rows.band.resize(kBandRows);
            d.rows.spare.reserve(kBandRows); // never grown inside the decoder's callback
            d.rows.filled.assign(kBandRows, 0);
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (!d.reducer ||
                JxlDecoderSetImageOutCallback(dec, &format, jxlTakeRow, &d.rows) != JXL_DEC_SUCCESS)
                return false;
            break;
        case JXL_DEC_FULL_IMAGE:
            // The first frame; an animation's others are not looked at.
            return d.rows.complete();
        default: // an error, or the end without a frame
            if (!file.proceeding())
                d.why = LoadFailure::Stopped;
            return false;
        }
        if (!file.proceeding()) {
            d.why = LoadFailure::Stopped;
            return false;
        }
    }
}

LoadResult decodeJxl(ImageFile& file, Reduction side, int fineSide)
{
    const QuietStderr quiet;
    Decode d{file, side, fineSide, {}, {}, {}, LoadFailure::NotAnImage, 1};
    try {
        if (run(d))
            return d.reducer->result(d.orientation);
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
    return {std::nullopt, file.failureOr(d.why)};
}

} // namespace

LoadResult JxlDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    return decodeJxl(file, side, fineSide);
}

} // namespace ovrin::platform

#else

namespace ovrin::platform {

LoadResult JxlDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    (void)file;
    (void)side;
    (void)fineSide;
    return {std::nullopt, LoadFailure::NotAnImage};
}

} // namespace ovrin::platform

#endif
