#include "platform/imaging/detail/RawDecoder.h"

#include "platform/imaging/detail/ImageFile.h"

#ifdef OVRIN_HAVE_RAW
#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ExifOrientation.h"
#include "platform/imaging/detail/JpegDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <libraw/libraw.h>
#include <memory>
#include <new>
#include <omp.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>
#endif

namespace ovrin::platform {

#ifndef OVRIN_HAVE_RAW

LoadResult RawDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    (void)file;
    (void)side;
    (void)fineSide;
    return {std::nullopt, LoadFailure::NotAnImage};
}

#else

namespace {

// The smallest short side an embedded preview must have to stand for the
// picture: below it the 8x8 signature of the preview drifts from that of the
// developed picture.
constexpr int kMinPreviewSide = 160;
// Whether an embedded preview that shows the whole frame stands in for the
// development. Off: on DNGs made from photos, with JPEG and bitmap previews
// from a fifth of the frame to all of it, the 8x8 signatures of the two agree
// at colour tolerance 3 and rate 100 in every case, but the likeness of their
// fingerprints reaches 99 in fewer than a third (as low as 86), and a picture
// must have one signature whichever way it is read.
constexpr bool kPreviewStandsIn = false;
// What libraw holds beside the pictures: its tables, the parser's buffers
// and the decoder's own object.
constexpr std::int64_t kOverhead = 8 * 1024 * 1024;

// libraw reads through the file's descriptor rather than from a copy of the
// whole file in memory: a 100-megapixel uncompressed DNG is 200 MB, which
// would come on top of the raw data libraw unpacks from it.
class FileStream final : public LibRaw_abstract_datastream {
public:
    explicit FileStream(ImageFile& file) : m_file(file) {}

    int valid() override { return 1; }
    int read(void* buffer, size_t size, size_t count) override
    {
        if (size == 0 || count == 0 || count > SIZE_MAX / size)
            return 0;
        const std::int64_t got = m_file.read(buffer, size * count);
        return got <= 0 ? 0 : static_cast<int>(static_cast<std::size_t>(got) / size);
    }
    int seek(INT64 offset, int whence) override
    {
        std::int64_t to = offset;
        if (whence == SEEK_CUR)
            to += m_file.position();
        else if (whence == SEEK_END)
            to += m_file.size();
        return m_file.seek(to) ? 0 : -1;
    }
    INT64 tell() override { return m_file.position(); }
    INT64 size() override { return m_file.size(); }
    int get_char() override
    {
        unsigned char c = 0;
        return m_file.read(&c, 1) == 1 ? c : -1;
    }
    char* gets(char* text, int size) override
    {
        if (size < 1)
            return nullptr;
        int n = 0;
        while (n < size - 1) {
            const int c = get_char();
            if (c < 0)
                break;
            text[n++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        text[n] = '\0';
        return n == 0 ? nullptr : text;
    }
    // One number or word, as fscanf would read it.
    int scanf_one(const char* format, void* value) override
    {
        char token[32];
        int n = 0;
        int c = get_char();
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            c = get_char();
        while (c >= 0 && c != ' ' && c != '\t' && c != '\n' && c != '\r' && n < 31) {
            token[n++] = static_cast<char>(c);
            c = get_char();
        }
        token[n] = '\0';
        if (n == 0)
            return -1;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        return std::sscanf(token, format, value);
#pragma GCC diagnostic pop
    }
    int eof() override
    {
        return m_file.position() >= m_file.size() ? 1 : 0;
    }
    void* make_jas_stream() override
    {
        return nullptr;
    }

private:
    ImageFile& m_file;
};

// Reaches what libraw keeps to itself: the tone curve its 8-bit output uses.
class Developer final : public LibRaw {
public:
    Developer() : LibRaw(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK) {}
    // The curve dcraw_make_mem_image lays over the developed picture with
    // automatic brightening off.
    const ushort* outputCurve()
    {
        gamma_curve(imgdata.params.gamm[0], imgdata.params.gamm[1], 2, 0x10000);
        return imgdata.color.curve;
    }
};

void quietData(void*, const char*, int) {}
void quietMemory(void*, const char*, const char*) {}
int followRun(void* data, enum LibRaw_progress, int, int)
{
    // Non-zero cancels.
    return static_cast<ImageFile*>(data)->proceeding() ? 0 : 1;
}

// libraw's flip in the EXIF numbering (it keeps 0 for upright, 3 for turned
// half round, 5 and 6 for a quarter either way).
int exifOf(int flip)
{
    static constexpr int kExif[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return kExif[flip & 7];
}

// The orientation a JPEG's own APP1 segment gives (1 when it has none).
int jpegOrientation(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t at = 2; at + 4 <= size && data[at] == 0xff;) {
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xda || marker == 0xd9)
            break;
        const std::size_t length = std::size_t(data[at + 2]) << 8 | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            break;
        if (marker == 0xe1)
            if (const int o = exifOrientation(data + at + 4, length - 2, ExifMarker::Required);
                o != 1)
                return o;
        at += 2 + length;
    }
    return 1;
}

// Whether a preview of `width` x `height` shows the whole frame of a
// picture of `frameWidth` x `frameHeight` (both as stored), allowing the
// rounding of one preview point.
bool showsWholeFrame(std::int64_t width, std::int64_t height, std::int64_t frameWidth,
                     std::int64_t frameHeight)
{
    if (std::min(width, height) < kMinPreviewSide || frameWidth < 1 || frameHeight < 1)
        return false;
    const std::int64_t skew = width * frameHeight - height * frameWidth;
    return std::abs(skew) <= std::max(frameWidth, frameHeight);
}

// The picture from a JPEG preview, through the loader's own JPEG path on a
// copy of the preview in memory; none when it does not stand for the frame.
std::optional<LoadResult> fromJpegPreview(const std::uint8_t* bytes, std::size_t size,
                                          Reduction side, int fineSide, const ImageFile& file,
                                          std::int64_t frameWidth, std::int64_t frameHeight,
                                          int exif)
{
    // The loader's JPEG path turns the preview as its own EXIF says; a
    // camera writes either none or the raw's.
    const int own = jpegOrientation(bytes, size);
    if (own != 1 && own != exif)
        return std::nullopt;
    const int turn = own == 1 ? exif : 1;
    const int fd = ::memfd_create("ovrin-preview", MFD_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, bytes + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    ImageFile copy(fd, file.proceed());
    if (written != size)
        return std::nullopt;
    LoadResult result = JpegDecoder::decode(copy, side, fineSide);
    const bool across = own >= 5;
    if (!result.raster ||
        !showsWholeFrame(across ? result.height : result.width,
                         across ? result.width : result.height, frameWidth, frameHeight))
        return std::nullopt;
    // Turning the reduced grid gives what reducing the turned picture gives,
    // since every cell is the mean of the same pixels either way.
    const auto width = std::size_t(result.raster->width());
    const auto height = std::size_t(result.raster->height());
    const bool turns = turn >= 5;
    LoadResult out(
        ThumbnailRaster(int(turns ? height : width), int(turns ? width : height),
                        AreaReducer::turned(result.raster->rgb(), width, height, 3, turn)));
    if (fineSide > 0 && result.luminance.size() == std::size_t(fineSide) * fineSide)
        out.luminance =
            AreaReducer::turned(std::move(result.luminance), std::size_t(fineSide), 1, turn);
    return out;
}

LoadResult develop(Developer& raw, ImageFile& file, Reduction side, int fineSide,
                   std::int64_t frameWidth, std::int64_t frameHeight, int exif)
{
    libraw_output_params_t& params = raw.imgdata.params;
    params.half_size = 1;
    params.use_camera_wb = 1;
    params.no_auto_bright = 1;
    params.output_color = 1; // sRGB, with its own tone curve
    params.gamm[0] = 1.0 / 2.4;
    params.gamm[1] = 12.92;
    params.output_bps = 8;
    params.user_flip = 0; // turned here, as every decoder turns its picture
    if (raw.unpack() != LIBRAW_SUCCESS || raw.dcraw_process() != LIBRAW_SUCCESS)
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const int width = sizes.iwidth;
    const int height = sizes.iheight;
    const ushort(*image)[4] = raw.imgdata.image;
    if (image == nullptr || width < 1 || height < 1)
        return {std::nullopt, LoadFailure::NotAnImage};
    const ushort* curve = raw.outputCurve();
    const int shrink = frameWidth > width ? 2 : 1;
    AreaReducer reducer(width, height, side, shrink, frameWidth, frameHeight);
    reducer.alsoReduceTo(fineSide);
    std::uint8_t* row = reducer.scratch();
    for (int y = 0; y < height; ++y) {
        const ushort(*points)[4] = image + std::size_t(y) * width;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = static_cast<std::uint8_t>(curve[points[x][c]] >> 8);
        reducer.addRgbRow(row);
    }
    return reducer.result(exif);
}

} // namespace

LoadResult RawDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    // libraw's parallel loops would each take every core for one picture,
    // while the loader already decodes several pictures at once.
    omp_set_num_threads(1);
    DecodeBudget::Reservation base;
    if (const LoadFailure why = DecodeBudget::reserve(kOverhead + std::int64_t(sizeof(Developer)),
                                                      file.proceed(), base);
        why != LoadFailure::None)
        return {std::nullopt, why};
    try {
        const auto raw = std::make_unique<Developer>();
        raw->set_dataerror_handler(quietData, nullptr);
        raw->set_memerror_handler(quietMemory, nullptr);
        raw->set_progress_handler(followRun, &file);
        FileStream stream(file);
        if (raw->open_datastream(&stream) != LIBRAW_SUCCESS)
            return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        const libraw_image_sizes_t& sizes = raw->imgdata.sizes;
        const std::int64_t frameWidth = sizes.width;
        const std::int64_t frameHeight = sizes.height;
        const std::int64_t rawPoints = std::int64_t(sizes.raw_width) * sizes.raw_height;
        if (frameWidth < 1 || frameHeight < 1 || rawPoints < 1)
            return {std::nullopt, LoadFailure::NotAnImage};
        if (rawPoints > kMaxPixels || frameWidth * frameHeight > kMaxPixels)
            return {std::nullopt, LoadFailure::TooLarge};
        const int exif = exifOf(sizes.flip);

        // The embedded preview, where it stands for the whole frame.
        const libraw_thumbnail_t& thumb = raw->imgdata.thumbnail;
        // Its kind is known only once it is unpacked.
        if (kPreviewStandsIn && thumb.tlength > 0 && std::int64_t(thumb.tlength) <= file.size()) {
            DecodeBudget::Reservation held;
            const std::int64_t need = 2 * std::int64_t(thumb.tlength) +
                                      AreaReducer::memoryNeed(thumb.twidth, side, fineSide);
            if (DecodeBudget::reserve(need, file.proceed(), held) == LoadFailure::None &&
                raw->unpack_thumb() == LIBRAW_SUCCESS) {
                std::optional<LoadResult> result;
                libraw_processed_image_t* preview = nullptr;
                if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG && thumb.thumb != nullptr) {
                    // As stored: libraw's copy would gain an EXIF block of
                    // its making.
                    result = fromJpegPreview(reinterpret_cast<const std::uint8_t*>(thumb.thumb),
                                             thumb.tlength, side, fineSide, file, frameWidth,
                                             frameHeight, exif);
                } else if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP) {
                    int error = 0;
                    preview = raw->dcraw_make_mem_thumb(&error);
                }
                if (preview != nullptr && preview->type == LIBRAW_IMAGE_BITMAP &&
                    preview->colors == 3 && preview->bits == 8 &&
                    showsWholeFrame(preview->width, preview->height, frameWidth, frameHeight) &&
                    std::size_t(preview->width) * preview->height * 3 <= preview->data_size) {
                    AreaReducer reducer(preview->width, preview->height, side);
                    reducer.alsoReduceTo(fineSide);
                    for (int y = 0; y < preview->height; ++y)
                        reducer.addRgbRow(preview->data + std::size_t(y) * preview->width * 3);
                    result = reducer.result(exif);
                }
                if (preview != nullptr)
                    LibRaw::dcraw_clear_mem(preview);
                if (!file.proceeding())
                    return {std::nullopt, LoadFailure::Stopped};
                if (result && result->raster) {
                    const bool across = exif >= 5;
                    result->width = across ? frameHeight : frameWidth;
                    result->height = across ? frameWidth : frameHeight;
                    return *result;
                }
            }
        }

        // Half-size development: the raw data as unpacked (a mosaic keeps
        // one value a point, other layouts four) and the developed picture in
        // four 16-bit channels, half each side for a mosaic, whole otherwise
        // (libraw halves only mosaics), and the reduction.
        const bool mosaic = raw->imgdata.idata.filters != 0;
        const std::int64_t developedWidth = mosaic ? (frameWidth + 1) / 2 : frameWidth;
        const std::int64_t developedHeight = mosaic ? (frameHeight + 1) / 2 : frameHeight;
        const std::int64_t need = rawPoints * (mosaic ? 2 : 8) +
                                  developedWidth * developedHeight * 8 +
                                  AreaReducer::memoryNeed(developedWidth, side, fineSide);
        DecodeBudget::Reservation reservation;
        if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
            why != LoadFailure::None)
            return {std::nullopt, why};
        return develop(*raw, file, side, fineSide, frameWidth, frameHeight, exif);
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    } catch (...) {
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    }
}

#endif

} // namespace ovrin::platform
