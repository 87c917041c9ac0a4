#include "cli/CliRunner.h"

#include "engine/Exclusions.h"
#include "indexfile/IndexReader.h"
#include "output/NameText.h"
#include "output/Utf8.h"
#include "platform/fs/FileManager.h"
#include "platform/fs/SystemError.h"
#include "platform/imaging/ImageLoader.h"
#include "signature/TFileInfo.h"

#include <algorithm>
#include <cstdlib>
#include <sys/ioctl.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace ovrin::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kInterruptPoll = std::chrono::milliseconds(50);

// The target that names no file but the picture piped in, and its name in messages.
constexpr std::string_view kStandardInput = "-";
constexpr const char* kStandardInputName = "(standard input)";

using output::escapePath;

// Bytes of the character at text[at]; a byte that starts none counts alone.
std::size_t characterLength(const std::string& text, std::size_t at)
{
    return std::max<std::size_t>(output::utf8At(text, at).length, 1);
}

std::string skipText(SkipReason reason, platform::LoadFailure detail)
{
    switch (reason) {
    case SkipReason::NameNotUtf8:
        return "its name is not UTF-8, which the index stores";
    case SkipReason::FolderRepeated:
        return "a folder already walked through other links";
    case SkipReason::FolderUnlistable:
        return std::string("the folder cannot be listed (") +
               platform::describeLoadFailure(detail) + ")";
    default:
        return platform::describeLoadFailure(detail);
    }
}

} // namespace

// Whatever the main thread is busy with (decoding the target, walking a long
// index), an interrupt reaches the engine and the reading loops within a few
// milliseconds: the signal handler can only set a flag, this turns it into a
// stop.
class CliRunner::InterruptWatch {
public:
    InterruptWatch(CliRunner& runner, const std::atomic<bool>& interrupted)
    {
        try {
            m_thread = std::jthread([&runner, &interrupted](const std::stop_token& done) {
                while (!done.stop_requested()) {
                    if (interrupted.load()) {
                        runner.m_proceed.store(false);
                        if (runner.m_engine)
                            runner.m_engine->stop();
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: an interrupt then waits for the next check.
        }
    }

private:
    std::jthread m_thread;
};

CliRunner::CliRunner(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress)
{}

std::optional<std::string> CliRunner::absolutePath(const std::string& path,
                                                   const std::optional<std::string>& workingFolder)
{
    std::string joined = path;
    if (path.empty() || path.front() != '/') {
        if (!workingFolder)
            return std::nullopt;
        joined = *workingFolder + "/" + path;
    }
    std::string text;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', start), joined.size());
        const std::string_view part(joined.data() + start, slash - start);
        if (!part.empty() && part != ".")
            text.append("/").append(part);
        start = slash + 1;
    }
    // "name/" and "name/." name a folder; that must not be lost.
    const bool folderMark =
        !path.empty() && (path.back() == '/' || path.ends_with("/.") || path == ".");
    if (text.empty())
        return std::string("/");
    return folderMark ? text + "/" : text;
}

bool CliRunner::makePathsAbsolute(Options& options)
{
    int error = 0;
    const std::optional<std::string> here = platform::FileManager::workingFolder(&error);
    const auto absolutePath = [&here](const std::string& path) {
        return CliRunner::absolutePath(path, here);
    };
    const auto cannotTell = [this, error] {
        message("ovrin-cli: cannot tell the current folder: " + platform::systemMessage(error) +
                "\n");
        return false;
    };
    for (std::optional<std::string>* path : {&options.directory, &options.indexFile}) {
        if (!*path)
            continue;
        const auto absolute = absolutePath(**path);
        if (!absolute)
            return cannotTell();
        *path = absolute;
    }
    for (std::vector<std::string>* folders : {&options.preferred, &options.protectedFolders})
        for (std::string& folder : *folders) {
            const auto absolute = absolutePath(folder);
            if (!absolute)
                return cannotTell();
            // Compared with the pictures' paths as a folder: without a final "/".
            folder = absolute->size() > 1 && absolute->back() == '/'
                         ? absolute->substr(0, absolute->size() - 1)
                         : *absolute;
        }
    for (std::string& folder : options.excludeFolders) {
        // "~" is the shell's, passed on where it was not expanded (--exclude=~/x).
        const char* home = std::getenv("HOME");
        if ((folder == "~" || folder.starts_with("~/")) && home != nullptr && *home == '/')
            folder.replace(0, 1, home);
        const auto absolute = absolutePath(folder);
        if (!absolute)
            return cannotTell();
        // Compared with the paths the walk builds, which hold no "..".
        folder.clear();
        std::size_t start = 1;
        while (start <= absolute->size()) {
            const std::size_t slash = std::min(absolute->find('/', start), absolute->size());
            const std::string_view part(absolute->data() + start, slash - start);
            if (part == "..")
                folder.resize(std::min(folder.size(), folder.rfind('/')));
            else if (!part.empty())
                folder.append("/").append(part);
            start = slash + 1;
        }
        if (folder.empty())
            folder = "/";
    }
    if (!options.target.empty() && options.target != kStandardInput) {
        const auto absolute = absolutePath(options.target);
        if (!absolute)
            return cannotTell();
        options.target = *absolute;
    }
    return true;
}

std::string CliRunner::progressLine(std::uint64_t examined, std::uint64_t hits,
                                    const std::string& path, std::size_t width)
{
    std::string head = std::to_string(examined) + " examined, " + std::to_string(hits) +
                       (hits == 1 ? " hit: " : " hits: ");
    const std::string shown = escapePath(path);
    // Count columns as code points; cut whole characters off the front.
    const auto columns = [](const std::string& s) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < s.size(); i += characterLength(s, i))
            ++n;
        return n;
    };
    if (width <= head.size() + 4)
        return head.substr(0, width > 0 ? width - 1 : 0);
    const std::size_t room = width - 1 - head.size();
    if (columns(shown) <= room)
        return head + shown;
    std::size_t cut = 0;
    std::size_t excess = columns(shown) - (room - 3);
    for (; cut < shown.size() && excess > 0; --excess)
        cut += characterLength(shown, cut);
    return head + "..." + shown.substr(cut);
}

std::string CliRunner::skippedText(const RunSummary& summary)
{
    std::string text = std::to_string(summary.skippedTotal()) + " files skipped";
    std::string parts;
    for (int i = 0; i < kSkipReasonCount; ++i) {
        if (summary.skipped[static_cast<std::size_t>(i)] == 0)
            continue;
        parts += (parts.empty() ? "" : ", ") +
                 std::to_string(summary.skipped[static_cast<std::size_t>(i)]) + " " +
                 describeSkipReason(static_cast<SkipReason>(i));
    }
    return parts.empty() ? text : text + " (" + parts + ")";
}

std::string CliRunner::excludedText(const RunSummary& summary)
{
    return summary.excluded == 0
               ? std::string()
               : ", " + std::to_string(summary.excluded) + " left out by --exclude";
}

std::string CliRunner::staleText(const RunSummary& summary)
{
    return "stale index entries: " + std::to_string(summary.redecoded) +
           " decoded again (changed since indexed), " + std::to_string(summary.leftOut) +
           " left out (vanished or unreadable); an index update brings them up to date";
}

std::size_t CliRunner::terminalWidth() const
{
    winsize size{};
    if (::ioctl(::fileno(m_err), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void CliRunner::clearProgressLocked()
{
    if (m_progressShown) {
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
        m_progressShown = false;
    }
}

void CliRunner::message(const std::string& text)
{
    const std::lock_guard lock(m_outputLock);
    clearProgressLocked();
    std::fputs(text.c_str(), m_err);
    std::fflush(m_err);
}

bool CliRunner::writeLocked(std::string text)
{
    if (m_writeError != 0)
        return false;
    if (!m_header.empty()) {
        text.insert(0, m_header);
        m_header.clear();
    }
    if (const int error = platform::FileManager::writeToStream(m_out, text); error != 0) {
        m_writeError = error;
        if (m_engine)
            m_engine->stop(); // nobody would read the rest
        return false;
    }
    return true;
}

ExitCode CliRunner::print(const std::string& text)
{
    {
        const std::lock_guard lock(m_outputLock);
        writeLocked(text);
    }
    return finishOutput();
}

ExitCode CliRunner::finishOutput()
{
    int error = 0;
    {
        const std::lock_guard lock(m_outputLock);
        if (m_writeError == 0)
            m_writeError = platform::FileManager::flushStream(m_out);
        error = m_writeError;
    }
    if (error == 0)
        return ExitCode::Ok;
    message(std::string("ovrin-cli: cannot write the results: ") + platform::systemMessage(error) +
            "\n");
    return ExitCode::Failure;
}

void CliRunner::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
{
    output::Hit hit;
    hit.rate = info->matchRate();
    hit.path = info->filePath().value_or(std::string());
    if (m_options.anyOrientation)
        hit.orientation = orientationName(info->orientation());
    if (m_engine)
        hit.likeness = TFileInfo::likeness(m_engine->target(), *info);
    const std::lock_guard lock(m_outputLock);
    ++m_hits;
    if (m_options.sort) {
        m_sorted.push_back(std::move(hit));
        return;
    }
    clearProgressLocked();
    writeLocked(output::formatHit(hit, m_options.format, m_options.nullTerminated));
}

void CliRunner::progressCallback(const std::shared_ptr<TFileInfo>& info)
{
    const std::lock_guard lock(m_outputLock);
    ++m_examined;
    if (!m_showProgress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_progressShown && now - m_lastDraw < kRedrawInterval)
        return;
    m_lastDraw = now;
    const std::string line =
        progressLine(m_examined, m_hits, info->filePath().value_or(std::string()), terminalWidth());
    std::fprintf(m_err, "\r\033[K%s", line.c_str());
    std::fflush(m_err);
    m_progressShown = true;
}

void CliRunner::skippedCallback(const std::string& path, SkipReason reason,
                                platform::LoadFailure detail)
{
    if (m_options.verbose)
        message("ovrin-cli: skipped " + escapePath(path) + ": " + skipText(reason, detail) + "\n");
}

void CliRunner::searchEndCallback()
{
    {
        const std::lock_guard lock(m_endLock);
        m_ended = true;
    }
    m_endSignal.notify_all();
}

void CliRunner::waitForEnd(TGraphicSearch& engine, const std::atomic<bool>& interrupted)
{
    {
        std::unique_lock lock(m_endLock);
        while (!m_ended) {
            m_endSignal.wait_for(lock, kInterruptPoll);
            if (interrupted.load())
                engine.stop();
            if (m_showProgress && engine.groupingProgress().pairsTotal.load() > 0) {
                const auto& grouping = engine.groupingProgress();
                const double done = static_cast<double>(grouping.pairsCompared.load() +
                                                        grouping.pairsPruned.load());
                char line[96];
                std::snprintf(line, sizeof line,
                              "\r\033[Kcomparing: %.0f%% of the pairs, %llu groups",
                              100.0 * done / static_cast<double>(grouping.pairsTotal.load()),
                              static_cast<unsigned long long>(grouping.groups.load()));
                const std::lock_guard output(m_outputLock);
                std::fputs(line, m_err);
                std::fflush(m_err);
                m_progressShown = true;
            }
        }
    }
    // Lets the worker return from its end callback.
    engine.join();
    const std::lock_guard lock(m_outputLock);
    clearProgressLocked();
}

ExitCode CliRunner::refused(const StartResult& result)
{
    message("ovrin-cli: " + escapePath(result.sentence) + "\n");
    return ExitCode::Failure;
}

void CliRunner::loadError(const std::string& detail)
{
    message("File load error.\n" + escapePath(detail) + "\n");
}

bool CliRunner::takeStandardInput(const std::atomic<bool>& interrupted)
{
    // Nobody types a picture: waiting on a terminal would look like a hang.
    if (::isatty(STDIN_FILENO) == 1) {
        loadError(std::string(kStandardInputName) + ": a terminal; pipe a picture into it");
        return false;
    }
    // Held whole in memory, so bounded like a decode.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    if (const auto failure = platform::FileManager::readStream(
            STDIN_FILENO, platform::ImageLoader::kDecodeBudget, *bytes, &interrupted);
        failure != platform::LoadFailure::None) {
        if (failure != platform::LoadFailure::Stopped)
            loadError(std::string(kStandardInputName) + ": " +
                      platform::describeLoadFailure(failure));
        return false;
    }
    m_engine->setTargetPicture(std::move(bytes), kStandardInputName);
    return true;
}

bool CliRunner::setUpEngine(Options options)
{
    if (!makePathsAbsolute(options))
        return false;
    m_options = options;
    m_engine = std::make_shared<TGraphicSearch>(this);
    m_engine->setBits(options.bits);
    m_engine->setMatchRate(options.matchRate);
    m_engine->setJobs(options.jobs);
    m_engine->setExclusions(Exclusions(options.excludeFolders, options.excludePatterns));
    if (options.directory) {
        m_engine->setTopDirPath(*options.directory);
        m_engine->setPixelNumber(options.pixelNumber);
        m_engine->setSearchMethod(SearchMethod::Directory);
        return true;
    }
    // The index check of every index search: is it one, and its pixel number.
    const std::string indexFile = options.indexFile.value_or(std::string());
    if (const StartResult check = TGraphicSearch::checkIndexSource(indexFile); !check) {
        loadError(check.sentence);
        return false;
    }
    m_engine->checkIndexFile(indexFile);
    m_engine->setIndexFilePath(indexFile);
    m_engine->setSearchMethod(SearchMethod::IndexFile);
    return true;
}

ExitCode CliRunner::search(const Options& options, const std::atomic<bool>& interrupted)
{
    if (!setUpEngine(options))
        return ExitCode::Failure;
    if (m_options.target == kStandardInput) {
        if (!takeStandardInput(interrupted))
            return interrupted.load() ? ExitCode::Interrupted : ExitCode::Failure;
    } else {
        m_engine->target().setFilePath(m_options.target);
    }
    m_engine->setAnyOrientation(options.anyOrientation);
    // goes out before the first hit
    m_header = output::hitHeader(options.format, options.anyOrientation);
    const InterruptWatch watch(*this, interrupted);
    if (const StartResult started = m_engine->beginSearch(); !started) {
        if (interrupted.load())
            return ExitCode::Interrupted;
        if (started.code != Refusal::TargetUnreadable)
            return refused(started);
        loadError(started.sentence);
        return ExitCode::Failure;
    }
    waitForEnd(*m_engine, interrupted);

    if (options.sort) {
        // A copy as the target lies before a turned one of the same rate: the
        // likeness of a turned hit is measured otherwise (TFileInfo::likeness).
        const auto turned = [](const output::Hit& hit) {
            return !hit.orientation.empty() &&
                   hit.orientation != orientationName(Orientation::Upright);
        };
        std::sort(m_sorted.begin(), m_sorted.end(),
                  [&](const output::Hit& a, const output::Hit& b) {
                      if (a.rate != b.rate)
                          return a.rate > b.rate;
                      if (turned(a) != turned(b))
                          return turned(b);
                      if (a.likeness != b.likeness)
                          return a.likeness > b.likeness;
                      return a.path < b.path;
                  });
        const std::lock_guard lock(m_outputLock);
        for (const output::Hit& hit : m_sorted)
            if (!writeLocked(output::formatHit(hit, options.format, options.nullTerminated)))
                break;
    }
    if (print({}) != ExitCode::Ok) // the header of an empty list too
        return ExitCode::Failure;
    const RunSummary summary = m_engine->lastRunSummary();
    if (summary.outcome == RunSummary::Outcome::Failed) {
        message("ovrin-cli: " + escapePath(summary.error) + "\n");
        return ExitCode::Failure;
    }
    if (options.verbose && summary.skippedTotal() > 0)
        message(skippedText(summary) + "\n");
    if (summary.redecoded > 0 || summary.leftOut > 0)
        message(staleText(summary) + "\n");
    return summary.outcome == RunSummary::Outcome::Stopped ? ExitCode::Interrupted : ExitCode::Ok;
}

ExitCode CliRunner::index(Options options, const std::atomic<bool>& interrupted)
{
    if (!makePathsAbsolute(options))
        return ExitCode::Failure;
    m_options = options;
    m_engine = std::make_shared<TGraphicSearch>(this);
    const std::string indexFile = options.indexFile.value_or(std::string());
    m_engine->setTopDirPath(options.directory.value_or(std::string()));
    m_engine->setIndexFilePath(indexFile);
    m_engine->setPixelNumber(options.pixelNumber);
    m_engine->setJobs(options.jobs);
    m_engine->setRebuildIndex(options.rebuild);
    m_engine->setExclusions(Exclusions(options.excludeFolders, options.excludePatterns));
    if (const StartResult started = m_engine->makeIndexFile(); !started)
        return refused(started);
    waitForEnd(*m_engine, interrupted);

    const RunSummary summary = m_engine->lastRunSummary();
    const std::string shownIndex = escapePath(indexFile);
    switch (summary.index) {
    case RunSummary::IndexResult::Written:
        message(std::to_string(summary.indexed) + " pictures indexed (" +
                std::to_string(summary.reused) + " reused, " + std::to_string(summary.decoded) +
                " decoded), " + std::to_string(summary.removed) + " removed, " +
                skippedText(summary) + excludedText(summary) + "\n");
        return ExitCode::Ok;
    case RunSummary::IndexResult::Partial:
        message("interrupted: a partial index of " + std::to_string(summary.indexed) +
                " pictures was written to " + shownIndex + " (there was no index before)\n");
        return ExitCode::Interrupted;
    default:
        break;
    }
    const bool kept = summary.index == RunSummary::IndexResult::KeptExisting;
    if (summary.outcome == RunSummary::Outcome::Failed) {
        message("ovrin-cli: " + escapePath(summary.error) +
                (kept ? "\nthe index at " + shownIndex + " was kept as it was\n" : "\n"));
        return ExitCode::Failure;
    }
    message("interrupted: " +
            (kept ? "the index at " + shownIndex + " was kept as it was" : "no index was written") +
            "\n");
    return ExitCode::Interrupted;
}

ExitCode CliRunner::check(Options options, const std::atomic<bool>& interrupted)
{
    if (!makePathsAbsolute(options))
        return ExitCode::Failure;
    const std::string indexFile = options.indexFile.value_or(std::string());
    IndexReader reader(indexFile);
    if (!reader.isIndexFile()) {
        loadError(TGraphicSearch::checkIndexSource(indexFile).sentence);
        return ExitCode::Failure;
    }
    const std::int32_t pixelNumber = reader.readHead();
    std::int64_t images = 0;
    IndexReader::Entry entry;
    const InterruptWatch watch(*this, interrupted);
    while (reader.next(entry, &m_proceed))
        ++images;
    if (interrupted.load())
        return ExitCode::Interrupted;
    const ExitCode printed = print("pixel number: " + std::to_string(pixelNumber) +
                                   "\nimages: " + std::to_string(images) + "\n");
    if (printed != ExitCode::Ok)
        return printed;
    if (pixelNumber < 1 || pixelNumber > TFileInfo::kMaxPixelNumber) {
        message("ovrin-cli: the index is damaged: no search can use its pixel number " +
                std::to_string(pixelNumber) + "\n");
        return ExitCode::Failure;
    }
    return ExitCode::Ok;
}

std::string CliRunner::formatGroup(const LookAlikeResult& result, std::size_t number,
                                   OutputFormat format,
                                   const std::vector<std::string>& protectedFolders,
                                   bool withOrientation)
{
    const LookAlikeGroup& group = result.groups[number];
    const auto picture = [&](std::size_t row) {
        output::GroupPicture shown;
        shown.path = result.table.paths[row];
        if (row < result.aliases.size())
            shown.aliases = result.aliases[row];
        return shown;
    };
    std::vector<output::GroupPicture> members;
    members.reserve(group.members.size());
    for (const LookAlikeMember& member : group.members) {
        output::GroupPicture& shown = members.emplace_back(picture(member.index));
        shown.rate = member.rate;
        shown.likeness = member.likeness;
        shown.orientation = orientationName(member.orientation);
        shown.isProtected = !protectedFolders.empty() &&
                            preferenceRank(result.table.paths[member.index], protectedFolders) <
                                protectedFolders.size();
    }
    return output::formatGroup(number, picture(group.reference), members, format, withOrientation);
}

ExitCode CliRunner::groups(const Options& options, const std::atomic<bool>& interrupted)
{
    if (!setUpEngine(options))
        return ExitCode::Failure;
    for (const auto& [flag, folders] : {std::pair{"--prefer", &m_options.preferred},
                                        std::pair{"--protect", &m_options.protectedFolders}})
        for (const std::string& folder : *folders) {
            bool isDirectory = false;
            if (!platform::FileManager::fileExists(folder, isDirectory) || !isDirectory) {
                message(std::string("ovrin-cli: ") + flag + " " + escapePath(folder) +
                        ": no such folder\n");
                return ExitCode::Failure;
            }
        }
    m_engine->setSimilarity(m_options.similarity);
    m_engine->setKeepRule(m_options.keep);
    m_engine->setPreferredFolders(m_options.preferred);
    m_engine->setAnyOrientation(m_options.anyOrientation);
    if (const StartResult started = m_engine->beginGroups(); !started)
        return refused(started);
    waitForEnd(*m_engine, interrupted);

    const RunSummary summary = m_engine->lastRunSummary();
    if (summary.outcome == RunSummary::Outcome::Failed) {
        message("ovrin-cli: " + escapePath(summary.error) + "\n");
        return ExitCode::Failure;
    }
    if (summary.outcome == RunSummary::Outcome::Stopped)
        return ExitCode::Interrupted;
    const auto result = m_engine->lastGroups();
    std::string text = output::groupHeader(options.format, options.anyOrientation);
    std::size_t grouped = 0;
    for (std::size_t i = 0; result && i < result->groups.size(); ++i) {
        text += formatGroup(*result, i, options.format, m_options.protectedFolders,
                            options.anyOrientation);
        grouped += 1 + result->groups[i].members.size();
        if (text.size() > 1 << 16 && print(std::exchange(text, {})) != ExitCode::Ok)
            return ExitCode::Failure;
    }
    if (print(text) != ExitCode::Ok)
        return ExitCode::Failure;
    // Entries passed over or decoded anew are told even where no progress is shown.
    if (result &&
        (m_showProgress || summary.leftOut > 0 || summary.redecoded > 0 || summary.excluded > 0)) {
        std::string line = std::to_string(result->groups.size()) + " groups holding " +
                           std::to_string(grouped) + " of " +
                           std::to_string(result->table.paths.size()) + " pictures";
        if (summary.redecoded > 0)
            line +=
                ", " + std::to_string(summary.redecoded) + " decoded again (changed since indexed)";
        if (summary.leftOut > 0)
            line += ", " + std::to_string(summary.leftOut) + " left out (vanished or unreadable)";
        message(line + excludedText(summary) + "\n");
    }
    return ExitCode::Ok;
}

} // namespace ovrin::cli
