// The floor each format is measured against: every file of a folder decoded
// by the format's own library in one process, on one thread, nothing else done
// with the pixels.
//   ovrin-format-floor jpeg|png|webp|webp-full|gif|bmp|tiff|heif|heif-planes|jxl|jxl-full|raw
//                      DIR
//       prints: files wall-seconds cpu-seconds
// Each file is read whole in one read, then: JPEG: libjpeg at 1/8 scale (as
// ovrin-jpeg-floor). PNG: libpng rows, expanded to 8-bit RGB(A). WebP: libwebp
// scaling to 1/8 of each side while it decodes (webp-full: the whole picture
// into one buffer). GIF: giflib, the first frame's rows. TIFF: libtiff (which
// maps the file itself), every strip or tile. BMP: its rows converted from
// BGR to RGB. HEIF (HEIC and AVIF): libheif, the embedded thumbnail when there
// is one, else the primary image, as interleaved RGB (heif-planes: always
// the primary image, its planes as decoded, the least the library holds for
// it). JPEG XL: libjxl without a parallel runner, up to its first progressive
// step (the 1/8-resolution DC image) where the file has one, else the whole
// picture (jxl-full: always the whole picture; 0.7 renders even the DC step at
// full size, so that on photographs it costs about as much as the whole
// decode). RAW: libraw's embedded preview (a JPEG decoded by libjpeg at 1/8
// scale) when there is one, else the mosaic developed at half size. Libraw's
// own threads are the caller's to limit (OMP_NUM_THREADS=1).

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gif_lib.h>
#include <jpeglib.h>
#include <jxl/decode.h>
#include <libheif/heif.h>
#include <libraw.h>
#include <memory>
#include <png.h>
#include <string>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
#include <webp/decode.h>

namespace {

// The whole file in one read, as the fastest plain reader would take it.
std::vector<unsigned char> slurp(const std::filesystem::path& path)
{
    std::vector<unsigned char> bytes;
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return bytes;
    }
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    ::close(fd);
    return bytes;
}

struct Memory {
    const std::vector<unsigned char>* bytes;
    std::size_t at = 0;

    std::size_t take(unsigned char* out, std::size_t count)
    {
        const std::size_t n = std::min(count, bytes->size() - at);
        std::memcpy(out, bytes->data() + at, n);
        at += n;
        return n;
    }
};

bool decodeJpegBytes(const unsigned char* bytes, std::size_t size,
                     std::vector<unsigned char>& buffer)
{
    jpeg_decompress_struct info{};
    struct Errors {
        jpeg_error_mgr base;
        std::jmp_buf jump;
    } errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<Errors*>(common->err)->jump, 1);
    };
    errors.base.output_message = [](j_common_ptr) {};
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    buffer.resize(std::size_t(info.output_width) * std::size_t(info.output_components));
    JSAMPROW rows[1] = {buffer.data()};
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 1);
    jpeg_destroy_decompress(&info);
    return true;
}

bool decodeJpeg(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    const std::vector<unsigned char> bytes = slurp(path);
    return decodeJpegBytes(bytes.data(), bytes.size(), buffer);
}

bool decodePng(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    const std::vector<unsigned char> bytes = slurp(path);
    Memory memory{&bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr,
                                             [](png_structp, png_const_charp) {});
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &memory, [](png_structp p, png_bytep out, size_t count) {
        if (static_cast<Memory*>(png_get_io_ptr(p))->take(out, count) != count)
            png_error(p, "cut");
    });
    png_read_info(png, info);
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const bool interlaced = passes > 1;
    buffer.resize(rowBytes * (interlaced ? height : 1));
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, buffer.data() + (interlaced ? y * rowBytes : 0), nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool decodeWebp(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    const std::vector<unsigned char> bytes = slurp(path);
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        return false;
    const int channels = features.has_alpha ? 4 : 3;
    const int stride = features.width * channels;
    buffer.resize(std::size_t(stride) * std::size_t(features.height));
    return (features.has_alpha ? WebPDecodeRGBAInto(bytes.data(), bytes.size(), buffer.data(),
                                                    buffer.size(), stride)
                               : WebPDecodeRGBInto(bytes.data(), bytes.size(), buffer.data(),
                                                   buffer.size(), stride)) != nullptr;
}

bool decodeWebpScaled(const std::filesystem::path& path, std::vector<unsigned char>&)
{
    const std::vector<unsigned char> bytes = slurp(path);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config) ||
        WebPGetFeatures(bytes.data(), bytes.size(), &config.input) != VP8_STATUS_OK)
        return false;
    config.options.use_scaling = 1;
    config.options.scaled_width = std::max(1, config.input.width / 8);
    config.options.scaled_height = std::max(1, config.input.height / 8);
    config.output.colorspace = config.input.has_alpha ? MODE_RGBA : MODE_RGB;
    const bool ok = WebPDecode(bytes.data(), bytes.size(), &config) == VP8_STATUS_OK;
    WebPFreeDecBuffer(&config.output);
    return ok;
}

bool decodeHeif(const std::filesystem::path& path, std::vector<unsigned char>&)
{
    const std::vector<unsigned char> bytes = slurp(path);
    heif_context* context = heif_context_alloc();
    heif_context_set_max_decoding_threads(context, 0);
    heif_image_handle* primary = nullptr;
    heif_image_handle* chosen = nullptr;
    heif_image* image = nullptr;
    bool ok =
        heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr)
                .code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &primary).code == heif_error_Ok;
    if (ok) {
        heif_item_id thumbnail = 0;
        if (heif_image_handle_get_list_of_thumbnail_IDs(primary, &thumbnail, 1) == 1 &&
            heif_image_handle_get_thumbnail(primary, thumbnail, &chosen).code != heif_error_Ok)
            chosen = nullptr;
        ok = heif_decode_image(chosen != nullptr ? chosen : primary, &image, heif_colorspace_RGB,
                               heif_chroma_interleaved_RGB, nullptr)
                 .code == heif_error_Ok;
    }
    heif_image_release(image);
    heif_image_handle_release(chosen);
    heif_image_handle_release(primary);
    heif_context_free(context);
    return ok;
}

bool decodeHeifPlanes(const std::filesystem::path& path, std::vector<unsigned char>&)
{
    const std::vector<unsigned char> bytes = slurp(path);
    heif_context* context = heif_context_alloc();
    heif_context_set_max_decoding_threads(context, 0);
    heif_image_handle* primary = nullptr;
    heif_image* image = nullptr;
    const bool ok =
        heif_context_read_from_memory_without_copy(context, bytes.data(), bytes.size(), nullptr)
                .code == heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &primary).code == heif_error_Ok &&
        heif_decode_image(primary, &image, heif_colorspace_undefined, heif_chroma_undefined,
                          nullptr)
                .code == heif_error_Ok;
    heif_image_release(image);
    heif_image_handle_release(primary);
    heif_context_free(context);
    return ok;
}

bool decodeJxlUpTo(const std::filesystem::path& path, std::vector<unsigned char>& buffer,
                   bool firstStep)
{
    const std::vector<unsigned char> bytes = slurp(path);
    JxlDecoder* decoder = JxlDecoderCreate(nullptr);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    bool ok = decoder != nullptr &&
              JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE |
                                                     (firstStep ? JXL_DEC_FRAME_PROGRESSION : 0)) ==
                  JXL_DEC_SUCCESS &&
              JxlDecoderSetProgressiveDetail(decoder, kDC) == JXL_DEC_SUCCESS &&
              JxlDecoderSetInput(decoder, bytes.data(), bytes.size()) == JXL_DEC_SUCCESS;
    if (ok)
        JxlDecoderCloseInput(decoder);
    bool done = false;
    while (ok && !done) {
        switch (JxlDecoderProcessInput(decoder)) {
        case JXL_DEC_BASIC_INFO:
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t size = 0;
            ok = JxlDecoderImageOutBufferSize(decoder, &format, &size) == JXL_DEC_SUCCESS;
            if (ok) {
                buffer.resize(size);
                ok = JxlDecoderSetImageOutBuffer(decoder, &format, buffer.data(), size) ==
                     JXL_DEC_SUCCESS;
            }
            break;
        }
        case JXL_DEC_FRAME_PROGRESSION:
            ok = JxlDecoderFlushImage(decoder) == JXL_DEC_SUCCESS;
            done = true;
            break;
        case JXL_DEC_FULL_IMAGE:
        case JXL_DEC_SUCCESS:
            done = true;
            break;
        default:
            ok = false;
        }
    }
    JxlDecoderDestroy(decoder);
    return ok;
}

bool decodeJxl(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    return decodeJxlUpTo(path, buffer, true);
}

bool decodeJxlFull(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    return decodeJxlUpTo(path, buffer, false);
}

bool decodeRaw(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    std::vector<unsigned char> bytes = slurp(path);
    const auto owner = std::make_unique<LibRaw>(); // too large for the stack
    LibRaw& raw = *owner;
    if (raw.open_buffer(bytes.data(), bytes.size()) != LIBRAW_SUCCESS)
        return false;
    if (raw.imgdata.thumbnail.tlength > 0 && raw.unpack_thumb() == LIBRAW_SUCCESS &&
        raw.imgdata.thumbnail.tformat == LIBRAW_THUMBNAIL_JPEG)
        return decodeJpegBytes(reinterpret_cast<const unsigned char*>(raw.imgdata.thumbnail.thumb),
                               raw.imgdata.thumbnail.tlength, buffer);
    raw.imgdata.params.half_size = 1;
    return raw.unpack() == LIBRAW_SUCCESS && raw.dcraw_process() == LIBRAW_SUCCESS;
}

bool decodeGif(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    const std::vector<unsigned char> bytes = slurp(path);
    Memory memory{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &memory,
        [](GifFileType* g, GifByteType* out, int count) {
            return int(static_cast<Memory*>(g->UserData)->take(out, std::size_t(count)));
        },
        &error);
    if (gif == nullptr)
        return false;
    bool ok = false;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                break;
            while (block != nullptr && DGifGetExtensionNext(gif, &block) != GIF_ERROR) {
            }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR)
            break;
        const int width = gif->Image.Width;
        buffer.resize(std::size_t(width));
        ok = true;
        for (int y = 0; ok && y < gif->Image.Height; ++y)
            ok = DGifGetLine(gif, buffer.data(), width) != GIF_ERROR;
        break;
    }
    DGifCloseFile(gif, &error);
    return ok;
}

bool decodeBmp(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    const std::vector<unsigned char> bytes = slurp(path);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
               std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
    };
    const std::size_t offset = le32(10);
    const auto width = static_cast<std::int32_t>(le32(18));
    const auto height = static_cast<std::int32_t>(le32(22));
    const unsigned bits = bytes[28];
    if (width <= 0 || height == 0 || (bits != 24 && bits != 32))
        return false;
    const std::size_t rowBytes = (std::size_t(width) * bits + 31) / 32 * 4;
    const std::size_t rows = std::size_t(std::abs(height));
    if (offset + rowBytes * rows > bytes.size())
        return false;
    buffer.resize(std::size_t(width) * 3);
    for (std::size_t y = 0; y < rows; ++y) {
        const unsigned char* in = bytes.data() + offset + y * rowBytes;
        unsigned char* out = buffer.data();
        for (std::int32_t x = 0; x < width; ++x, in += bits / 8, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return true;
}

bool decodeTiff(const std::filesystem::path& path, std::vector<unsigned char>& buffer)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return false;
    bool ok = true;
    if (TIFFIsTiled(tiff)) {
        buffer.resize(static_cast<std::size_t>(TIFFTileSize(tiff)));
        for (ttile_t t = 0; ok && t < TIFFNumberOfTiles(tiff); ++t)
            ok = TIFFReadEncodedTile(tiff, t, buffer.data(), tmsize_t(buffer.size())) >= 0;
    } else {
        buffer.resize(static_cast<std::size_t>(TIFFStripSize(tiff)));
        for (tstrip_t s = 0; ok && s < TIFFNumberOfStrips(tiff); ++s)
            ok = TIFFReadEncodedStrip(tiff, s, buffer.data(), tmsize_t(buffer.size())) >= 0;
    }
    TIFFClose(tiff);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: ovrin-format-floor "
                   "jpeg|png|webp|webp-full|gif|bmp|tiff|heif|heif-planes|jxl|jxl-full|raw DIR\n",
                   stderr);
        return 2;
    }
    const std::string format = argv[1];
    bool (*decode)(const std::filesystem::path&, std::vector<unsigned char>&) =
        format == "jpeg"          ? decodeJpeg
        : format == "png"         ? decodePng
        : format == "webp"        ? decodeWebpScaled
        : format == "webp-full"   ? decodeWebp
        : format == "gif"         ? decodeGif
        : format == "bmp"         ? decodeBmp
        : format == "tiff"        ? decodeTiff
        : format == "heif"        ? decodeHeif
        : format == "heif-planes" ? decodeHeifPlanes
        : format == "jxl"         ? decodeJxl
        : format == "jxl-full"    ? decodeJxlFull
        : format == "raw"         ? decodeRaw
                                  : nullptr;
    if (decode == nullptr) {
        std::fputs("unknown format\n", stderr);
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[2]))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::size_t decoded = 0;
    std::vector<unsigned char> buffer;
    for (const auto& file : files)
        decoded += decode(file, buffer) ? 1 : 0;
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%zu %.3f %.3f\n", decoded, seconds.count(), cpu);
    return 0;
}
