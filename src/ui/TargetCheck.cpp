#include "ui/TargetCheck.h"

#include "engine/RunContext.h"
#include "platform/imaging/ImageLoader.h"
#include "signature/TFileInfo.h"

#include <QBuffer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace ovrin::ui {

namespace {

platform::LoadFailure decodeTarget(const std::string& path, std::int32_t pixelNumber,
                                   const std::atomic<bool>& proceed,
                                   std::vector<std::int16_t>& signature,
                                   std::optional<FineSignature>& fine)
{
    TFileInfo info(path);
    const platform::LoadFailure failure = info.loadThumbnail(pixelNumber, &proceed);
    if (failure == platform::LoadFailure::None) {
        signature = info.thumbnail();
        fine = info.fine();
    }
    return failure;
}

std::mutex g_decoderLock;
TargetCheck::Decoder g_decoder;

// A decoded picture as PNG bytes, quickly compressed: it is held only
// while it is the target. One that would not fit the decode budget as
// pixels is refused before any work.
platform::LoadFailure encodePng(const QImage& image,
                                std::shared_ptr<const std::vector<std::uint8_t>>& bytes)
{
    if (image.isNull())
        return platform::LoadFailure::NotAnImage;
    if (image.sizeInBytes() > platform::ImageLoader::kDecodeBudget)
        return platform::LoadFailure::TooLarge;
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    // Quality 80 is the format's fastest compression that still compresses.
    if (!image.save(&buffer, "PNG", 80))
        return platform::LoadFailure::OutOfMemory;
    bytes = std::make_shared<const std::vector<std::uint8_t>>(encoded.begin(), encoded.end());
    return platform::LoadFailure::None;
}

TargetCheck::Decoder currentDecoder()
{
    const std::lock_guard lock(g_decoderLock);
    return g_decoder ? g_decoder : TargetCheck::Decoder(decodeTarget);
}

} // namespace

struct TargetCheck::Job {
    std::atomic<bool> proceed{true};
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    Verdict verdict;
};

TargetCheck::TargetCheck(QObject* parent) : QObject(parent) {}

TargetCheck::~TargetCheck()
{
    cancel();
    reap(true);
}

void TargetCheck::setDecoder(Decoder decoder)
{
    const std::lock_guard lock(g_decoderLock);
    g_decoder = std::move(decoder);
}

void TargetCheck::start(std::vector<std::string> candidates, std::int32_t pixelNumber, Done done,
                        int waitMs)
{
    launch(
        [candidates = std::move(candidates), pixelNumber,
         decode = currentDecoder()](const std::atomic<bool>& proceed) {
            Verdict verdict;
            for (auto it = candidates.rbegin(); it != candidates.rend() && proceed.load(); ++it) {
                std::vector<std::int16_t> signature;
                std::optional<FineSignature> fine;
                const platform::LoadFailure failure =
                    decode(*it, pixelNumber, proceed, signature, fine);
                if (failure == platform::LoadFailure::None) {
                    verdict.target = *it;
                    verdict.signature = std::move(signature);
                    verdict.fine = fine;
                    break;
                }
                verdict.refused.emplace_back(*it, failure);
            }
            return verdict;
        },
        std::move(done), waitMs);
}

void TargetCheck::start(Picture picture, std::int32_t pixelNumber, Done done, int waitMs)
{
    launch(
        [picture = std::move(picture), pixelNumber](const std::atomic<bool>& proceed) {
            Verdict verdict;
            std::shared_ptr<const std::vector<std::uint8_t>> bytes = picture.bytes;
            platform::LoadFailure failure = platform::LoadFailure::None;
            if (!bytes)
                failure = encodePng(picture.image, bytes);
            if (failure == platform::LoadFailure::None && !proceed.load())
                failure = platform::LoadFailure::Stopped;
            TFileInfo info(std::string{});
            if (failure == platform::LoadFailure::None)
                failure = loadTarget(info, bytes.get(), pixelNumber, &proceed);
            if (failure == platform::LoadFailure::None) {
                verdict.picture = std::move(bytes);
                verdict.signature = info.thumbnail();
                verdict.fine = info.fine();
            } else {
                verdict.refused.emplace_back(std::string(), failure);
            }
            return verdict;
        },
        std::move(done), waitMs);
}

void TargetCheck::launch(std::function<Verdict(const std::atomic<bool>& proceed)> work, Done done,
                         int waitMs)
{
    cancel();
    reap(false);
    const std::uint64_t ticket = ++m_ticket;
    auto job = std::make_shared<Job>();
    const auto body = [this, job, ticket, work = std::move(work)] {
        Verdict verdict = work(job->proceed);
        {
            const std::lock_guard lock(job->lock);
            job->finished = true;
            job->verdict = verdict;
        }
        job->ended.notify_all();
        // The destructor joins this thread before the object goes, and
        // events still queued for it go with it.
        QMetaObject::invokeMethod(
            this,
            [this, ticket, verdict = std::move(verdict)]() mutable {
                deliver(ticket, std::move(verdict));
            },
            Qt::QueuedConnection);
    };
    m_done = std::move(done);
    m_job = job;
    try {
        m_threads.emplace_back(job, std::thread(body));
    } catch (const std::system_error&) {
        // Without a thread the check runs here: a slow picture holds the
        // window, but the answer is the same.
        m_threads.emplace_back(job, std::thread());
        body();
    }
    std::unique_lock lock(job->lock);
    if (job->ended.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)),
                            [&job] { return job->finished; })) {
        Verdict verdict = std::move(job->verdict);
        lock.unlock();
        deliver(ticket, std::move(verdict));
    }
}

void TargetCheck::deliver(std::uint64_t ticket, Verdict verdict)
{
    if (ticket != m_ticket || !m_done)
        return; // cancelled, replaced, or given already
    Done done = std::move(m_done);
    m_done = nullptr;
    m_job.reset();
    done(std::move(verdict));
}

void TargetCheck::cancel()
{
    ++m_ticket;
    m_done = nullptr;
    if (m_job)
        m_job->proceed.store(false);
    m_job.reset();
}

void TargetCheck::reap(bool all)
{
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        bool finished = all;
        if (!finished) {
            const std::lock_guard lock(it->first->lock);
            finished = it->first->finished;
        }
        if (!finished) {
            ++it;
            continue;
        }
        if (it->second.joinable())
            it->second.join();
        it = m_threads.erase(it);
    }
}

} // namespace ovrin::ui
