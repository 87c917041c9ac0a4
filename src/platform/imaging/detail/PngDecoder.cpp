#include "platform/imaging/detail/PngDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ExifOrientation.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <png.h>
#include <vector>

namespace ovrin::platform {

namespace {

enum class Layout { Indexed, Rgb8, Rgba8, Gray16, Rgb16, Rgba16 };

// Compressed data libpng asks for at a time. A file cut inside it loses
// what came of it, so it is kept to a few rows' worth.
constexpr png_size_t kIdatRead = 1024;

// Chunks walked in search of the eXIf chunk before the picture data.
constexpr int kMaxChunksBeforeData = 10000;

// What a longjmp must not lose: set before the rows are read.
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ImageFile* file = nullptr;
    Layout layout = Layout::Rgb8;
    std::array<std::uint8_t, 256 * 3> palette{};
    bool cut = false; // the file ended before libpng had what it asked for
    bool interlaced = false;
    int passesDone = 0;
    std::int64_t height = 0;
};

extern "C" void pngOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

extern "C" void pngOnWarning(png_structp, png_const_charp) {}

extern "C" void pngReadData(png_structp png, png_bytep data, size_t length)
{
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    const std::int64_t got = state->file->read(data, length);
    if (got != static_cast<std::int64_t>(length)) {
        state->cut = got >= 0;
        png_error(png, "read");
    }
}

// A 16-bit level to 8 bits, rounded as the toolkit rounds it.
inline unsigned to8(unsigned level)
{
    const unsigned x = level + 0x80u;
    return (x - (x >> 8)) >> 8;
}

inline unsigned at16(const png_byte* p)
{
    return unsigned(p[0]) << 8 | unsigned(p[1]);
}

void addRow(PngState& state, AreaReducer& reducer, const png_byte* row)
{
    const int width = reducer.width();
    std::uint8_t* out = reducer.scratch();
    switch (state.layout) {
    case Layout::Indexed:
        reducer.addIndexedRow(row, state.palette.data());
        return;
    case Layout::Rgb8:
        reducer.addRgbRow(row);
        return;
    case Layout::Rgba8:
        reducer.addRgbaRow(row);
        return;
    case Layout::Gray16:
        for (int x = 0; x < width; ++x, row += 2, out += 3)
            out[0] = out[1] = out[2] = static_cast<std::uint8_t>(to8(at16(row)));
        break;
    case Layout::Rgb16:
        for (int x = 0; x < width; ++x, row += 6, out += 3) {
            out[0] = static_cast<std::uint8_t>(to8(at16(row)));
            out[1] = static_cast<std::uint8_t>(to8(at16(row + 2)));
            out[2] = static_cast<std::uint8_t>(to8(at16(row + 4)));
        }
        break;
    case Layout::Rgba16:
        // premultiplied in 16 bits, then brought to 8, then laid on white
        for (int x = 0; x < width; ++x, row += 8, out += 3) {
            const std::uint64_t alpha = at16(row + 6);
            const unsigned alpha8 = to8(unsigned(alpha));
            for (int c = 0; c < 3; ++c) {
                const std::uint64_t t = at16(row + 2 * c) * alpha;
                const auto premultiplied = static_cast<unsigned>((t + (t >> 16) + 0x8000u) >> 16);
                out[c] = AreaReducer::premultipliedOnWhite(to8(premultiplied), alpha8);
            }
        }
        break;
    }
    reducer.addRgbRow(reducer.scratch());
}

std::uint32_t be32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

// The orientation of an eXIf chunk among the chunks before the picture data,
// found by walking their headers; libpng itself is told to pass over it.
// Read through the file's buffer, which libpng then reads from again: a
// small file costs no extra read.
int orientationOf(ImageFile& file)
{
    int orientation = 1;
    std::array<std::uint8_t, 8> head{};
    // from the start, so that the buffer holds what libpng reads first
    const bool signature = file.read(head.data(), head.size()) == std::int64_t{head.size()};
    std::int64_t at = 8;
    for (int chunk = 0; signature && chunk < kMaxChunksBeforeData; ++chunk) {
        if (!file.seek(at) || file.read(head.data(), head.size()) != std::int64_t{head.size()})
            break;
        const std::uint32_t length = be32(head.data());
        if (length > 0x7fffffffu || std::memcmp(&head[4], "IDAT", 4) == 0 ||
            std::memcmp(&head[4], "IEND", 4) == 0)
            break;
        if (std::memcmp(&head[4], "eXIf", 4) == 0) {
            // IFD0 and its orientation come first; an EXIF block larger than
            // JPEG's limit holds nothing more of use here.
            std::vector<std::uint8_t> exif(std::min<std::size_t>(length, 65536));
            const std::int64_t got = file.read(exif.data(), exif.size());
            if (got > 0)
                orientation = exifOrientation(exif.data(), static_cast<std::size_t>(got),
                                              ExifMarker::Optional);
            break;
        }
        at += std::int64_t{length} + 12;
    }
    file.seek(0);
    return orientation;
}

// Chooses libpng's transformations and this decoder's row layout.
void setUpLayout(PngState& state)
{
    png_structp png = state.png;
    png_infop info = state.info;
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    const bool transparentColour = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    auto& palette = state.palette;
    palette.fill(255); // an index past the palette shows as transparent: white

    if (type == PNG_COLOR_TYPE_PALETTE) {
        if (depth < 8)
            png_set_packing(png);
        png_colorp colours = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &colours, &count);
        png_bytep alphas = nullptr;
        int alphaCount = 0;
        png_color_16p unused = nullptr;
        if (transparentColour)
            png_get_tRNS(png, info, &alphas, &alphaCount, &unused);
        for (int i = 0; i < count && i < 256; ++i) {
            const unsigned alpha = alphas != nullptr && i < alphaCount ? alphas[i] : 255u;
            const std::size_t at = static_cast<std::size_t>(i) * 3;
            palette[at] = AreaReducer::onWhite(colours[i].red, alpha);
            palette[at + 1] = AreaReducer::onWhite(colours[i].green, alpha);
            palette[at + 2] = AreaReducer::onWhite(colours[i].blue, alpha);
        }
        state.layout = Layout::Indexed;
    } else if (type == PNG_COLOR_TYPE_GRAY && depth <= 8) {
        if (depth < 8)
            png_set_packing(png);
        const int levels = 1 << depth;
        for (int i = 0; i < levels; ++i) {
            const auto grey = static_cast<std::uint8_t>(i * 255 / (levels - 1));
            palette[static_cast<std::size_t>(i) * 3] = grey;
            palette[static_cast<std::size_t>(i) * 3 + 1] = grey;
            palette[static_cast<std::size_t>(i) * 3 + 2] = grey;
        }
        png_color_16p key = nullptr;
        if (transparentColour && png_get_tRNS(png, info, nullptr, nullptr, &key) != 0 &&
            key != nullptr && key->gray < levels) {
            const std::size_t at = std::size_t{key->gray} * 3;
            palette[at] = palette[at + 1] = palette[at + 2] = 255;
        }
        state.layout = Layout::Indexed;
    } else if (depth == 16) {
        if (type == PNG_COLOR_TYPE_GRAY && !transparentColour) {
            state.layout = Layout::Gray16;
        } else {
            if ((type & PNG_COLOR_MASK_COLOR) == 0)
                png_set_gray_to_rgb(png);
            if (transparentColour)
                png_set_tRNS_to_alpha(png);
            state.layout = (type & PNG_COLOR_MASK_ALPHA) != 0 || transparentColour ? Layout::Rgba16
                                                                                   : Layout::Rgb16;
        }
    } else {
        if ((type & PNG_COLOR_MASK_COLOR) == 0)
            png_set_gray_to_rgb(png);
        if (transparentColour)
            png_set_tRNS_to_alpha(png);
        state.layout =
            (type & PNG_COLOR_MASK_ALPHA) != 0 || transparentColour ? Layout::Rgba8 : Layout::Rgb8;
    }
}

std::size_t bytesPerPoint(Layout layout)
{
    switch (layout) {
    case Layout::Indexed:
        return 1;
    case Layout::Rgb8:
        return 3;
    case Layout::Rgba8:
        return 4;
    case Layout::Gray16:
        return 2;
    case Layout::Rgb16:
        return 6;
    case Layout::Rgba16:
        return 8;
    }
    return 8;
}

// What arrived of an interlaced picture cut short: the passes that came
// whole, each of their points standing for the block it leads, as a
// picture being loaded is shown.
void addCompletedPasses(PngState& state, AreaReducer& reducer, std::vector<png_bytep>& rows)
{
    // Every `across`-th point of every `down`-th row is known after a pass.
    static constexpr int kAcross[] = {8, 4, 4, 2, 2, 1, 1};
    static constexpr int kDown[] = {8, 8, 4, 4, 2, 2, 1};
    const int pass = std::min(state.passesDone, 7) - 1;
    const std::size_t point = bytesPerPoint(state.layout);
    const auto across = static_cast<std::size_t>(kAcross[pass]);
    const auto width = static_cast<std::size_t>(reducer.width());
    for (std::int64_t y = 0; y < state.height; ++y) {
        png_bytep row = rows[static_cast<std::size_t>(y)];
        const png_bytep lead = rows[static_cast<std::size_t>(y - y % kDown[pass])];
        for (std::size_t x = 0; x < width; ++x)
            std::memcpy(row + x * point, lead + (x - x % across) * point, point);
        addRow(state, reducer, row);
    }
}

// Between setjmp and the end of decoding; errors leave by longjmp, so the
// buffers live with the caller.
LoadFailure decodeInto(PngState& state, Reduction side, int fineSide,
                       std::optional<AreaReducer>& reducer, DecodeBudget::Reservation& reservation,
                       std::vector<png_byte>& pixels, std::vector<png_bytep>& rows)
{
    png_structp png = state.png;
    png_infop info = state.info;
    if (setjmp(png_jmpbuf(png)) != 0) {
        // A file cut short shows the rows that came; one damaged otherwise
        // is no picture.
        if (!state.cut || !reducer || state.file->failure() != LoadFailure::None)
            return state.file->failureOr(LoadFailure::NotAnImage);
        if (!state.interlaced)
            return reducer->rowsAdded() > 0 ? LoadFailure::None : LoadFailure::NotAnImage;
        if (state.passesDone == 0)
            return LoadFailure::NotAnImage;
        addCompletedPasses(state, *reducer, rows);
        return LoadFailure::None;
    }

    png_set_read_fn(png, &state, pngReadData);
    png_set_compression_buffer_size(png, kIdatRead);
    // Chunks that do not change the pixels are passed over unread (their
    // checksums still checked): text, colour profiles and the like; the
    // orientation in eXIf was found beforehand.
    static const png_byte unneeded[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0"
                                       "pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unneeded,
                                static_cast<int>(sizeof(unneeded) / 5));
    png_read_info(png, info);

    const std::int64_t width = png_get_image_width(png, info);
    const std::int64_t height = png_get_image_height(png, info);
    if (width < 1 || height < 1)
        return LoadFailure::NotAnImage;
    if (width * height > kMaxPixels)
        return LoadFailure::TooLarge;
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    state.interlaced = interlaced;
    state.height = height;

    setUpLayout(state);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const auto rowBytes = static_cast<std::int64_t>(png_get_rowbytes(png, info));
    if (rowBytes != width * static_cast<std::int64_t>(bytesPerPoint(state.layout)))
        return LoadFailure::NotAnImage;

    // libpng keeps two rows (this one and the one before, for the filters)
    // and its inflate window; an interlaced picture is decoded whole.
    const std::int64_t need = rowBytes * (interlaced ? height + 3 : 4) + 512 * 1024 +
                              AreaReducer::memoryNeed(width, side, fineSide) +
                              (interlaced ? height * std::int64_t{sizeof(png_bytep)} : 0);
    const LoadFailure budget = DecodeBudget::reserve(need, state.file->proceed(), reservation);
    if (budget != LoadFailure::None)
        return budget;

    reducer.emplace(static_cast<int>(width), static_cast<int>(height), side);
    reducer->alsoReduceTo(fineSide);
    if (!interlaced) {
        pixels.resize(static_cast<std::size_t>(rowBytes));
        for (std::int64_t y = 0; y < height; ++y) {
            if (!state.file->proceeding())
                return LoadFailure::Stopped;
            png_read_row(png, pixels.data(), nullptr);
            addRow(state, *reducer, pixels.data());
        }
        return LoadFailure::None;
    }
    pixels.resize(static_cast<std::size_t>(rowBytes * height));
    rows.resize(static_cast<std::size_t>(height));
    for (std::int64_t y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = pixels.data() + y * rowBytes;
    for (int pass = 0; pass < passes; ++pass) {
        for (std::int64_t y = 0; y < height; ++y) {
            if (!state.file->proceeding())
                return LoadFailure::Stopped;
            png_read_row(png, rows[static_cast<std::size_t>(y)], nullptr);
        }
        state.passesDone = pass + 1;
    }
    for (std::int64_t y = 0; y < height; ++y)
        addRow(state, *reducer, rows[static_cast<std::size_t>(y)]);
    return LoadFailure::None;
}

} // namespace

LoadResult PngDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    const int orientation = orientationOf(file);
    auto state = std::make_unique<PngState>();
    state->file = &file;
    state->png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, state.get(), pngOnError, pngOnWarning);
    if (state->png == nullptr)
        return {std::nullopt, LoadFailure::TooLarge};
    state->info = png_create_info_struct(state->png);
    if (state->info == nullptr) {
        png_destroy_read_struct(&state->png, nullptr, nullptr);
        return {std::nullopt, LoadFailure::TooLarge};
    }

    std::optional<AreaReducer> reducer;
    DecodeBudget::Reservation reservation;
    std::vector<png_byte> pixels;
    std::vector<png_bytep> rows;
    LoadFailure why = LoadFailure::None;
    try {
        why = decodeInto(*state, side, fineSide, reducer, reservation, pixels, rows);
    } catch (const std::bad_alloc&) {
        why = LoadFailure::OutOfMemory;
    }
    png_destroy_read_struct(&state->png, &state->info, nullptr);
    if (why != LoadFailure::None)
        return {std::nullopt, why};
    return reducer->result(orientation);
}

} // namespace ovrin::platform
