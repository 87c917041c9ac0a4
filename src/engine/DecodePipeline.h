#pragma once

#include "engine/RunSummary.h"
#include "platform/FileManager.h"

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
// budget. Once `proceed` is cleared nothing more is handed back, queued files
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
        std::vector<std::uint8_t> stored;         // a signature taken over as stored
        std::optional<std::size_t> previousEntry; // its entry in an older index
    };
    // Called in walk order for every item; `announce` first, then `complete`.
    using Handover = std::function<void(Item&)>;

    DecodePipeline(int jobs, std::int32_t pixelNumber, const std::atomic<bool>& proceed,
                   Handover announce, Handover complete);
    ~DecodePipeline();
    DecodePipeline(const DecodePipeline&) = delete;
    DecodePipeline& operator=(const DecodePipeline&) = delete;

    // The next file in walk order.
    void submit(Item item);
    // Hands back everything still in flight, unless stopped.
    void finish();

    // Decoding threads wanted for `jobs` (0: one per hardware thread).
    static int threadsFor(int jobs);

private:
    struct Slot {
        Item item;
        bool started = false;
        bool done = false;
    };

    void work();
    void decode(Item& item);
    bool handBackFront(bool wait);
    void abandon();

    const std::int32_t m_pixelNumber;
    const std::atomic<bool>& m_proceed;
    Handover m_announce;
    Handover m_complete;
    std::size_t m_window = 1;

    std::mutex m_mutex;
    std::condition_variable m_workReady;
    std::condition_variable m_slotDone;
    std::deque<std::unique_ptr<Slot>> m_inFlight; // walk order
    std::deque<Slot*> m_queue;                    // not yet started
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

} // namespace ovrin
