#include "ui/PictureLoader.h"

#include "platform/fs/FileManager.h"
#include "platform/imaging/ImageLoader.h"

#include <QBuffer>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace ovrin::ui {

using platform::FileManager;
using platform::LoadFailure;

namespace {

// Formats whose reader decodes straight at a reduced size; any other decodes
// the whole picture first.
bool decodesReduced(const QByteArray& format)
{
    return format == "jpeg" || format == "jpg";
}

// Even a reduced decoding keeps buffers that grow with the picture (the
// coefficients of a progressive JPEG), so headers claiming more are refused.
constexpr std::int64_t kReducedDecodeBudget = 150'000'000;

} // namespace

PictureLoader::PictureLoader(int slots, std::size_t queueLimit, QObject* parent)
    : QObject(parent), m_slots(static_cast<std::size_t>(std::max(slots, 0))),
      m_queueLimit(queueLimit)
{}

PictureLoader::~PictureLoader()
{
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
    if (slot < 0 || static_cast<std::size_t>(slot) >= m_slots.size())
        return;
    {
        const std::lock_guard lock(m_lock);
        m_slots[static_cast<std::size_t>(slot)] = Job{std::move(path), box, ticket};
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
                dropped.push_back(Job{path, box, 0});
            }
        }
        if (m_started) {
            m_queue.push_back(Job{std::move(path), box, 0});
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
        PictureInfo info = load(job.path, job.box);
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

PictureInfo PictureLoader::load(const std::string& path, QSize box)
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
    if (const LoadFailure check = FileManager::checkOpenFile(fd); check != LoadFailure::None) {
        ::close(fd);
        info.failure = check;
        return info;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        info.failure = LoadFailure::ReadError;
        return info;
    }
    QImageReader reader(&file);
    const QByteArray format = reader.format();
    if (format.isEmpty()) {
        info.failure = LoadFailure::NotAnImage;
        return info;
    }
    // The toolkit's SVG reader opens any file a drawing names, a FIFO or a
    // device too, and would wait on it for ever: it is given the document
    // without those names, as the search reads it.
    QBuffer drawing;
    if (format.startsWith("svg")) {
        const std::optional<std::string> document =
            platform::ImageLoader::safeDrawing(file.handle());
        if (!document) {
            info.failure = LoadFailure::NotAnImage;
            return info;
        }
        drawing.setData(QByteArray::fromStdString(*document));
        drawing.open(QIODevice::ReadOnly);
        reader.setDevice(&drawing);
        reader.setFormat("svg");
    }
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    info.format = QString::fromLatin1(format).toUpper();
    if (!stored.isValid()) {
        // A reader that cannot tell the size before decoding is held by Qt's
        // own allocation limit; the picture is reduced afterwards.
        info.image = reader.read();
        if (info.image.isNull()) {
            info.failure = LoadFailure::NotAnImage;
            return info;
        }
        info.pixelSize = info.image.size();
        if (box.isValid() &&
            (info.image.width() > box.width() || info.image.height() > box.height()))
            info.image = info.image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return info;
    }
    const bool turned = (reader.transformation() & QImageIOHandler::TransformationRotate90) != 0;
    info.pixelSize = turned ? stored.transposed() : stored;

    // The reader scales before it turns the picture.
    const QSize fit = turned ? box.transposed() : box;
    const bool reduced =
        fit.isValid() && (stored.width() > fit.width() || stored.height() > fit.height());
    // Decoded at its full size, any format holds the whole picture in memory.
    const std::int64_t pixels = std::int64_t{stored.width()} * stored.height();
    if (pixels > (reduced && decodesReduced(format) ? kReducedDecodeBudget : kFullDecodeBudget)) {
        info.failure = LoadFailure::TooLarge;
        return info;
    }
    if (reduced)
        reader.setScaledSize(stored.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    info.image = reader.read();
    if (info.image.isNull())
        info.failure = LoadFailure::NotAnImage;
    return info;
}

} // namespace ovrin::ui
