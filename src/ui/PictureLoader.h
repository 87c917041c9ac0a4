#pragma once

#include "platform/fs/LoadFailure.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ovrin::ui {

// A picture as the window shows it: reduced to fit a box, with what the file
// says about itself.
struct PictureInfo {
    QImage image;    // no larger than the box asked for; null when there is none
    QSize pixelSize; // of the whole picture, orientation applied; invalid when unknown
    std::int64_t bytes = -1;
    QString format; // "JPEG", "PNG", ...
    // Milliseconds since the epoch; turned into local time on the UI thread
    // only, since the C library's time zone state is not made for threads.
    std::int64_t modifiedMs = -1;
    platform::LoadFailure failure = platform::LoadFailure::None;
};

// Loads pictures for display on a thread of its own, so the window never waits
// for a decoder. Two kinds of request:
// - slots, where a new request replaces the one still waiting in its slot, so
//   a quick run of selection changes never builds a backlog;
// - a bounded queue served newest first (the rows just scrolled into view),
//   whose oldest requests are dropped once it is full.
// Results arrive on the loader's own thread (the UI thread) through the
// signals, in no particular order.
class PictureLoader : public QObject {
    Q_OBJECT

public:
    PictureLoader(int slots, std::size_t queueLimit, QObject* parent = nullptr);
    ~PictureLoader() override;
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    void request(int slot, std::string path, QSize box, std::uint64_t ticket);
    // The same for a picture that is no file (a pasted one): its encoded bytes.
    void request(int slot, std::shared_ptr<const std::vector<std::uint8_t>> picture, QSize box,
                 std::uint64_t ticket);
    void enqueue(std::string path, QSize box);

    // Reads one picture through the search's decoders, within their memory
    // budget, decoding no more than the box needs where the format allows
    // it. An invalid box asks for the picture at its full size, up to 36
    // megapixels; a larger one comes reduced to 2048 points along its longer
    // side (its pixelSize still the whole). Never blocks on FIFOs or devices;
    // a cleared `proceed` ends the decoding within a moment.
    static PictureInfo load(const std::string& path, QSize box,
                            const std::atomic<bool>* proceed = nullptr);
    // The same for encoded bytes held in memory; `bytes` is their size.
    static PictureInfo load(const std::vector<std::uint8_t>& picture, QSize box,
                            const std::atomic<bool>* proceed = nullptr);

Q_SIGNALS:
    void slotLoaded(int slot, std::uint64_t ticket, const ovrin::ui::PictureInfo& info);
    // `dropped`: the request left the queue unserved, so it may be made again.
    void queueLoaded(const QByteArray& path, const QImage& image, bool dropped);

private:
    struct Job {
        std::string path;
        QSize box;
        std::uint64_t ticket = 0;
        std::shared_ptr<const std::vector<std::uint8_t>> picture; // in place of path
    };

    void request(int slot, Job job);
    static void decode(PictureInfo& info, int fd, QSize box, const std::atomic<bool>* proceed,
                       const std::string& path);
    void run();
    void deliverDropped(const std::vector<Job>& jobs);

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::vector<std::optional<Job>> m_slots;
    std::deque<Job> m_queue;
    std::size_t m_queueLimit;
    bool m_quit = false;
    std::atomic<bool> m_proceed{true};
    bool m_started = false;
    std::thread m_thread;
};

} // namespace ovrin::ui
