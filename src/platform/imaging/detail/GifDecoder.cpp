#include "platform/imaging/detail/GifDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"

#include <algorithm>
#include <array>
#include <gif_lib.h>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace ovrin::platform {

namespace {

extern "C" int gifRead(GifFileType* gif, GifByteType* buffer, int count)
{
    auto* file = static_cast<ImageFile*>(gif->UserData);
    const std::int64_t got = file->read(buffer, static_cast<std::size_t>(std::max(count, 0)));
    return got < 0 ? 0 : static_cast<int>(got);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool interlaced = false;
    int transparent = -1;
};

// Reads up to the first image descriptor, taking the transparent index of
// the graphic control extension before it.
bool findFirstFrame(GifFileType* gif, Frame& frame)
{
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return false;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4)
                frame.transparent = (block[1] & 1) != 0 ? block[4] : -1;
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    return false;
            }
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                return false;
            frame.left = gif->Image.Left;
            frame.top = gif->Image.Top;
            frame.width = gif->Image.Width;
            frame.height = gif->Image.Height;
            frame.interlaced = gif->Image.Interlace;
            return frame.width > 0 && frame.height > 0;
        } else if (type == TERMINATE_RECORD_TYPE) {
            return false;
        }
    }
}

} // namespace

LoadResult GifDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    int error = 0;
    const std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&file, gifRead, &error));
    if (!gif)
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    Frame frame;
    if (!findFirstFrame(gif.get(), frame))
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};

    // The logical screen, disbelieved when it is ridiculously larger than the
    // frame, as the toolkit's reader did.
    int screenWidth = gif->SWidth;
    int screenHeight = gif->SHeight;
    if (screenWidth / 10 > std::max(frame.width, 200) || screenWidth <= 0)
        screenWidth = frame.left + frame.width;
    if (screenHeight / 10 > std::max(frame.height, 200) || screenHeight <= 0)
        screenHeight = frame.top + frame.height;
    if (std::int64_t{screenWidth} * screenHeight > kMaxPixels)
        return {std::nullopt, LoadFailure::TooLarge};

    // Colours on white: transparent, past the colour table or without any
    // table, a pixel shows white.
    std::array<std::uint8_t, 256 * 3> palette;
    palette.fill(255);
    const ColorMapObject* map =
        gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
    if (map != nullptr) {
        for (int i = 0; i < map->ColorCount && i < 256; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * 3;
            palette[at] = map->Colors[i].Red;
            palette[at + 1] = map->Colors[i].Green;
            palette[at + 2] = map->Colors[i].Blue;
        }
    }
    if (frame.transparent >= 0) {
        const std::size_t at = static_cast<std::size_t>(frame.transparent) * 3;
        palette[at] = palette[at + 1] = palette[at + 2] = 255;
    }
    std::array<std::uint8_t, 3> fill{255, 255, 255};
    const bool partial = frame.left != 0 || frame.top != 0 || frame.width < screenWidth ||
                         frame.height < screenHeight;
    const ColorMapObject* global = gif->SColorMap;
    if (partial && frame.transparent < 0 && global != nullptr &&
        gif->SBackGroundColor < global->ColorCount) {
        const GifColorType& colour = global->Colors[gif->SBackGroundColor];
        fill = {colour.Red, colour.Green, colour.Blue};
    }

    const std::int64_t need = std::int64_t{screenWidth} * 4 + std::int64_t{frame.width} * 2 +
                              (frame.interlaced ? std::int64_t{frame.width} * frame.height : 0) +
                              1024 * 1024 + AreaReducer::memoryNeed(screenWidth, side, fineSide);
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return {std::nullopt, why};

    try {
        AreaReducer reducer(screenWidth, screenHeight, side);
        reducer.alsoReduceTo(fineSide);
        const auto width = static_cast<std::size_t>(frame.width);
        // An interlaced frame comes in four passes and is gathered whole;
        // any other streams a row at a time.
        std::vector<GifPixelType> indices(width *
                                          (frame.interlaced ? std::size_t(frame.height) : 1));
        std::vector<bool> known(frame.interlaced ? std::size_t(frame.height) : 0, false);
        int decodedRows = 0;
        bool cut = false;
        if (frame.interlaced) {
            static constexpr int kStart[] = {0, 4, 2, 1};
            static constexpr int kStep[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4 && !cut; ++pass) {
                for (int y = kStart[pass]; y < frame.height; y += kStep[pass]) {
                    if (!file.proceeding())
                        return {std::nullopt, LoadFailure::Stopped};
                    if (DGifGetLine(gif.get(), &indices[std::size_t(y) * width], frame.width) ==
                        GIF_ERROR) {
                        cut = true;
                        break;
                    }
                    known[std::size_t(y)] = true;
                    ++decodedRows;
                }
            }
        }

        // Rows outside the frame, and those a cut file never gave, are all
        // the fill colour.
        const int top = std::clamp(frame.top, 0, screenHeight);
        const int visibleRows = std::clamp(screenHeight - frame.top, 0, frame.height);
        reducer.addUniformRows(top, fill[0], fill[1], fill[2]);
        std::vector<std::uint8_t> fillRow(static_cast<std::size_t>(screenWidth) * 3);
        for (std::size_t at = 0; at < fillRow.size(); at += 3)
            std::copy(fill.begin(), fill.end(), fillRow.begin() + static_cast<std::ptrdiff_t>(at));
        const bool wholeRows = frame.left == 0 && frame.width >= screenWidth;
        const int shown = std::clamp(screenWidth - frame.left, 0, frame.width);
        for (int row = 0; row < visibleRows; ++row) {
            if (!file.proceeding())
                return {std::nullopt, LoadFailure::Stopped};
            const GifPixelType* line = nullptr;
            if (frame.interlaced) {
                if (known[std::size_t(row)])
                    line = &indices[std::size_t(row) * width];
            } else if (DGifGetLine(gif.get(), indices.data(), frame.width) != GIF_ERROR) {
                line = indices.data();
                ++decodedRows;
            } else {
                cut = true;
                break;
            }
            if (line == nullptr) {
                reducer.addRgbRow(fillRow.data());
            } else if (wholeRows) {
                reducer.addIndexedRow(line, palette.data());
            } else {
                std::uint8_t* out = reducer.scratch();
                std::copy(fillRow.begin(), fillRow.end(), out);
                out += std::size_t(frame.left) * 3;
                for (int x = 0; x < shown; ++x, out += 3) {
                    const std::uint8_t* colour = &palette[std::size_t{line[x]} * 3];
                    out[0] = colour[0];
                    out[1] = colour[1];
                    out[2] = colour[2];
                }
                reducer.addRgbRow(reducer.scratch());
            }
        }
        reducer.fillRemainingRows(fill[0], fill[1], fill[2]);
        // A file cut short still shows what came, as it always did; a frame
        // damaged otherwise is no picture.
        if (cut && (decodedRows == 0 || !file.reachedEnd()))
            return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        return reducer.result();
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
}

} // namespace ovrin::platform
