#include "platform/imaging/detail/HeifDecoder.h"

#include "platform/imaging/detail/ImageFile.h"

#ifdef OVRIN_HAVE_HEIF
#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <libheif/heif.h>
#include <memory>
#include <new>
#include <string_view>
#include <vector>
#endif

namespace ovrin::platform {

#ifndef OVRIN_HAVE_HEIF

LoadResult HeifDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    (void)file;
    (void)side;
    (void)fineSide;
    return {std::nullopt, LoadFailure::NotAnImage};
}

#else

namespace {

// Registers the library's decoders once for the process, whichever worker
// comes first; never undone, as decodes may run until exit.
void initialiseOnce()
{
    static const bool initialised = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)initialised;
}

std::uint32_t be32At(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}

// Whether the file type box names a still-image brand the library reads.
// Every ISO media file ("ftyp") comes here, videos too: those are refused
// from their first bytes instead of by a parse of their whole movie box.
bool hasPictureBrand(ImageFile& file)
{
    std::array<std::uint8_t, 128> box{};
    const std::int64_t got = file.readAt(0, box.data(), box.size());
    if (got < 16)
        return false;
    const std::size_t end =
        std::min<std::size_t>(static_cast<std::size_t>(got), be32At(box.data()));
    static constexpr std::array<std::string_view, 7> kBrands = {"heic", "heix", "heim", "heis",
                                                                "mif1", "mif2", "avif"};
    for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) { // the minor version skipped
        const std::string_view brand(reinterpret_cast<const char*>(box.data() + at), 4);
        if (std::find(kBrands.begin(), kBrands.end(), brand) != kBrands.end())
            return true;
    }
    return false;
}

// What the meta box tells of the primary image's decoding cost beyond its
// size: whether the library makes a turned, mirrored or cropped copy of the
// planes, and whether the image is a grid of tiles, which are coded frames
// decoded one at a time into the whole, and how large the largest tile is.
struct Layout {
    bool transforms = true;
    bool grid = false;
    std::int64_t largestTile = 0; // the largest ispe below the primary's
    bool av1 = false;
    // Samples a pixel of the colour planes carries, in halves: 2 for grey,
    // 3 for 4:2:0, 4 for 4:2:2, 6 for 4:4:4 (taken where no codec
    // configuration says).
    int halfSamples = 6;
};

Layout layoutOf(ImageFile& file, std::int64_t pictureArea)
{
    Layout layout;
    std::array<std::uint8_t, 8> header{};
    std::int64_t at = 0;
    std::vector<std::uint8_t> meta;
    for (int box = 0; box < 4 && meta.empty(); ++box) {
        if (file.readAt(at, header.data(), header.size()) != 8)
            return layout;
        const std::uint32_t size = be32At(header.data());
        constexpr std::uint32_t kLargest = 4 << 20;
        if (size < 8 || (std::memcmp(header.data() + 4, "meta", 4) == 0 && size > kLargest))
            return layout;
        if (std::memcmp(header.data() + 4, "meta", 4) == 0) {
            meta.resize(size);
            if (file.readAt(at, meta.data(), meta.size()) != std::int64_t{size})
                return layout;
        }
        at += size;
    }
    if (meta.empty())
        return layout;
    const std::string_view text(reinterpret_cast<const char*>(meta.data()), meta.size());
    layout.transforms = text.find("irot") != std::string_view::npos ||
                        text.find("imir") != std::string_view::npos ||
                        text.find("clap") != std::string_view::npos;
    layout.grid = text.find("grid") != std::string_view::npos;
    // The codec configurations: HEVC's chroma_format_idc in the 17th byte
    // of its record, AV1's monochrome and subsampling bits in the 3rd.
    int configurations = 0;
    for (const std::string_view codec : {std::string_view("hvcC"), std::string_view("av1C")}) {
        for (std::size_t where = text.find(codec); where != std::string_view::npos;
             where = text.find(codec, where + 4)) {
            const bool hevc = codec == "hvcC";
            const std::size_t byte = where + 4 + (hevc ? 16 : 2);
            if (byte >= meta.size())
                break;
            const unsigned bits = meta[byte];
            int half = 6;
            if (hevc)
                half = std::array{2, 3, 4, 6}[bits & 3u];
            else
                half = (bits & 0x10u) != 0       ? 2
                       : (bits & 0x0cu) == 0x0cu ? 3
                       : (bits & 0x08u) != 0     ? 4
                                                 : 6;
            layout.halfSamples = configurations++ == 0 ? half : std::max(layout.halfSamples, half);
            layout.av1 = layout.av1 || !hevc;
        }
    }
    // A property box "ispe": size, type, version and flags, width, height.
    for (std::size_t found = text.find("ispe"); found != std::string_view::npos;
         found = text.find("ispe", found + 4)) {
        if (found + 16 > meta.size())
            break;
        const std::int64_t area = std::int64_t{be32At(meta.data() + found + 8)} *
                                  std::int64_t{be32At(meta.data() + found + 12)};
        if (area < pictureArea)
            layout.largestTile = std::max(layout.largestTile, area);
    }
    return layout;
}

// The library reads through ImageFile, so a stop or a read error ends it at
// its next read. It saves no memory over reading the whole file: the
// library keeps every top-level box it parses, the media data too, and
// copies the coded data of the image it decodes out of that.
std::int64_t positionOf(void* file)
{
    return static_cast<ImageFile*>(file)->position();
}

int readFrom(void* data, std::size_t size, void* file)
{
    return static_cast<ImageFile*>(file)->read(data, size) == static_cast<std::int64_t>(size) ? 0
                                                                                              : 1;
}

int seekTo(std::int64_t position, void* file)
{
    return static_cast<ImageFile*>(file)->seek(position) ? 0 : 1;
}

heif_reader_grow_status growTo(std::int64_t size, void* file)
{
    return size > static_cast<ImageFile*>(file)->size() ? heif_reader_grow_status_size_beyond_eof
                                                        : heif_reader_grow_status_size_reached;
}

constexpr heif_reader kReader = {1, positionOf, readFrom, seekTo, growTo};

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageFree {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;

// The luma and colour-difference weights of a matrix (H.273), the luma's
// share of red and of blue; BT.601 where the file names none the library
// would not also take for BT.601.
std::pair<float, float> weightsOf(const heif_color_profile_nclx* nclx)
{
    if (nclx == nullptr)
        return {0.299f, 0.114f};
    switch (nclx->matrix_coefficients) {
    case heif_matrix_coefficients_ITU_R_BT_709_5:
        return {0.2126f, 0.0722f};
    case heif_matrix_coefficients_US_FCC_T47:
        return {0.30f, 0.11f};
    case heif_matrix_coefficients_SMPTE_240M:
        return {0.212f, 0.087f};
    case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
    case heif_matrix_coefficients_ITU_R_BT_2020_2_constant_luminance:
        return {0.2627f, 0.0593f};
    case heif_matrix_coefficients_chromaticity_derived_non_constant_luminance:
    case heif_matrix_coefficients_chromaticity_derived_constant_luminance: {
        // The luminance of each primary, from the primaries and white point.
        const auto z = [](float x, float y) { return 1.0f - (x + y); };
        const float rx = nclx->color_primary_red_x, ry = nclx->color_primary_red_y;
        const float gx = nclx->color_primary_green_x, gy = nclx->color_primary_green_y;
        const float bx = nclx->color_primary_blue_x, by = nclx->color_primary_blue_y;
        const float wx = nclx->color_primary_white_x, wy = nclx->color_primary_white_y;
        const float denominator =
            wy * (rx * (gy * z(bx, by) - by * z(gx, gy)) + gx * (by * z(rx, ry) - ry * z(bx, by)) +
                  bx * (ry * z(gx, gy) - gy * z(rx, ry)));
        if (std::abs(denominator) < 1e-6f)
            return {0.299f, 0.114f};
        const float kr =
            ry *
            (wx * (gy * z(bx, by) - by * z(gx, gy)) + wy * (bx * z(gx, gy) - gx * z(bx, by)) +
             z(wx, wy) * (gx * by - bx * gy)) /
            denominator;
        const float kb =
            by *
            (wx * (ry * z(gx, gy) - gy * z(rx, ry)) + wy * (gx * z(rx, ry) - rx * z(gx, gy)) +
             z(wx, wy) * (rx * gy - gx * ry)) /
            denominator;
        if (!(kr > 0.0f && kb > 0.0f && kr + kb < 1.0f))
            return {0.299f, 0.114f};
        return {kr, kb};
    }
    default:
        return {0.299f, 0.114f};
    }
}

// One plane of the decoded image, its samples read as levels of 0 to 1 of
// their range.
struct Plane {
    const std::uint8_t* data = nullptr;
    int stride = 0;
    int bits = 8;
    int shiftX = 0;
    int shiftY = 0;

    bool fetch(const heif_image* image, heif_channel channel)
    {
        data = heif_image_get_plane_readonly(image, channel, &stride);
        bits = heif_image_get_bits_per_pixel_range(image, channel);
        return data != nullptr && bits >= 1 && bits <= 16;
    }
    const std::uint8_t* row(int y) const
    {
        return data + static_cast<std::ptrdiff_t>(y >> shiftY) * stride;
    }
    unsigned at(const std::uint8_t* line, int x) const
    {
        x >>= shiftX;
        if (bits <= 8)
            return line[x];
        std::uint16_t value;
        std::memcpy(&value, line + static_cast<std::ptrdiff_t>(x) * 2, 2);
        return value;
    }
};

// Rounded by adding a half: std::lround is a library call, a fifth of the
// time of a whole AV1 decode at three a pixel.
std::uint8_t toLevel(float value)
{
    // NOLINTNEXTLINE(bugprone-incorrect-roundings): never negative, so adding a half rounds
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

// Converts the decoded planes to RGB a row at a time into the reducer: the
// library's own conversion would first make an interleaved copy of the
// whole picture beside its planes. Chroma is taken from the nearest sample,
// as the library does.
LoadFailure reduceImage(const heif_image* image, const heif_image_handle* handle, int width,
                        int height, AreaReducer& reducer, std::vector<std::uint8_t>& row)
{
    const heif_colorspace space = heif_image_get_colorspace(image);
    const heif_chroma chroma = heif_image_get_chroma_format(image);
    Plane first, second, third, alpha;
    bool withAlpha = heif_image_has_channel(image, heif_channel_Alpha) != 0;
    if (withAlpha && !alpha.fetch(image, heif_channel_Alpha))
        withAlpha = false;
    const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle) != 0;

    heif_color_profile_nclx* rawNclx = nullptr;
    if (heif_image_get_nclx_color_profile(image, &rawNclx).code != heif_error_Ok)
        rawNclx = nullptr;
    const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(rawNclx);

    enum class Kind { Gray, YCbCr, Identity, Rgb } kind;
    if (space == heif_colorspace_monochrome || chroma == heif_chroma_monochrome) {
        kind = Kind::Gray;
        if (!first.fetch(image, heif_channel_Y))
            return LoadFailure::NotAnImage;
    } else if (space == heif_colorspace_YCbCr) {
        kind = nclx != nullptr && nclx->matrix_coefficients == heif_matrix_coefficients_RGB_GBR
                   ? Kind::Identity
                   : Kind::YCbCr;
        if (!first.fetch(image, heif_channel_Y) || !second.fetch(image, heif_channel_Cb) ||
            !third.fetch(image, heif_channel_Cr))
            return LoadFailure::NotAnImage;
        const int across = chroma == heif_chroma_444 ? 0 : 1;
        const int down = chroma == heif_chroma_420 ? 1 : 0;
        if (chroma != heif_chroma_420 && chroma != heif_chroma_422 && chroma != heif_chroma_444)
            return LoadFailure::NotAnImage;
        second.shiftX = third.shiftX = across;
        second.shiftY = third.shiftY = down;
        if (heif_image_get_width(image, heif_channel_Cb) < (width + across) >> across ||
            heif_image_get_height(image, heif_channel_Cb) < (height + down) >> down ||
            heif_image_get_width(image, heif_channel_Cr) < (width + across) >> across ||
            heif_image_get_height(image, heif_channel_Cr) < (height + down) >> down)
            return LoadFailure::NotAnImage;
    } else if (space == heif_colorspace_RGB && chroma == heif_chroma_444) {
        kind = Kind::Rgb;
        if (!first.fetch(image, heif_channel_R) || !second.fetch(image, heif_channel_G) ||
            !third.fetch(image, heif_channel_B))
            return LoadFailure::NotAnImage;
    } else {
        return LoadFailure::NotAnImage;
    }
    if (withAlpha && (heif_image_get_width(image, heif_channel_Alpha) < width ||
                      heif_image_get_height(image, heif_channel_Alpha) < height))
        withAlpha = false;

    // Levels of the range a sample lies in, full or limited ("video") range.
    const bool fullRange = nclx == nullptr || nclx->full_range_flag != 0;
    const auto scale = [fullRange](int bits, bool colourDifference) {
        const float unit = std::ldexp(1.0f, bits - 8);
        if (fullRange)
            return std::pair{colourDifference ? std::ldexp(1.0f, bits - 1) : 0.0f,
                             1.0f / (std::ldexp(1.0f, bits) - 1.0f)};
        return std::pair{colourDifference ? 128.0f * unit : 16.0f * unit,
                         1.0f / ((colourDifference ? 224.0f : 219.0f) * unit)};
    };
    const bool rgbLike = kind == Kind::Rgb || kind == Kind::Identity;
    const auto [offset1, factor1] = scale(first.bits, false);
    const auto [offset2, factor2] = scale(second.bits, !rgbLike);
    const auto [offset3, factor3] = scale(third.bits, !rgbLike);
    const float alphaMax = std::ldexp(1.0f, alpha.bits) - 1.0f;
    const auto [kr, kb] = weightsOf(nclx.get());
    const float kg = 1.0f - kr - kb;

    const int channels = withAlpha ? 4 : 3;
    row.resize(static_cast<std::size_t>(width) * std::size_t(channels));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* l1 = first.row(y);
        const std::uint8_t* l2 = kind == Kind::Gray ? nullptr : second.row(y);
        const std::uint8_t* l3 = kind == Kind::Gray ? nullptr : third.row(y);
        const std::uint8_t* la = withAlpha ? alpha.row(y) : nullptr;
        std::uint8_t* out = row.data();
        for (int x = 0; x < width; ++x, out += channels) {
            const float v1 = (float(first.at(l1, x)) - offset1) * factor1;
            if (kind == Kind::Gray) {
                out[0] = out[1] = out[2] = toLevel(v1);
            } else {
                const float v2 = (float(second.at(l2, x)) - offset2) * factor2;
                const float v3 = (float(third.at(l3, x)) - offset3) * factor3;
                if (kind == Kind::Rgb) {
                    out[0] = toLevel(v1), out[1] = toLevel(v2), out[2] = toLevel(v3);
                } else if (kind == Kind::Identity) { // Y holds green, Cb blue, Cr red
                    out[0] = toLevel(v3), out[1] = toLevel(v1), out[2] = toLevel(v2);
                } else {
                    out[0] = toLevel(v1 + 2.0f * (1.0f - kr) * v3);
                    out[1] = toLevel(
                        v1 - (2.0f * kr * (1.0f - kr) * v3 + 2.0f * kb * (1.0f - kb) * v2) / kg);
                    out[2] = toLevel(v1 + 2.0f * (1.0f - kb) * v2);
                }
            }
            if (withAlpha)
                out[3] = toLevel(float(alpha.at(la, x)) / alphaMax);
        }
        if (!withAlpha)
            reducer.addRgbRow(row.data());
        else if (premultiplied)
            reducer.addPremultipliedRgbaRow(row.data());
        else
            reducer.addRgbaRow(row.data());
    }
    return LoadFailure::None;
}

// The library reports its own limits (tiles, boxes, sizes) as a failed
// allocation: those are files too large, never a system out of memory, which
// would have the run try again alone and then fail.
LoadFailure failureOf(const heif_error& error)
{
    if (error.code != heif_error_Memory_allocation_error)
        return LoadFailure::NotAnImage;
    return error.subcode == heif_suberror_Security_limit_exceeded ? LoadFailure::TooLarge
                                                                  : LoadFailure::OutOfMemory;
}

} // namespace

LoadResult HeifDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    if (!hasPictureBrand(file))
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    initialiseOnce();
    const Context context(heif_context_alloc());
    if (context == nullptr)
        return {std::nullopt, LoadFailure::OutOfMemory};
    // The budget, not the library's own limit, decides what is too large.
    heif_context_set_maximum_image_size_limit(context.get(), 1 << 16);
    // Tiles on the calling thread: the workers already decode side by side.
    heif_context_set_max_decoding_threads(context.get(), 0);
    if (!file.seek(0) ||
        heif_context_read_from_reader(context.get(), &kReader, &file, nullptr).code !=
            heif_error_Ok)
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};

    heif_image_handle* rawPrimary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawPrimary).code != heif_error_Ok)
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    const Handle primary(rawPrimary);
    const std::int64_t width = heif_image_handle_get_width(rawPrimary);
    const std::int64_t height = heif_image_handle_get_height(rawPrimary);
    if (width < 1 || height < 1)
        return {std::nullopt, LoadFailure::NotAnImage};
    if (width * height > kMaxPixels)
        return {std::nullopt, LoadFailure::TooLarge};

    // Always the primary image itself, never an embedded thumbnail: a
    // thumbnail's luminance fingerprint strays too far from the picture's
    // (a likeness of 89 to 96 for thumbnails of 320 and 1024 pixels), and a
    // picture must have one signature whatever its file carries.
    const heif_image_handle* source = rawPrimary;

    // The library's planes of the image, twice where it turns or crops them;
    // the decoder's own frame, its loop-filter copy and side stores, measured
    // at 9 bytes a pixel for HEVC at 8-bit 4:2:0 (libde265), 5.4 for AV1 at
    // 8-bit 4:2:0 and 19 at 12-bit 4:4:4 (dav1d), for a grid only those of
    // its largest tile; the file and the copy of its coded data, one RGBA
    // row and the reduction.
    const std::int64_t stored = std::max<std::int64_t>(
        width * height, std::int64_t{heif_image_handle_get_ispe_width(source)} *
                            std::int64_t{heif_image_handle_get_ispe_height(source)});
    const std::int64_t bytes = heif_image_handle_get_luma_bits_per_pixel(source) > 8 ? 2 : 1;
    const Layout layout = layoutOf(file, stored);
    const std::int64_t halves =
        bytes * (layout.halfSamples + (heif_image_handle_has_alpha_channel(source) != 0 ? 2 : 0));
    const std::int64_t frame = layout.grid ? std::min(stored, layout.largestTile) : stored;
    // A grid's planes measure as three full ones whatever the tiles' chroma.
    const std::int64_t wholeHalves =
        layout.grid ? bytes * (6 + (heif_image_handle_has_alpha_channel(source) != 0 ? 2 : 0))
                    : halves;
    // The decoder's stores in halves of a byte a pixel: AV1 at 8-bit 4:2:0
    // needs 5.5 bytes, and a sum rounded down to 5 fell 50 MB short of what
    // a picture of 100 megapixels took.
    const std::int64_t decoderHalves = layout.av1 ? halves * 3 + 2 : halves * 3 / 2 * 2 + 10;
    const std::int64_t need = stored * wholeHalves / 2 * (layout.transforms ? 2 : 1) +
                              frame * decoderHalves / 2 + file.size() * 2 + width * 4 +
                              4 * 1024 * 1024 + AreaReducer::memoryNeed(width, side, fineSide);
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return {std::nullopt, why};
    if (!file.proceeding())
        return {std::nullopt, LoadFailure::Stopped};

    try {
        const std::unique_ptr<heif_decoding_options, OptionsFree> options(
            heif_decoding_options_alloc());
        if (options == nullptr)
            return {std::nullopt, LoadFailure::OutOfMemory};
        options->convert_hdr_to_8bit = 0;
        heif_image* rawImage = nullptr;
        const heif_error error = heif_decode_image(source, &rawImage, heif_colorspace_undefined,
                                                   heif_chroma_undefined, options.get());
        const Image image(rawImage);
        if (!file.proceeding())
            return {std::nullopt, LoadFailure::Stopped};
        if (error.code != heif_error_Ok || image == nullptr)
            return {std::nullopt, file.failureOr(failureOf(error))};
        const int decodedWidth = heif_image_get_primary_width(rawImage);
        const int decodedHeight = heif_image_get_primary_height(rawImage);
        if (decodedWidth < 1 || decodedHeight < 1 || decodedWidth > width || decodedHeight > height)
            return {std::nullopt, LoadFailure::NotAnImage};
        AreaReducer reducer(decodedWidth, decodedHeight, side);
        reducer.alsoReduceTo(fineSide);
        std::vector<std::uint8_t> row;
        if (const LoadFailure why =
                reduceImage(rawImage, source, decodedWidth, decodedHeight, reducer, row);
            why != LoadFailure::None)
            return {std::nullopt, why};
        LoadResult result = reducer.result();
        result.width = width;
        result.height = height;
        return result;
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
}

#endif

} // namespace ovrin::platform
