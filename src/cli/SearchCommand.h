#pragma once

#include "CommandLine.h"
#include "TGraphicSearchCallback.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace ovrin::cli {

// Runs one folder search on the engine and prints what it reports: hits on
// `out`, a self-rewriting progress line on `err` when asked to.
class SearchCommand : public TGraphicSearchCallback {
public:
    SearchCommand(std::FILE* out, std::FILE* err, bool showProgress);

    // Exit status: 0 finished, 1 refused, 2 bad folder, 130 interrupted.
    int run(const SearchOptions& options, const std::atomic<bool>& interrupted);

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override;
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override;
    void searchEndCallback() override;

    // The full path a person means by `path`, without resolving links.
    static std::string absolutePath(const std::string& path);
    // One terminal line: control characters made visible, the path shortened
    // from the left to fit `width` columns.
    static std::string progressLine(std::uint64_t examined, std::uint64_t hits,
                                    const std::string& path, std::size_t width);

private:
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
