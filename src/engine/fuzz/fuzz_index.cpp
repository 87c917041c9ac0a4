// Fuzz target for the index reader: the index check and the index search walk
// over arbitrary bytes. Built for libFuzzer with clang (OVRIN_FUZZ), and as a
// plain replay of the committed seed corpus in every test run.

#include "engine/TGraphicSearch.h"
#include "indexfile/IndexLookup.h"
#include "indexfile/TChunk.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class CountingReceiver : public ovrin::TGraphicSearchCallback {
public:
    void hitItemCallback(const std::shared_ptr<ovrin::TFileInfo>& info) override
    {
        hits += info->matchRate() >= 0 ? 1 : 0;
    }
    void progressCallback(const std::shared_ptr<ovrin::TFileInfo>&) override { ++progress; }
    void searchEndCallback() override { ++ends; }

    long hits = 0;
    long progress = 0;
    long ends = 0;
};

struct Harness {
    std::string folder;
    std::string target;
    std::string index;
    CountingReceiver receiver;
    std::shared_ptr<ovrin::TGraphicSearch> engine;

    Harness()
    {
        char pattern[] = "/tmp/ovrin-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            std::abort();
        folder = made;
        target = folder + "/target.png";
        index = folder + "/input.ovi";
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(0xff336699u);
        if (!picture.save(QString::fromStdString(target), "png"))
            std::abort();
        engine = std::make_shared<ovrin::TGraphicSearch>(&receiver);
        // The worker body runs on the calling thread, so each input is one
        // deterministic call.
        engine->setThreadStarter([](const std::function<void()>& body) {
            body();
            return true;
        });
        engine->target().setFilePath(target);
        engine->setIndexFilePath(index);
        engine->setSearchMethod(ovrin::SearchMethod::IndexFile);
        engine->setBits(0); // every comparison of the right length passes
    }
    ~Harness()
    {
        ::unlink(index.c_str());
        ::unlink(target.c_str());
        ::rmdir(folder.c_str());
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness harness;
    {
        std::ofstream out(harness.index, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const long endsBefore = harness.receiver.ends;
    harness.engine->setPixelNumber(8);
    harness.engine->checkIndexFile(harness.index);
    harness.engine->setPixelNumber(8); // keep the target's signature makeable
    harness.engine->beginSearch();
    if (harness.receiver.ends != endsBefore + 1 || harness.engine->isWorking() ||
        harness.receiver.progress != 0)
        std::abort(); // every start ends exactly once and the index search reports no progress
    // An update's lookup reads the same bytes by offset: every entry it lists
    // must be found again under its own path.
    ovrin::IndexLookup lookup;
    if (lookup.load(harness.index, 8)) {
        ovrin::IndexReader reader(harness.index);
        reader.readHead();
        ovrin::IndexReader::Entry entry;
        while (reader.next(entry)) {
            if (!lookup.locate(entry.path) ||
                entry.fine.size() > ovrin::TChunk::maxDataSize(ovrin::TChunk::kFineID))
                std::abort();
            // Under a sanitizer, every byte handed out must lie in the buffer.
            volatile std::uint8_t touched = 0;
            for (const std::uint8_t byte : entry.stored)
                touched = static_cast<std::uint8_t>(touched ^ byte);
            for (const std::uint8_t byte : entry.fine)
                touched = static_cast<std::uint8_t>(touched ^ byte);
        }
    }
    return 0;
}
