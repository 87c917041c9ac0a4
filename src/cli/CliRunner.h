#pragma once

#include "cli/CommandLine.h"
#include "engine/TGraphicSearch.h"
#include "engine/TGraphicSearchCallback.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace ovrin::cli {

// Runs one command on the engine and prints what it reports: hits on `out`,
// a self-rewriting progress line on `err` when asked to. Every command answers
// its exit status: 0 ran to its end, 1 a file could not be loaded or written,
// 2 a folder that is none, 130 interrupted.
class CliRunner : public TGraphicSearchCallback {
public:
    CliRunner(std::FILE* out, std::FILE* err, bool showProgress);

    int search(const Options& options, const std::atomic<bool>& interrupted);
    int index(const Options& options, const std::atomic<bool>& interrupted);
    int check(const Options& options);

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override;
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override;
    void searchEndCallback() override;

    // The full path a person means by `path`, without resolving links.
    static std::string absolutePath(const std::string& path);
    // One terminal line: control characters made visible, the path shortened
    // from the left to fit `width` columns.
    static std::string progressLine(std::uint64_t examined, std::uint64_t hits,
                                    const std::string& path, std::size_t width);

    // Pictures an index file holds: thumbnails under a readable, non-empty path.
    static std::int64_t countIndexedImages(const std::string& indexPath);

private:
    // Waits for the end callback; true when interrupted first (the engine is
    // then stopped and joined all the same).
    bool waitForEnd(TGraphicSearch& engine, const std::atomic<bool>& interrupted);
    bool checkFolder(const std::string& given, std::string& absolute);
    void loadError(const std::string& path);
    void clearProgressLocked();
    std::size_t terminalWidth() const;

    std::FILE* m_out;
    std::FILE* m_err;
    const bool m_showProgress;

    std::mutex m_outputLock;
    std::uint64_t m_examined = 0;
    std::uint64_t m_hits = 0;
    bool m_progressShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};

    std::mutex m_endLock;
    std::condition_variable m_endSignal;
    bool m_ended = false;
};

} // namespace ovrin::cli
