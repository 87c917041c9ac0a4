#pragma once

#include "platform/fs/LoadFailure.h"
#include "platform/imaging/Raster.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ovrin::platform {

class ImageLoader {
public:
    // Guard of the loader itself; callers keep their own, tighter bound.
    static constexpr int kMaxSide = 4096;

    // The limits every decoder keeps (see Raster.h), under the loader's name.
    static constexpr std::int64_t kDecodeBudget = platform::kDecodeBudget;
    static constexpr std::int64_t kMaxPixels = platform::kMaxPixels;

    // Makes the calling thread the toolkit's main thread. A program without
    // the toolkit's application object calls it on its main thread before
    // any other thread may decode: the toolkit otherwise takes the first
    // thread that touches it for its main thread and binds the image plugins
    // it loads to that thread, whose record of the toolkit is freed when the
    // thread ends while the plugins live on, to be torn down at exit through
    // freed memory. With an application object there is nothing to do.
    static void adoptMainThread();

    // Replaces the budget (kDecodeBudget when given 0); for tests and
    // benchmarks, while no decode runs.
    static void setDecodeBudgetForTesting(std::int64_t bytes);

    // Decodes the image file at path and reduces the whole picture to side x side
    // points by area averaging, aspect ratio not kept, EXIF orientation applied.
    // Only regular, non-empty files off pseudo file systems are decoded.
    // JPEG, PNG, TIFF, WebP, GIF, BMP, HEIF/AVIF, JPEG XL and camera RAW are
    // decoded by their own libraries, streamed row by row where the format
    // allows (JPEG at 1/2, 1/4 or 1/8 of its size), TGA by a reader of our
    // own; SVG and SVGZ are rendered small by the toolkit's SVG module (never
    // reading another file they name; a drawing with text only where a GUI
    // application object exists, see HeadlessApplication); other formats the
    // toolkit reads go through its reader.
    // Decoding waits for its share of the decode-memory budget, or is
    // refused (TooLarge) when the picture needs more than all of it.
    // Decoder messages never reach the terminal. Safe to call from several
    // threads at once; everything runs on the calling thread, never on a
    // thread the loader did not start, except that libheif's HEVC and AV1
    // decoders start short-lived helper threads of their own, which the
    // library offers no way to refuse. When `proceed` is given and is
    // cleared, decoding (or waiting for the budget) ends within a moment
    // wherever the decoder allows (Stopped). A `fineSide` above 0 asks for
    // the luminance of the same rows reduced the same way to fineSide x
    // fineSide too; the picture's size as seen comes with every raster.
    static LoadResult loadThumbnail(const std::string& path, int side,
                                    const std::atomic<bool>* proceed = nullptr, int fineSide = 0);
    // The same for a file already open for reading (read from its start); the
    // descriptor is taken over and closed. `name` is the file's path or name,
    // for the formats known only by name (TGA) or told apart by it (camera
    // RAW files that look like TIFF): the same file gives the same picture
    // through both overloads only when it is given.
    static LoadResult loadThumbnail(int fd, int side, const std::atomic<bool>* proceed = nullptr,
                                    int fineSide = 0, std::string_view name = {});

    // The picture in the open file `fd` for showing it: of its own shape, its
    // longer side at most `longSide` points (0: the whole picture, up to 36
    // megapixels, larger ones reduced to 2048 points), through the same
    // decoders, bounds and budget as loadThumbnail and decoded no larger than
    // the result needs where the format allows; orientation applied, laid on
    // white. The raster is width x height points, `format` names the
    // format. The descriptor is taken over and closed.
    static LoadResult loadForDisplay(int fd, int longSide,
                                     const std::atomic<bool>* proceed = nullptr,
                                     std::string_view name = {});

    // Area-average reduction of a decoded 0xAARRGGBB premultiplied buffer, with
    // transparent parts flattened onto white.
    static ThumbnailRaster reduce(const std::uint32_t* pixels, int width, int height,
                                  std::size_t pixelsPerLine, int side);
};

// The toolkit's GUI application object for a program without a window, on
// its platform that needs no display: text in a drawing is laid out through
// the font database, which aborts a process that has none. Made on the main
// thread before any decode and kept while decodes run; where that platform
// is not installed there is no object, and drawings with text are skipped.
class HeadlessApplication {
public:
    HeadlessApplication();
    ~HeadlessApplication();
    HeadlessApplication(const HeadlessApplication&) = delete;
    HeadlessApplication& operator=(const HeadlessApplication&) = delete;

    bool made() const { return m_application != nullptr; }

private:
    struct Application;
    std::unique_ptr<Application> m_application;
};

} // namespace ovrin::platform
