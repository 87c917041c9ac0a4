#include "cli/CliRunner.h"

#include "indexfile/TIndexReader.h"
#include "signature/TFileInfo.h"

#include <filesystem>
#include <sys/ioctl.h>
#include <unistd.h>

namespace ovrin::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kInterruptPoll = std::chrono::milliseconds(50);

bool isUtf8Continuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

} // namespace

CliRunner::CliRunner(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress)
{}

std::string CliRunner::absolutePath(const std::string& path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string CliRunner::progressLine(std::uint64_t examined, std::uint64_t hits,
                                    const std::string& path, std::size_t width)
{
    std::string head = std::to_string(examined) + " examined, " + std::to_string(hits) +
                       (hits == 1 ? " hit: " : " hits: ");
    std::string shown;
    shown.reserve(path.size());
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        shown.push_back(u < 0x20 || u == 0x7f ? '?' : c);
    }
    // Count columns as code points; cut whole characters off the front.
    const auto columns = [](const std::string& s) {
        std::size_t n = 0;
        for (const char c : s)
            n += isUtf8Continuation(c) ? 0 : 1;
        return n;
    };
    if (width <= head.size() + 4)
        return head.substr(0, width > 0 ? width - 1 : 0);
    const std::size_t room = width - 1 - head.size();
    if (columns(shown) > room) {
        std::size_t cut = 0;
        std::size_t excess = columns(shown) - (room - 3);
        while (cut < shown.size() && excess > 0) {
            ++cut;
            while (cut < shown.size() && isUtf8Continuation(shown[cut]))
                ++cut;
            --excess;
        }
        shown = "..." + shown.substr(cut);
    }
    return head + shown;
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

void CliRunner::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
{
    const std::lock_guard lock(m_outputLock);
    ++m_hits;
    clearProgressLocked();
    std::fprintf(m_out, "%d\t%s\n", static_cast<int>(info->matchRate()),
                 info->filePath().value_or(std::string()).c_str());
    std::fflush(m_out);
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

void CliRunner::searchEndCallback()
{
    {
        const std::lock_guard lock(m_endLock);
        m_ended = true;
    }
    m_endSignal.notify_all();
}

bool CliRunner::waitForEnd(TGraphicSearch& engine, const std::atomic<bool>& interrupted)
{
    bool wasInterrupted = false;
    {
        std::unique_lock lock(m_endLock);
        while (!m_ended) {
            m_endSignal.wait_for(lock, kInterruptPoll);
            if (interrupted.load() && !m_ended) {
                wasInterrupted = true;
                break;
            }
        }
    }
    // Lets the worker finish the file in hand and return from its end callback.
    engine.join();
    const std::lock_guard lock(m_outputLock);
    clearProgressLocked();
    std::fflush(m_out);
    return wasInterrupted;
}

bool CliRunner::checkFolder(const std::string& given, std::string& absolute)
{
    absolute = absolutePath(given);
    std::error_code error;
    if (std::filesystem::is_directory(absolute, error))
        return true;
    std::fprintf(m_err, "ovrin-cli: not a folder: %s\n", given.c_str());
    return false;
}

void CliRunner::loadError(const std::string& path)
{
    std::fprintf(m_err, "File load error.\n%s\n", path.c_str());
}

int CliRunner::search(const Options& options, const std::atomic<bool>& interrupted)
{
    const auto engine = std::make_shared<TGraphicSearch>(this);
    const std::string target = absolutePath(options.target);
    engine->target().setFilePath(target);
    engine->setBits(options.bits);
    engine->setMatchRate(options.matchRate);
    if (options.directory) {
        std::string directory;
        if (!checkFolder(*options.directory, directory))
            return 2;
        engine->setTopDirPath(directory);
        engine->setPixelNumber(options.pixelNumber);
        engine->setSearchMethod(0);
    } else {
        const std::string indexFile = absolutePath(options.indexFile.value_or(std::string()));
        if (!engine->checkIndexFile(indexFile)) {
            loadError(indexFile);
            return 1;
        }
        engine->setIndexFilePath(indexFile);
        engine->setSearchMethod(1);
    }

    if (!engine->beginSearch()) {
        if (!TFileInfo::checkGraphicFile(target))
            loadError(target);
        else if (options.indexFile)
            std::fprintf(m_err, "ovrin-cli: the index file's pixel number %d is not usable\n",
                         static_cast<int>(engine->pixelNumber()));
        else
            std::fputs("ovrin-cli: the search could not be started\n", m_err);
        return 1;
    }
    return waitForEnd(*engine, interrupted) ? 130 : 0;
}

int CliRunner::index(const Options& options, const std::atomic<bool>& interrupted)
{
    std::string directory;
    if (!checkFolder(options.directory.value_or(std::string()), directory))
        return 2;
    const auto engine = std::make_shared<TGraphicSearch>(this);
    engine->setTopDirPath(directory);
    engine->setIndexFilePath(absolutePath(options.indexFile.value_or(std::string())));
    engine->setPixelNumber(options.pixelNumber);
    if (!engine->makeIndexFile()) {
        std::fputs("ovrin-cli: the index creation could not be started\n", m_err);
        return 1;
    }
    const bool wasInterrupted = waitForEnd(*engine, interrupted);
    if (const auto error = engine->lastIndexError()) {
        std::fprintf(m_err, "ovrin-cli: %s\n", error->c_str());
        return 1;
    }
    const std::int64_t images = engine->lastIndexedImageCount();
    const auto examined = static_cast<std::int64_t>(m_examined);
    std::fprintf(m_err, "%s%lld images indexed, %lld files skipped\n",
                 wasInterrupted ? "interrupted: " : "", static_cast<long long>(images),
                 static_cast<long long>(examined - images));
    return wasInterrupted ? 130 : 0;
}

std::int64_t CliRunner::countIndexedImages(const std::string& indexPath)
{
    TIndexReader reader(indexPath);
    if (!reader.isOpen())
        return 0;
    reader.readHead();
    std::int64_t images = 0;
    TIndexReader::Entry entry;
    while (reader.next(entry))
        ++images;
    return images;
}

int CliRunner::check(const Options& options)
{
    const std::string indexFile = absolutePath(options.indexFile.value_or(std::string()));
    const auto engine = std::make_shared<TGraphicSearch>(this);
    if (!engine->checkIndexFile(indexFile)) {
        loadError(indexFile);
        return 1;
    }
    std::fprintf(m_out, "pixel number: %d\nimages: %lld\n", static_cast<int>(engine->pixelNumber()),
                 static_cast<long long>(countIndexedImages(indexFile)));
    return 0;
}

} // namespace ovrin::cli
