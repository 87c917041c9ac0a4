#pragma once

#include "cli/CommandLine.h"
#include "engine/TGraphicSearch.h"
#include "engine/TGraphicSearchCallback.h"
#include "output/Formats.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::cli {

// Runs one command on the engine and prints what it reports: hits on `out`,
// messages and a self-rewriting progress line on `err`. A failed write of the
// results stops the run and makes the command fail.
class CliRunner : public TGraphicSearchCallback, public GraphicSearchDiagnostics {
public:
    CliRunner(std::FILE* out, std::FILE* err, bool showProgress);

    ExitCode search(const Options& options, const std::atomic<bool>& interrupted);
    ExitCode index(Options options, const std::atomic<bool>& interrupted);
    ExitCode check(Options options, const std::atomic<bool>& interrupted);
    ExitCode groups(const Options& options, const std::atomic<bool>& interrupted);
    // Prints text on `out`; Failure when it could not be written.
    ExitCode print(const std::string& text);

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override;
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override;
    void searchEndCallback() override;
    void skippedCallback(const std::string& path, SkipReason reason,
                         platform::LoadFailure detail) override;

    // The full path a person means by `path`: made absolute against the
    // working folder, "." parts and doubled slashes dropped, ".." kept (only
    // the system can tell where it leads once links are involved), a final
    // "/" kept. No value when the path is relative and the working folder
    // could not be told (it was removed, say).
    static std::optional<std::string> absolutePath(const std::string& path,
                                                   const std::optional<std::string>& workingFolder);
    // One terminal line: control characters made visible, the path shortened
    // from the left to fit `width` columns.
    static std::string progressLine(std::uint64_t examined, std::uint64_t hits,
                                    const std::string& path, std::size_t width);
    // One group as the formats give it (TSV: a block, the reference first).
    // A member under one of `protectedFolders` is told as never to be
    // removed: "protected" for its rate in TSV, its role in CSV, and
    // "protected":true on its JSON object. `withOrientation`: each member's
    // orientation too, for a grouping of any orientation.
    static std::string formatGroup(const LookAlikeResult& result, std::size_t number,
                                   OutputFormat format,
                                   const std::vector<std::string>& protectedFolders = {},
                                   bool withOrientation = false);
    // "12 files skipped (8 not pictures, 4 unreadable names)".
    static std::string skippedText(const RunSummary& summary);
    // Entries whose files changed or went since the index was written.
    static std::string staleText(const RunSummary& summary);
    // ", 3 left out by --exclude", or nothing when none was.
    static std::string excludedText(const RunSummary& summary);

private:
    class InterruptWatch;

    // Waits for the end callback; stops the engine on an interrupt or a failed
    // write, and joins it in every case.
    void waitForEnd(TGraphicSearch& engine, const std::atomic<bool>& interrupted);
    // A new engine with the options' settings and source (a folder, or an index
    // file that passed the index check); false after a load error.
    bool setUpEngine(Options options);
    // The picture piped in as the engine's target; false when there is none,
    // said (or interrupted).
    bool takeStandardInput(const std::atomic<bool>& interrupted);
    // Every path of the options made absolute; false, said, when that cannot be.
    bool makePathsAbsolute(Options& options);
    bool writeLocked(std::string text);
    ExitCode finishOutput();
    ExitCode refused(const StartResult& result);
    void loadError(const std::string& detail);
    void message(const std::string& text);
    void clearProgressLocked();
    std::size_t terminalWidth() const;

    std::FILE* m_out;
    std::FILE* m_err;
    const bool m_showProgress;
    Options m_options;
    std::shared_ptr<TGraphicSearch> m_engine;
    std::atomic<bool> m_proceed{true}; // cleared on an interrupt

    std::mutex m_outputLock;
    std::uint64_t m_examined = 0;
    std::uint64_t m_hits = 0;
    bool m_progressShown = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
    std::vector<output::Hit> m_sorted; // --sort: printed at the end
    int m_writeError = 0;              // error number of the first failed write of the results
    std::string m_header;              // written before the first hit

    std::mutex m_endLock;
    std::condition_variable m_endSignal;
    bool m_ended = false;
};

} // namespace ovrin::cli
