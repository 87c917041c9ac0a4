// Writes a synthetic index file for the index-search benchmark: a head for
// pixel number 8 and COUNT entries under photo-library-like paths, each with a
// random signature, a stamp and a structure fingerprint, as the index creation
// writes them.
//   ovrin-make-index FILE COUNT

#include "indexfile/IndexWriter.h"
#include "platform/fs/FileHandle.h"
#include "signature/FineSignature.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: ovrin-make-index FILE COUNT\n", stderr);
        return 2;
    }
    const std::string path = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 1;
    ::close(fd);
    auto handle = ovrin::platform::FileHandle::forWriting(path);
    if (!handle)
        return 1;
    ovrin::IndexWriter writer(*handle);
    writer.writeHead(8);

    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> channel(0, 15);
    const char* albums[] = {"Holidays", "Family", "Camera Uploads", "Scans", "Screenshots"};
    std::vector<std::int16_t> values(64);
    // Fingerprints of a few random luminance grids, drawn apart from the
    // signatures so that these stay what they were before fingerprints.
    constexpr int kPrints = 251;
    std::vector<std::uint8_t> prints(kPrints * ovrin::FineSignature::kStoredSize);
    {
        std::mt19937 gridRandom(20261208);
        std::uniform_int_distribution<int> level(0, 255);
        std::vector<std::uint8_t> grid(ovrin::FineSignature::kGridSide *
                                       ovrin::FineSignature::kGridSide);
        for (int p = 0; p < kPrints; ++p) {
            for (auto& cell : grid)
                cell = static_cast<std::uint8_t>(level(gridRandom));
            ovrin::FineSignature::fromLuminance(grid.data(), 4000, 3000)
                .store(prints.data() + p * ovrin::FineSignature::kStoredSize);
        }
    }
    char name[160];
    for (long i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "/home/user/Pictures/%s/%04ld/%02ld/IMG_%06ld.jpg",
                      albums[i % 5], 2000 + (i / 50000) % 25, 1 + (i / 4000) % 12, i);
        for (auto& v : values)
            v = static_cast<std::int16_t>((channel(random) << 8) | (channel(random) << 4) |
                                          channel(random));
        const ovrin::FileStamp stamp{2000000 + i % 5000000, 1700000000000000000 + i * 1000000};
        writer.writeEntry(name, values, stamp,
                          {prints.data() + (i % kPrints) * ovrin::FineSignature::kStoredSize,
                           ovrin::FineSignature::kStoredSize});
    }
    return handle->closeFile() ? 0 : 1;
}
