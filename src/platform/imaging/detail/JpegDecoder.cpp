#include "platform/imaging/detail/JpegDecoder.h"

#include "platform/fs/SystemError.h"
#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ExifOrientation.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <new>
#include <optional>

namespace ovrin::platform {

namespace {

// A hostile progressive file can repeat scans endlessly, each one a pass
// over the whole coefficient store; real encoders use a dozen or so.
constexpr int kMaxScans = 1000;
constexpr std::size_t kInputBuffer = 64 * 1024;

struct JpegState {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr source{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    ImageFile* file = nullptr;
    LoadFailure why = LoadFailure::NotAnImage;
    bool created = false;
    // The first APP1 segment, where EXIF keeps the orientation.
    bool sawApp1 = false;
    std::size_t exifLength = 0;
    std::array<std::uint8_t, 65536> exif; // filled before it is read
    std::array<JOCTET, kInputBuffer> input;
};

JpegState& stateOf(j_common_ptr info)
{
    return *static_cast<JpegState*>(info->client_data);
}

extern "C" void jpegOnError(j_common_ptr info)
{
    JpegState& state = stateOf(info);
    // libjpeg says "out of memory" both past its cap and when malloc failed;
    // only the latter leaves ENOMEM behind.
    if (state.errors.msg_code == JERR_OUT_OF_MEMORY && platform::lastSystemError() == ENOMEM)
        state.why = LoadFailure::OutOfMemory;
    std::longjmp(state.jump, 1);
}

// Warnings about damaged data are no news in a photo collection; the file
// decodes as far as it can, as it always did.
extern "C" void jpegOnMessage(j_common_ptr) {}

extern "C" void jpegInitSource(j_decompress_ptr) {}

extern "C" boolean jpegFillInput(j_decompress_ptr info)
{
    JpegState& state = stateOf(reinterpret_cast<j_common_ptr>(info));
    const std::int64_t got = state.file->read(state.input.data(), state.input.size());
    if (got < 0)
        std::longjmp(state.jump, 1); // read error or stop: the file tells which
    if (got == 0) {
        // A cut file: end it here and show what came, as libjpeg's own
        // readers do.
        state.input[0] = 0xFF;
        state.input[1] = JPEG_EOI;
        state.source.next_input_byte = state.input.data();
        state.source.bytes_in_buffer = 2;
        state.errors.msg_code = JWRN_JPEG_EOF;
        (*state.errors.emit_message)(reinterpret_cast<j_common_ptr>(info), -1);
        return TRUE;
    }
    state.source.next_input_byte = state.input.data();
    state.source.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

extern "C" void jpegSkipInput(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    JpegState& state = stateOf(reinterpret_cast<j_common_ptr>(info));
    const auto skip = static_cast<std::size_t>(count);
    if (skip <= state.source.bytes_in_buffer) {
        state.source.next_input_byte += skip;
        state.source.bytes_in_buffer -= skip;
        return;
    }
    state.file->seek(state.file->position() +
                     static_cast<std::int64_t>(skip - state.source.bytes_in_buffer));
    state.source.bytes_in_buffer = 0;
}

extern "C" void jpegTermSource(j_decompress_ptr) {}

int nextByte(j_decompress_ptr info)
{
    if (info->src->bytes_in_buffer == 0)
        (*info->src->fill_input_buffer)(info);
    --info->src->bytes_in_buffer;
    return *info->src->next_input_byte++;
}

// Keeps the first APP1 segment in a fixed buffer and passes over the rest,
// so a file of a thousand APP1 segments costs no memory.
extern "C" boolean jpegReadApp1(j_decompress_ptr info)
{
    JpegState& state = stateOf(reinterpret_cast<j_common_ptr>(info));
    int length = nextByte(info) << 8;
    length += nextByte(info);
    length -= 2;
    if (length <= 0)
        return TRUE;
    if (state.sawApp1) {
        (*info->src->skip_input_data)(info, length);
        return TRUE;
    }
    state.sawApp1 = true;
    for (int i = 0; i < length; ++i)
        state.exif[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(nextByte(info));
    state.exifLength = static_cast<std::size_t>(length);
    return TRUE;
}

extern "C" void jpegOnProgress(j_common_ptr common)
{
    JpegState& state = stateOf(common);
    if (!state.file->proceeding())
        std::longjmp(state.jump, 1);
    if (state.info.input_scan_number > kMaxScans)
        std::longjmp(state.jump, 1);
}

// The largest DCT scaling (1/8, 1/4, 1/2) that still leaves a point for every
// point of the result each way, so the averaging stays honest and no photo is
// decoded at full size.
unsigned scaleFor(JDIMENSION width, JDIMENSION height, Reduction side)
{
    for (unsigned denominator : {8u, 4u, 2u}) {
        if (side.keptBy(width / denominator, height / denominator, width, height))
            return denominator;
    }
    return 1;
}

// What libjpeg will allocate at most for this file, from its header.
std::int64_t memoryNeed(const jpeg_decompress_struct& info, Reduction side, int fineSide)
{
    const std::int64_t width = info.image_width;
    const std::int64_t height = info.image_height;
    const std::int64_t maxH = std::max(info.max_h_samp_factor, 1);
    const std::int64_t maxV = std::max(info.max_v_samp_factor, 1);
    const bool wholeImage = info.progressive_mode || info.comps_in_scan < info.num_components;
    std::int64_t need = 2 * 1024 * 1024;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        const std::int64_t h = std::max(comp.h_samp_factor, 1);
        const std::int64_t v = std::max(comp.v_samp_factor, 1);
        const std::int64_t blocksWide = (width * h + maxH * 8 - 1) / (maxH * 8);
        const std::int64_t blocksHigh = (height * v + maxV * 8 - 1) / (maxV * 8);
        const std::int64_t paddedWide = (blocksWide + h - 1) / h * h;
        const std::int64_t paddedHigh = (blocksHigh + v - 1) / v * v;
        // sample rows for the inverse DCT, upsampling and its context
        need += paddedWide * 8 * v * 8 * 4;
        if (wholeImage)
            need += paddedWide * paddedHigh * DCTSIZE2 * std::int64_t{sizeof(JCOEF)};
        else
            need += paddedWide * v * DCTSIZE2 * std::int64_t{sizeof(JCOEF)};
    }
    need += width * 4 * 32;
    need += AreaReducer::memoryNeed(width, side, fineSide);
    return need;
}

// Everything between setjmp and the end of decoding; nothing in here may
// own memory, since an error leaves by longjmp.
LoadFailure decodeInto(JpegState& state, Reduction side, int fineSide,
                       std::optional<AreaReducer>& reducer, DecodeBudget::Reservation& reservation)
{
    jpeg_decompress_struct& info = state.info;
    platform::clearSystemError();
    if (setjmp(state.jump) != 0)
        return state.file->failureOr(state.why);

    jpeg_create_decompress(&info);
    state.created = true;
    info.client_data = &state;
    state.source.init_source = jpegInitSource;
    state.source.fill_input_buffer = jpegFillInput;
    state.source.skip_input_data = jpegSkipInput;
    state.source.resync_to_restart = jpeg_resync_to_restart;
    state.source.term_source = jpegTermSource;
    info.src = &state.source;
    state.progress.progress_monitor = jpegOnProgress;
    info.progress = &state.progress;
    jpeg_set_marker_processor(&info, JPEG_APP0 + 1, jpegReadApp1);

    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return LoadFailure::NotAnImage;
    if (info.image_width == 0 || info.image_height == 0 || info.num_components < 1)
        return LoadFailure::NotAnImage;

    const LoadFailure budget =
        DecodeBudget::reserve(memoryNeed(info, side, fineSide), state.file->proceed(), reservation);
    if (budget != LoadFailure::None)
        return budget;
    // libjpeg's own bound for its large stores: past it, it fails rather
    // than allocate.
    info.mem->max_memory_to_use = static_cast<long>(reservation.bytes());

    const unsigned scale = scaleFor(info.image_width, info.image_height, side);
    info.scale_num = 1;
    info.scale_denom = scale;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (cmyk)
        info.out_color_space = JCS_CMYK;
    else if (info.jpeg_color_space != JCS_GRAYSCALE)
        info.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&info);
    if (info.output_width == 0 || info.output_height == 0)
        return LoadFailure::NotAnImage;

    const int components = info.output_components;
    const int rowsAtOnce = std::max(info.rec_outbuf_height, 1);
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * JDIMENSION(components),
                                                JDIMENSION(rowsAtOnce));
    reducer.emplace(int(info.output_width), int(info.output_height), side, int(scale),
                    std::int64_t{info.image_width}, std::int64_t{info.image_height});
    reducer->alsoReduceTo(fineSide);

    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        if (!state.file->proceeding())
            return LoadFailure::Stopped;
        const JDIMENSION got = jpeg_read_scanlines(&info, rows, JDIMENSION(rowsAtOnce));
        for (JDIMENSION r = 0; r < got; ++r) {
            const JSAMPLE* row = rows[r];
            if (components == 3) {
                reducer->addRgbRow(row);
            } else if (components == 1) {
                reducer->addGrayRow(row);
            } else if (cmyk && components == 4) {
                // Adobe's inverted CMYK, converted as the toolkit's reader did.
                std::uint8_t* out = reducer->scratch();
                for (JDIMENSION x = 0; x < info.output_width; ++x, row += 4, out += 3) {
                    const unsigned k = row[3];
                    out[0] = static_cast<std::uint8_t>(k * row[0] / 255);
                    out[1] = static_cast<std::uint8_t>(k * row[1] / 255);
                    out[2] = static_cast<std::uint8_t>(k * row[2] / 255);
                }
                reducer->addRgbRow(reducer->scratch());
            } else {
                return LoadFailure::NotAnImage;
            }
        }
    }
    return LoadFailure::None;
}

} // namespace

LoadResult JpegDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    // Default-initialised: the two 64 KB buffers need no clearing.
    auto state = std::make_unique_for_overwrite<JpegState>();
    state->file = &file;
    state->info.err = jpeg_std_error(&state->errors);
    state->errors.error_exit = jpegOnError;
    state->errors.output_message = jpegOnMessage;
    state->info.client_data = state.get();

    std::optional<AreaReducer> reducer;
    DecodeBudget::Reservation reservation;
    LoadFailure why = LoadFailure::None;
    try {
        why = decodeInto(*state, side, fineSide, reducer, reservation);
    } catch (const std::bad_alloc&) {
        why = LoadFailure::OutOfMemory;
    }
    if (state->created)
        jpeg_destroy_decompress(&state->info);
    if (why != LoadFailure::None)
        return {std::nullopt, why};
    const int orientation = state->sawApp1 ? exifOrientation(state->exif.data(), state->exifLength,
                                                             ExifMarker::Required)
                                           : 1;
    return reducer->result(orientation);
}

} // namespace ovrin::platform
