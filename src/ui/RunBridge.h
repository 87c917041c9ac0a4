#pragma once

#include "engine/RunSummary.h"
#include "engine/TGraphicSearchCallback.h"
#include "platform/fs/FileManager.h"
#include "ui/HitListModel.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {
class TGraphicSearch;
struct LookAlikeResult;
} // namespace ovrin

namespace ovrin::ui {

// Where the engine's runs meet the window. It makes the engine and is its
// receiver, so that it is there for every callback of every run; its
// destructor waits for the worker. Callbacks arrive on the run thread and are
// handed to the UI thread without ever waiting for it: hits are gathered
// under a lock and the first of a batch queues one flush, progress keeps only
// the latest path and is told a few times a second, and the end is queued
// behind the run's hits. Every signal is sent on the UI thread. A run is
// numbered when it begins; the end of an earlier run that was still queued
// is dropped, and so are its hits that were still waiting.
class RunBridge : public QObject, public TGraphicSearchCallback {
    Q_OBJECT

public:
    explicit RunBridge(QObject* parent = nullptr);
    ~RunBridge() override;
    RunBridge(const RunBridge&) = delete;
    RunBridge& operator=(const RunBridge&) = delete;

    const std::shared_ptr<TGraphicSearch>& engine() const { return m_engine; }

    // On the UI thread, before the engine is asked to start: a new run's
    // number, counts and waiting hits, its hits told against this target
    // (the same path, or the same file under another name).
    void beginRun(std::string targetPath, std::optional<platform::FileIdentity> targetIdentity);
    // The run's number: whatever was handed out under an older one is over.
    std::uint64_t generation() const { return m_generation.load(); }
    // What the run has reported so far; any thread.
    std::int64_t examined() const { return m_examined.load(); }
    std::int64_t hitCount() const { return m_hitCount.load(); }

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override;
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override;
    void searchEndCallback() override;

Q_SIGNALS:
    // Hits in the order the engine reported them, possibly none; a run's last
    // batch comes right before its end.
    void hitsArrived(const std::vector<HitRecord>& hits);
    // While a run goes on, every quarter of a second: the file in hand when
    // one was reported since the last time.
    void progressed(const std::optional<std::string>& path);
    // Once per start; the counts are at least what the callbacks counted. A
    // start the engine refused ends within the start itself.
    void runEnded(const RunSummary& summary, const std::shared_ptr<const LookAlikeResult>& groups);

private:
    HitRecord recordFor(const std::shared_ptr<TFileInfo>& info) const;
    void flushHits();
    void tell();
    void endOfRun(std::uint64_t generation, RunSummary summary,
                  const std::shared_ptr<const LookAlikeResult>& groups);

    std::shared_ptr<TGraphicSearch> m_engine;
    QTimer m_progressTimer;
    std::atomic<std::uint64_t> m_generation{0};

    // Set before a run starts, read by its callbacks.
    std::string m_targetPath;
    std::optional<platform::FileIdentity> m_targetIdentity;

    // Handed over from the worker.
    std::mutex m_handoverLock;
    std::vector<HitRecord> m_pendingHits;
    std::optional<std::string> m_latestPath;
    std::atomic<std::int64_t> m_examined{0};
    std::atomic<std::int64_t> m_hitCount{0};
};

} // namespace ovrin::ui
