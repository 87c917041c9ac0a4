#include "platform/imaging/detail/TiffDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <mutex>
#include <new>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace ovrin::platform {

namespace {

// Strips up to this size are read whole (one copy for uncompressed data);
// larger ones line by line, which costs no time and keeps only the
// compressed strip (or, past 10 MB, a read-ahead window of it) in memory.
constexpr std::int64_t kWholeStripLimit = 1024 * 1024;

struct TiffState {
    ImageFile* file = nullptr;
    bool cut = false; // the file ended before libtiff had what it asked for
};

extern "C" int tiffOnMessage(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing more is said about it
}

extern "C" tmsize_t tiffReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* state = static_cast<TiffState*>(handle);
    if (size < 0)
        return -1;
    const std::int64_t got = state->file->read(buffer, static_cast<std::size_t>(size));
    if (got >= 0 && got < size)
        state->cut = true;
    return static_cast<tmsize_t>(got);
}

extern "C" tmsize_t tiffWriteProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

extern "C" toff_t tiffSeekProc(thandle_t handle, toff_t offset, int whence)
{
    ImageFile& file = *static_cast<TiffState*>(handle)->file;
    const auto signedOffset = static_cast<std::int64_t>(offset);
    std::int64_t target = signedOffset;
    if (whence == SEEK_CUR)
        target = file.position() + signedOffset;
    else if (whence == SEEK_END)
        target = file.size() + signedOffset;
    if (!file.seek(target))
        return static_cast<toff_t>(-1);
    return static_cast<toff_t>(target);
}

extern "C" int tiffCloseProc(thandle_t)
{
    return 0;
}

extern "C" toff_t tiffSizeProc(thandle_t handle)
{
    return static_cast<toff_t>(static_cast<TiffState*>(handle)->file->size());
}

extern "C" int tiffMapProc(thandle_t, void**, toff_t*)
{
    return 0; // never mapped: a file cut while mapped would end the process
}

extern "C" void tiffUnmapProc(thandle_t, void*, toff_t) {}

// How the first four samples of an RGB point with extra samples are laid on
// white, following what the toolkit's reader made of them.
enum class Alpha {
    None,         // no alpha at all, or fewer than four samples
    Associated,   // premultiplied in the file
    Unassociated, // straight in the file; libtiff premultiplies it
    Unspecified,  // taken as straight alpha
};

struct Layout {
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    Alpha alpha = Alpha::None;
};

Layout layoutOf(TIFF* tiff)
{
    Layout layout;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &layout.photometric) == 0)
        layout.photometric = 0xffff;
    std::uint16_t count = 0;
    std::uint16_t* kinds = nullptr;
    if (layout.samples >= 4 && TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 0 &&
        count > 0 && kinds != nullptr) {
        layout.alpha = kinds[0] == EXTRASAMPLE_ASSOCALPHA   ? Alpha::Associated
                       : kinds[0] == EXTRASAMPLE_UNASSALPHA ? Alpha::Unassociated
                                                            : Alpha::Unspecified;
    }
    return layout;
}

// The common layouts read without libtiff's RGBA conversion.
bool readsDirectly(TIFF* tiff, const Layout& layout)
{
    if (TIFFIsTiled(tiff) || layout.bits != 8)
        return false;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if ((planar != PLANARCONFIG_CONTIG && layout.samples != 1) ||
        (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID) ||
        compression == COMPRESSION_OJPEG || compression == COMPRESSION_JPEG)
        return false;
    switch (layout.photometric) {
    case PHOTOMETRIC_RGB:
        return layout.samples >= 3;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_PALETTE:
        return layout.samples == 1;
    default:
        return false;
    }
}

std::int64_t largestChunk(TIFF* tiff, std::int64_t fileSize)
{
    std::int64_t largest = 0;
    const std::uint32_t count =
        TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (std::uint32_t i = 0; i < count && largest < fileSize; ++i)
        largest = std::max(largest, static_cast<std::int64_t>(TIFFGetStrileByteCount(tiff, i)));
    return std::min(largest, fileSize);
}

void addDirectRow(AreaReducer& reducer, const Layout& layout, const std::uint8_t* row,
                  const std::array<std::uint8_t, 256 * 3>& palette)
{
    if (layout.photometric != PHOTOMETRIC_RGB) {
        if (layout.photometric == PHOTOMETRIC_MINISBLACK)
            reducer.addGrayRow(row);
        else
            reducer.addIndexedRow(row, palette.data());
        return;
    }
    if (layout.samples == 3) {
        reducer.addRgbRow(row);
        return;
    }
    std::uint8_t* out = reducer.scratch();
    const std::size_t step = layout.samples;
    for (int x = 0; x < reducer.width(); ++x, row += step, out += 3) {
        const unsigned a = row[3];
        for (int c = 0; c < 3; ++c) {
            switch (layout.alpha) {
            case Alpha::None:
                out[c] = row[c];
                break;
            case Alpha::Associated:
                out[c] = AreaReducer::premultipliedOnWhite(row[c], a);
                break;
            case Alpha::Unassociated:
                out[c] = AreaReducer::premultipliedOnWhite((row[c] * a + 127) / 255, a);
                break;
            case Alpha::Unspecified:
                out[c] = AreaReducer::onWhite(row[c], a);
                break;
            }
        }
    }
    reducer.addRgbRow(reducer.scratch());
}

// A read that failed after some rows, because the file ended before the
// strip or tile it needed: the rows that came are kept, the rest black.
LoadFailure failedRead(const TiffState& state, const AreaReducer& reducer)
{
    return state.cut && reducer.rowsAdded() > 0 ? LoadFailure::None : LoadFailure::NotAnImage;
}

LoadFailure readDirectly(TIFF* tiff, TiffState& state, const Layout& layout, Reduction side,
                         int fineSide, std::optional<AreaReducer>& reducer,
                         DecodeBudget::Reservation& reservation)
{
    ImageFile& file = *state.file;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, height);
    const auto lineBytes = static_cast<std::int64_t>(TIFFScanlineSize64(tiff));
    if (lineBytes < std::int64_t{width} * layout.samples)
        return LoadFailure::NotAnImage;
    const std::int64_t stripBytes = lineBytes * rowsPerStrip;
    const bool wholeStrips = stripBytes <= kWholeStripLimit;

    std::array<std::uint8_t, 256 * 3> palette{};
    if (layout.photometric == PHOTOMETRIC_MINISWHITE) {
        for (std::size_t i = 0; i < 256; ++i)
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = std::uint8_t(255 - i);
    } else if (layout.photometric == PHOTOMETRIC_PALETTE) {
        std::uint16_t* red = nullptr;
        std::uint16_t* green = nullptr;
        std::uint16_t* blue = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue) == 0 || red == nullptr ||
            green == nullptr || blue == nullptr)
            return LoadFailure::NotAnImage;
        for (std::size_t i = 0; i < 256; ++i) {
            palette[i * 3] = std::uint8_t(red[i] >> 8);
            palette[i * 3 + 1] = std::uint8_t(green[i] >> 8);
            palette[i * 3 + 2] = std::uint8_t(blue[i] >> 8);
        }
    }

    const std::int64_t need = (wholeStrips ? stripBytes : lineBytes * 2) +
                              largestChunk(tiff, file.size()) + 2 * 1024 * 1024 +
                              AreaReducer::memoryNeed(width, side, fineSide);
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return why;

    reducer.emplace(int(width), int(height), side);
    reducer->alsoReduceTo(fineSide);
    std::vector<std::uint8_t> buffer(
        static_cast<std::size_t>(wholeStrips ? stripBytes : lineBytes));
    for (std::uint32_t y = 0; y < height;) {
        if (!file.proceeding())
            return LoadFailure::Stopped;
        state.cut = false;
        if (wholeStrips) {
            const std::uint32_t rows = std::min(rowsPerStrip, height - y);
            const tmsize_t want = static_cast<tmsize_t>(lineBytes * rows);
            if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, y, 0), buffer.data(), want) <
                want)
                return failedRead(state, *reducer);
            for (std::uint32_t r = 0; r < rows; ++r)
                addDirectRow(*reducer, layout, buffer.data() + std::int64_t{r} * lineBytes,
                             palette);
            y += rows;
        } else {
            if (TIFFReadScanline(tiff, buffer.data(), y, 0) < 0)
                return failedRead(state, *reducer);
            addDirectRow(*reducer, layout, buffer.data(), palette);
            ++y;
        }
    }
    return LoadFailure::None;
}

LoadFailure readAsRgba(TIFF* tiff, TiffState& state, const Layout& layout, Reduction side,
                       int fineSide, std::optional<AreaReducer>& reducer,
                       DecodeBudget::Reservation& reservation)
{
    ImageFile& file = *state.file;
    char message[1024] = {};
    if (TIFFRGBAImageOK(tiff, message) == 0)
        return LoadFailure::NotAnImage;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    std::uint32_t band = height;
    if (TIFFIsTiled(tiff))
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &band);
    else
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &band);
    band = std::clamp<std::uint32_t>(band, 1, height);

    const auto chunk =
        static_cast<std::int64_t>(TIFFIsTiled(tiff) ? TIFFTileSize64(tiff) : TIFFStripSize64(tiff));
    const std::int64_t need = std::int64_t{width} * band * 4 + 2 * chunk +
                              std::int64_t{width} * 16 + largestChunk(tiff, file.size()) +
                              2 * 1024 * 1024 + AreaReducer::memoryNeed(width, side, fineSide);
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return why;

    TIFFRGBAImage image{};
    if (TIFFRGBAImageBegin(&image, tiff, 1, message) == 0)
        return LoadFailure::NotAnImage;
    // Rows in the order they are stored; the orientation is applied to the
    // raster at the end, like every other format's.
    image.req_orientation = ORIENTATION_TOPLEFT;
    image.orientation = ORIENTATION_TOPLEFT;
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * band);
    reducer.emplace(int(width), int(height), side);
    reducer->alsoReduceTo(fineSide);
    LoadFailure why = LoadFailure::None;
    for (std::uint32_t y = 0; y < height && why == LoadFailure::None; y += band) {
        const std::uint32_t rows = std::min(band, height - y);
        image.row_offset = int(y);
        image.col_offset = 0;
        state.cut = false;
        if (!file.proceeding()) {
            why = LoadFailure::Stopped;
        } else if (TIFFRGBAImageGet(&image, raster.data(), width, rows) == 0) {
            why = failedRead(state, *reducer);
            break;
        } else {
            for (std::uint32_t r = 0; r < rows; ++r) {
                const auto* row =
                    reinterpret_cast<const std::uint8_t*>(raster.data() + std::size_t{r} * width);
                if (layout.samples < 4)
                    reducer->addRgbxRow(row); // the toolkit read these as opaque
                else if (layout.alpha == Alpha::Unspecified)
                    reducer->addRgbaRow(row);
                else
                    reducer->addPremultipliedRgbaRow(row);
            }
        }
    }
    TIFFRGBAImageEnd(&image);
    return why;
}

} // namespace

LoadResult TiffDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    // Anything libtiff says without naming the file in hand would go to
    // stderr; nothing of it is for the person running a search.
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });

    TiffState state;
    state.file = &file;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr)
        return {std::nullopt, LoadFailure::TooLarge};
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(DecodeBudget::capacity()));
    TIFFOpenOptionsSetErrorHandlerExtR(options, tiffOnMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, tiffOnMessage, nullptr);
    TIFF* tiff =
        TIFFClientOpenExt("picture", "rm", &state, tiffReadProc, tiffWriteProc, tiffSeekProc,
                          tiffCloseProc, tiffSizeProc, tiffMapProc, tiffUnmapProc, options);
    TIFFOpenOptionsFree(options);
    if (tiff == nullptr)
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};

    std::optional<AreaReducer> reducer;
    DecodeBudget::Reservation reservation;
    LoadFailure why = LoadFailure::NotAnImage;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    try {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        if (TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) != 0 &&
            TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) != 0 && width > 0 && height > 0) {
            TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
            const Layout layout = layoutOf(tiff);
            if (std::int64_t{width} * height > kMaxPixels)
                why = LoadFailure::TooLarge;
            else if (readsDirectly(tiff, layout))
                why = readDirectly(tiff, state, layout, side, fineSide, reducer, reservation);
            else
                why = readAsRgba(tiff, state, layout, side, fineSide, reducer, reservation);
        }
    } catch (const std::bad_alloc&) {
        why = LoadFailure::OutOfMemory;
    }
    TIFFClose(tiff);
    if (why != LoadFailure::None)
        return {std::nullopt, file.failureOr(why)};
    return reducer->result(orientation);
}

} // namespace ovrin::platform
