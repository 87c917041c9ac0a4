#include "engine/DecodePipeline.h"

#include "platform/fs/ProcessGuard.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "signature/TFileInfo.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <new>
#include <system_error>
#include <unistd.h>

namespace ovrin {

int DecodePipeline::threadsFor(int jobs)
{
    if (jobs > 0)
        return jobs;
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

DecodePipeline::DecodePipeline(int jobs, std::int32_t pixelNumber, const std::atomic<bool>& proceed,
                               Handover announce, Handover complete, Decoder decoder)
    : m_pixelNumber(pixelNumber), m_proceed(proceed), m_announce(std::move(announce)),
      m_complete(std::move(complete)), m_decoder(std::move(decoder))
{
    using platform::DecodeBudget;
    const platform::MemoryReadings readings = platform::MemoryReadings::read();
    const int threads =
        DecodeBudget::threadsWithin(readings, threadsFor(jobs), DecodeBudget::ceiling());
    if (threads > 1) {
        // Every file in flight holds a descriptor (and a decoding one a spare
        // for its retry); stay well inside the limit.
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
    // Otherwise the walk's thread decodes each file itself, as it hands it back.
    DecodeBudget::fit(readings, threadCount());
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
    platform::DecodeBudget::unfit();
}

platform::LoadFailure DecodePipeline::decodeOnce(Item& item, int fd)
{
    item.values.clear();
    item.fine.reset();
    item.luminance.clear();
    try {
        if (m_decoder)
            return m_decoder(fd, item.values, item.fine);
        TFileInfo record;
        record.setFilePath(item.path); // formats known by name are read as the target is
        const platform::LoadFailure failure = record.loadThumbnail(m_pixelNumber, fd, &m_proceed);
        if (failure == platform::LoadFailure::None) {
            item.values = record.thumbnail();
            item.fine = record.fine();
            item.luminance = record.luminance();
        }
        return failure;
    } catch (const std::bad_alloc&) {
        return platform::LoadFailure::OutOfMemory;
    }
}

void DecodePipeline::decode(Item& item)
{
    item.failure = decodeOnce(item, item.file.release());
    if (item.failure != platform::LoadFailure::None)
        item.skip = skipReasonFor(item.failure);
}

void DecodePipeline::decodeInTurn(Item& item)
{
    using platform::LoadFailure;
    // The loader takes the descriptor over; a second one lets the file be
    // read again from the start.
    platform::Descriptor spare(::fcntl(item.file.get(), F_DUPFD_CLOEXEC, 0));
    std::unique_lock lock(m_mutex);
    const bool othersRunning = m_decoding > 0;
    ++m_decoding;
    const std::uint64_t begun = ++m_begun;
    lock.unlock();
    item.failure = decodeOnce(item, item.file.release());
    lock.lock();
    --m_decoding;
    const bool beside = othersRunning || m_begun != begun;
    m_decodeEnded.notify_all();
    if (item.failure == LoadFailure::OutOfMemory && beside && spare.isOpen()) {
        // No new decode starts meanwhile; those running end first.
        ++m_waitingAlone;
        while (m_proceed.load() && (m_decoding > 0 || m_alone))
            m_decodeEnded.wait_for(lock, std::chrono::milliseconds(20));
        --m_waitingAlone;
        if (m_proceed.load()) {
            m_alone = true;
            ++m_decoding;
            ++m_begun;
            lock.unlock();
            item.failure = ::lseek(spare.get(), 0, SEEK_SET) == 0
                               ? decodeOnce(item, spare.release())
                               : LoadFailure::ReadError;
            lock.lock();
            --m_decoding;
            m_alone = false;
        } else {
            item.failure = LoadFailure::Stopped;
        }
        m_decodeEnded.notify_all();
        m_workReady.notify_all();
    }
    lock.unlock();
    if (item.failure != LoadFailure::None)
        item.skip = skipReasonFor(item.failure);
}

void DecodePipeline::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workReady.wait(lock, [this] {
            return m_closing || (!m_queue.empty() && m_waitingAlone == 0 && !m_alone);
        });
        if (m_queue.empty())
            return;
        Slot* slot = m_queue.front();
        m_queue.pop_front();
        slot->started = true;
        lock.unlock();
        decodeInTurn(slot->item);
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
