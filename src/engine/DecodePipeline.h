#pragma once

#include "engine/RunSummary.h"
#include "platform/fs/FileManager.h"
#include "signature/FineSignature.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ovrin {

// Decodes pictures on a pool of threads while the walk goes on, and hands
// every file back in walk order, one at a time, on the walk's own thread, so
// a receiver sees exactly what one thread would have shown it. A bounded
// window of files is in flight; the decoders share the image loader's memory
// budget, fitted to the process's memory limits while the pipeline lives, and
// no more threads start than those limits leave room for. A decode that runs
// out of memory while others run is tried once more on its own before it
// counts as out of memory, so more threads never fail a file that one thread
// decodes. Once `proceed` is cleared nothing more is handed back, queued files
// are dropped and decodes in flight end as soon as their decoder allows.
class DecodePipeline {
public:
    struct Item {
        std::string path;
        platform::Descriptor file;      // open picture to decode
        platform::FileStatus status;    // as the walk found it
        bool decode = false;            // false: the outcome is known already
        bool announce = true;           // false for a folder passed over
        std::optional<SkipReason> skip; // why it gives nothing
        platform::LoadFailure failure = platform::LoadFailure::None;
        std::vector<std::int16_t> values;         // the signature, once decoded
        std::optional<FineSignature> fine;        // its structure fingerprint, once decoded
        std::vector<std::uint8_t> luminance;      // the grid it was made from, where kept
        std::vector<std::uint8_t> stored;         // a signature taken over as stored
        std::optional<std::size_t> previousEntry; // its entry in an older index
    };
    // Called in walk order for every item; `announce` first, then `complete`.
    using Handover = std::function<void(Item&)>;
    // Makes the signature of an open picture, and its fingerprint where it
    // can, taking the descriptor over.
    using Decoder = std::function<platform::LoadFailure(int fd, std::vector<std::int16_t>& values,
                                                        std::optional<FineSignature>& fine)>;

    // Without a decoder, TFileInfo's thumbnail of pixelNumber and its fingerprint.
    DecodePipeline(int jobs, std::int32_t pixelNumber, const std::atomic<bool>& proceed,
                   Handover announce, Handover complete, Decoder decoder = {});
    ~DecodePipeline();
    DecodePipeline(const DecodePipeline&) = delete;
    DecodePipeline& operator=(const DecodePipeline&) = delete;

    // The next file in walk order.
    void submit(Item item);
    // Hands back everything still in flight, unless stopped.
    void finish();

    // Decoding threads wanted for `jobs` (0: one per hardware thread).
    static int threadsFor(int jobs);
    // Threads that decode; 0 when the walk's thread decodes each file itself.
    int threadCount() const { return static_cast<int>(m_threads.size()); }

private:
    struct Slot {
        Item item;
        bool started = false;
        bool done = false;
    };

    void work();
    platform::LoadFailure decodeOnce(Item& item, int fd);
    void decode(Item& item);
    void decodeInTurn(Item& item);
    bool handBackFront(bool wait);
    void abandon();

    const std::int32_t m_pixelNumber;
    const std::atomic<bool>& m_proceed;
    Handover m_announce;
    Handover m_complete;
    Decoder m_decoder;
    std::size_t m_window = 1;

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_slotDone;
    std::deque<std::unique_ptr<Slot>> m_inFlight; // walk order
    std::deque<Slot*> m_queue;                    // not yet started
    bool m_closing = false;
    // Decodes running on the threads, how many ever began, and those that
    // ran out of memory beside others and wait to run alone.
    int m_decoding = 0;
    std::uint64_t m_begun = 0;
    int m_waitingAlone = 0;
    bool m_alone = false;
    std::condition_variable m_decodeEnded;
    std::vector<std::thread> m_threads;
};

} // namespace ovrin
