#include "engine/DecodePipeline.h"

#include "platform/ProcessGuard.h"
#include "signature/TFileInfo.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace ovrin {

int DecodePipeline::threadsFor(int jobs)
{
    if (jobs > 0)
        return jobs;
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

DecodePipeline::DecodePipeline(int jobs, std::int32_t pixelNumber, const std::atomic<bool>& proceed,
                               Handover announce, Handover complete)
    : m_pixelNumber(pixelNumber), m_proceed(proceed), m_announce(std::move(announce)),
      m_complete(std::move(complete))
{
    const int threads = threadsFor(jobs);
    if (threads <= 1)
        return; // the walk's thread decodes each file itself, as it hands it back
    // Every file in flight holds a descriptor; stay well inside the limit.
    const auto byFiles = static_cast<std::size_t>(std::max(2L, platform::openFileLimit() / 4));
    m_window = std::min<std::size_t>(2 * static_cast<std::size_t>(threads) + 2, byFiles);
    for (int i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // fewer threads, or none: the walk's thread decodes what is left
        }
    }
}

DecodePipeline::~DecodePipeline()
{
    abandon();
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_workReady.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void DecodePipeline::decode(Item& item)
{
    try {
        TFileInfo record;
        item.failure = record.loadThumbnail(m_pixelNumber, item.file.release(), &m_proceed);
        if (item.failure == platform::LoadFailure::None)
            item.values = record.thumbnail();
    } catch (const std::bad_alloc&) {
        item.failure = platform::LoadFailure::OutOfMemory;
    }
    if (item.failure != platform::LoadFailure::None)
        item.skip = skipReasonFor(item.failure);
}

void DecodePipeline::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workReady.wait(lock, [this] { return m_closing || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        Slot* slot = m_queue.front();
        m_queue.pop_front();
        slot->started = true;
        lock.unlock();
        decode(slot->item);
        lock.lock();
        slot->done = true;
        m_slotDone.notify_all();
    }
}

bool DecodePipeline::handBackFront(bool wait)
{
    std::unique_ptr<Slot> slot;
    {
        std::unique_lock lock(m_mutex);
        if (m_inFlight.empty())
            return false;
        Slot* front = m_inFlight.front().get();
        if (!front->started && !front->done && m_threads.empty()) {
            // No decoding thread could be had: decode it here.
            if (const auto queued = std::find(m_queue.begin(), m_queue.end(), front);
                queued != m_queue.end())
                m_queue.erase(queued);
            front->started = true;
            lock.unlock();
            decode(front->item);
            lock.lock();
            front->done = true;
        }
        if (!front->done) {
            if (!wait)
                return false;
            m_slotDone.wait(lock, [front] { return front->done; });
        }
        slot = std::move(m_inFlight.front());
        m_inFlight.pop_front();
    }
    if (!m_proceed.load())
        return false;
    m_announce(slot->item);
    m_complete(slot->item);
    return true;
}

void DecodePipeline::abandon()
{
    std::unique_lock lock(m_mutex);
    m_queue.clear();
    // Decodes in flight notice the cleared flag and end quickly; their
    // descriptors are closed by the loader, the queued ones here.
    m_slotDone.wait(lock, [this] {
        return std::all_of(m_inFlight.begin(), m_inFlight.end(),
                           [](const auto& slot) { return slot->done || !slot->started; });
    });
    m_inFlight.clear();
}

void DecodePipeline::submit(Item item)
{
    if (!m_proceed.load())
        return;
    while (m_inFlight.size() >= m_window) {
        if (!handBackFront(true)) {
            abandon();
            return;
        }
    }
    auto slot = std::make_unique<Slot>();
    slot->item = std::move(item);
    slot->done = !slot->item.decode;
    const bool queued = !slot->done && !m_threads.empty();
    {
        const std::lock_guard lock(m_mutex);
        if (queued)
            m_queue.push_back(slot.get());
        m_inFlight.push_back(std::move(slot));
    }
    if (queued)
        m_workReady.notify_one(); // a wake-up costs a system call; only for real work
    // Hand back whatever is ready, so callbacks keep pace with the decoders.
    while (handBackFront(false)) {
    }
}

void DecodePipeline::finish()
{
    while (!m_inFlight.empty()) {
        if (!handBackFront(true))
            break;
    }
    abandon();
}

} // namespace ovrin
