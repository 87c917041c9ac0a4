#pragma once

// Receivers and fixtures shared by the engine's test classes.

#include "engine/TGraphicSearch.h"
#include "support/TestImages.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace ovrin::test {

struct Event {
    enum Kind { Progress, Hit, End, Skip } kind;
    std::string path;
    int rate = 0;
    std::thread::id thread = std::this_thread::get_id();
    bool working = false;   // isWorking() as the end callback saw it
    bool signature = false; // the record already had a signature at progress
    bool fine = false;      // a hit carried its structure fingerprint
};

class Recorder : public TGraphicSearchCallback, public GraphicSearchDiagnostics {
public:
    TGraphicSearch* engine = nullptr;
    std::function<void(const std::string&)> onProgress;
    std::function<void(const std::string&)> onHit;

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override
    {
        Event e{Event::Hit, *info->filePath(), info->matchRate()};
        e.fine = info->fine().has_value();
        add(e);
        if (onHit)
            onHit(*info->filePath());
    }
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override
    {
        Event e{Event::Progress, *info->filePath()};
        e.signature = info->thumbnailCount() != 0;
        add(e);
        if (onProgress)
            onProgress(*info->filePath());
    }
    void searchEndCallback() override
    {
        Event e{Event::End, {}};
        e.working = engine != nullptr && engine->isWorking();
        add(e);
        m_signal.notify_all();
    }
    void skippedCallback(const std::string& path, SkipReason, platform::LoadFailure) override
    {
        add({Event::Skip, path});
    }

    bool waitForEnds(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_signal.wait_for(lock, std::chrono::seconds(120),
                                 [&] { return count_if(Event::End) >= count; });
    }
    int endCount()
    {
        const std::lock_guard lock(m_mutex);
        return count_if(Event::End);
    }
    std::vector<Event> events()
    {
        const std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> paths(Event::Kind kind)
    {
        std::vector<std::string> result;
        for (const Event& e : events())
            if (e.kind == kind)
                result.push_back(e.path);
        return result;
    }
    // The callbacks of the runs so far as one text: "P path", "H rate path",
    // "S path", "E"; the same for two runs exactly when a receiver saw the same.
    std::vector<std::string> transcript()
    {
        std::vector<std::string> lines;
        for (const Event& e : events()) {
            const char* kind[] = {"P ", "H ", "E", "S "};
            lines.push_back(kind[e.kind] +
                            (e.kind == Event::Hit ? std::to_string(e.rate) + " " : "") + e.path);
        }
        return lines;
    }
    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_events.clear();
    }

private:
    void add(const Event& e)
    {
        const std::lock_guard lock(m_mutex);
        m_events.push_back(e);
    }
    int count_if(Event::Kind kind) const
    {
        return static_cast<int>(std::count_if(m_events.begin(), m_events.end(),
                                              [kind](const Event& e) { return e.kind == kind; }));
    }

    std::mutex m_mutex;
    std::condition_variable m_signal;
    std::vector<Event> m_events;
};

// Holds a walk at its first file until the count beside it is through, however
// long a busy machine keeps it behind; its total then, `before` from then on.
inline std::int64_t countedAhead(const TGraphicSearch& engine, std::int64_t before)
{
    while (before < 0 && !engine.fileEstimate().settled)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return before < 0 ? engine.fileEstimate().files : before;
}

// Holds a started worker back until released, so that a test can act while
// the engine is known to be working.
struct Gate {
    std::mutex mutex;
    std::condition_variable signal;
    bool open = false;
    int starts = 0;

    void release()
    {
        {
            const std::lock_guard lock(mutex);
            open = true;
        }
        signal.notify_all();
    }
};

inline TGraphicSearch::ThreadStarter gatedStarter(const std::shared_ptr<Gate>& gate)
{
    return [gate](std::function<void()> body) {
        {
            const std::lock_guard lock(gate->mutex);
            ++gate->starts;
        }
        std::thread([gate, body = std::move(body)] {
            {
                std::unique_lock lock(gate->mutex);
                gate->signal.wait(lock, [&] { return gate->open; });
            }
            body();
        }).detach();
        return true;
    };
}

struct Fixture {
    QTemporaryDir dir;
    QTemporaryDir outside;
    Recorder recorder;
    std::shared_ptr<TGraphicSearch> engine = std::make_shared<TGraphicSearch>(&recorder);
    std::string root = str(dir.path());

    Fixture() { recorder.engine = engine.get(); }
    ~Fixture()
    {
        if (engine)
            engine->join();
    }

    std::string image(const std::string& relative, quint32 seed)
    {
        std::string path = root + "/" + relative;
        writeImage(QString::fromStdString(path), photoLike(48, 36, seed), "png");
        return path;
    }
    std::string text(const std::string& relative, const QByteArray& bytes = "just words")
    {
        std::string path = root + "/" + relative;
        writeText(QString::fromStdString(path), bytes);
        return path;
    }
    // A file under a name taken byte for byte (QString would replace what is not UTF-8).
    std::string rawFile(const std::string& relative, const QByteArray& bytes)
    {
        const std::string path = root + "/" + relative;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const bool wrote =
            fd >= 0 &&
            ::write(fd, bytes.data(), static_cast<std::size_t>(bytes.size())) == bytes.size();
        ::close(fd);
        return wrote ? path : std::string();
    }
    void folder(const std::string& relative)
    {
        QDir(dir.path()).mkpath(QString::fromStdString(relative));
    }
    void link(const std::string& to, const std::string& relative)
    {
        QCOMPARE(::symlink(to.c_str(), (root + "/" + relative).c_str()), 0);
    }
    // A picture outside the walked tree.
    std::string outsideImage(const std::string& name, quint32 seed)
    {
        const QString path = outside.filePath(QString::fromStdString(name));
        writeImage(path, photoLike(20, 20, seed), "png");
        return str(path);
    }

    // Runs a start to its end; false when it was refused or never ended.
    bool run(const std::function<StartResult()>& start)
    {
        const int before = recorder.endCount();
        const bool started = static_cast<bool>(start());
        const bool ended = recorder.waitForEnds(before + 1);
        engine->join(); // the end callback comes just before the worker lets go
        return started && ended;
    }
    bool search()
    {
        return run([this] { return engine->beginSearch(); });
    }
    bool makeIndex(const std::string& top, const std::string& index)
    {
        engine->setTopDirPath(top);
        engine->setIndexFilePath(index);
        return run([this] { return engine->makeIndexFile(); });
    }
    // Every image below `top` hits at bits 0; the target lies outside the tree.
    bool runEverythingHits(const std::string& top)
    {
        engine->target().setFilePath(outsideImage("target.png", 99));
        engine->setTopDirPath(top);
        engine->setBits(0);
        engine->setSearchMethod(SearchMethod::Directory);
        return search();
    }
};

} // namespace ovrin::test

// Each test class of the engine's executable, run one after the other by main.
QObject* makeEngineTests();
QObject* makeIndexTests();
QObject* makeGroupsTests();
QObject* makeActionsTests();
QObject* makeReviewTests();
