#include "ui/PictureLoader.h"

#include "platform/fs/FileManager.h"
#include "platform/imaging/ImageLoader.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ovrin::ui {

using platform::FileManager;
using platform::LoadFailure;

PictureLoader::PictureLoader(int slots, std::size_t queueLimit, QObject* parent)
    : QObject(parent), m_slots(static_cast<std::size_t>(std::max(slots, 0))),
      m_queueLimit(queueLimit)
{}

PictureLoader::~PictureLoader()
{
    m_proceed.store(false);
    {
        const std::lock_guard lock(m_lock);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void PictureLoader::request(int slot, std::string path, QSize box, std::uint64_t ticket)
{
    request(slot, Job{std::move(path), box, ticket, nullptr});
}

void PictureLoader::request(int slot, std::shared_ptr<const std::vector<std::uint8_t>> picture,
                            QSize box, std::uint64_t ticket)
{
    request(slot, Job{{}, box, ticket, std::move(picture)});
}

void PictureLoader::request(int slot, Job job)
{
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_slots.size())
        return;
    {
        const std::lock_guard lock(m_lock);
        m_slots[static_cast<std::size_t>(slot)] = std::move(job);
        if (!m_started) {
            try {
                m_thread = std::thread(&PictureLoader::run, this);
                m_started = true;
            } catch (const std::system_error&) {
                // Without a thread the window shows no pictures but stays usable.
                m_slots[static_cast<std::size_t>(slot)].reset();
                return;
            }
        }
    }
    m_wake.notify_one();
}

void PictureLoader::enqueue(std::string path, QSize box)
{
    std::vector<Job> dropped;
    {
        const std::lock_guard lock(m_lock);
        if (!m_started) {
            try {
                m_thread = std::thread(&PictureLoader::run, this);
                m_started = true;
            } catch (const std::system_error&) {
                dropped.push_back(Job{path, box, 0, nullptr});
            }
        }
        if (m_started) {
            m_queue.push_back(Job{std::move(path), box, 0, nullptr});
            while (m_queue.size() > m_queueLimit) {
                dropped.push_back(std::move(m_queue.front()));
                m_queue.pop_front();
            }
        }
    }
    m_wake.notify_one();
    deliverDropped(dropped);
}

void PictureLoader::deliverDropped(const std::vector<Job>& jobs)
{
    // Requests come from painting; their answers never re-enter it.
    for (const Job& job : jobs)
        QMetaObject::invokeMethod(
            this,
            [this, path = QByteArray::fromStdString(job.path)] {
                Q_EMIT queueLoaded(path, QImage(), true);
            },
            Qt::QueuedConnection);
}

void PictureLoader::run()
{
    for (;;) {
        Job job;
        int slot = -1;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] {
                if (m_quit || !m_queue.empty())
                    return true;
                for (const auto& waiting : m_slots)
                    if (waiting)
                        return true;
                return false;
            });
            if (m_quit)
                return;
            for (std::size_t i = 0; i < m_slots.size() && slot < 0; ++i) {
                if (m_slots[i]) {
                    job = std::move(*m_slots[i]);
                    m_slots[i].reset();
                    slot = static_cast<int>(i);
                }
            }
            if (slot < 0) {
                job = std::move(m_queue.back());
                m_queue.pop_back();
            }
        }
        PictureInfo info = job.picture ? load(*job.picture, job.box, &m_proceed)
                                       : load(job.path, job.box, &m_proceed);
        // Posted to this object: should it be gone by then, the result goes with it.
        if (slot >= 0) {
            QMetaObject::invokeMethod(
                this,
                [this, slot, ticket = job.ticket, info = std::move(info)] {
                    Q_EMIT slotLoaded(slot, ticket, info);
                },
                Qt::QueuedConnection);
        } else {
            QMetaObject::invokeMethod(
                this,
                [this, path = QByteArray::fromStdString(job.path), image = std::move(info.image)] {
                    Q_EMIT queueLoaded(path, image, false);
                },
                Qt::QueuedConnection);
        }
    }
}

PictureInfo PictureLoader::load(const std::string& path, QSize box,
                                const std::atomic<bool>* proceed)
{
    PictureInfo info;
    LoadFailure why = LoadFailure::None;
    const int fd = FileManager::openRegularFile(path, O_RDONLY | O_CLOEXEC, &why);
    if (fd < 0) {
        info.failure = why == LoadFailure::None ? LoadFailure::Missing : why;
        return info;
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        info.bytes = static_cast<std::int64_t>(status.st_size);
        info.modifiedMs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000 +
                          status.st_mtim.tv_nsec / 1'000'000;
    }
    decode(info, fd, box, proceed, path);
    return info;
}

PictureInfo PictureLoader::load(const std::vector<std::uint8_t>& picture, QSize box,
                                const std::atomic<bool>* proceed)
{
    PictureInfo info;
    LoadFailure why = LoadFailure::None;
    const int fd = FileManager::memoryFile(picture.data(), picture.size(), &why);
    if (fd < 0) {
        info.failure = why;
        return info;
    }
    info.bytes = static_cast<std::int64_t>(picture.size());
    decode(info, fd, box, proceed, {});
    return info;
}

void PictureLoader::decode(PictureInfo& info, int fd, QSize box, const std::atomic<bool>* proceed,
                           const std::string& path)
{
    // Through the search's own decoders, so the window shows every picture
    // the search reads, as it read it. The box holds whichever way the
    // picture turns; the toolkit fits the result into its shape.
    const int longSide = box.isValid() ? std::max(box.width(), box.height()) : 0;
    const platform::LoadResult loaded =
        platform::ImageLoader::loadForDisplay(fd, longSide, proceed, path);
    if (!loaded.raster) {
        info.failure = loaded.failure;
        return;
    }
    const platform::ThumbnailRaster& raster = *loaded.raster;
    QImage image(raster.width(), raster.height(), QImage::Format_RGB888);
    if (image.isNull()) {
        info.failure = LoadFailure::OutOfMemory;
        return;
    }
    const auto line = static_cast<std::size_t>(raster.width()) * 3;
    for (int y = 0; y < raster.height(); ++y)
        std::memcpy(image.scanLine(y), raster.rgb().data() + static_cast<std::size_t>(y) * line,
                    line);
    if (box.isValid() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    info.image = std::move(image);
    info.pixelSize = loaded.width > 0 && loaded.height > 0
                         ? QSize(static_cast<int>(loaded.width), static_cast<int>(loaded.height))
                         : QSize(raster.width(), raster.height());
    info.format = QString::fromStdString(loaded.format);
}

} // namespace ovrin::ui
