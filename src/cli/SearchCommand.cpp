#include "SearchCommand.h"

#include "TFileInfo.h"
#include "TGraphicSearch.h"

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

SearchCommand::SearchCommand(std::FILE* out, std::FILE* err, bool showProgress)
    : m_out(out), m_err(err), m_showProgress(showProgress)
{}

std::string SearchCommand::absolutePath(const std::string& path)
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

std::string SearchCommand::progressLine(std::uint64_t examined, std::uint64_t hits,
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

std::size_t SearchCommand::terminalWidth() const
{
    winsize size{};
    if (::ioctl(::fileno(m_err), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void SearchCommand::clearProgressLocked()
{
    if (m_progressShown) {
        std::fputs("\r\033[K", m_err);
        std::fflush(m_err);
        m_progressShown = false;
    }
}

void SearchCommand::hitItemCallback(const std::shared_ptr<TFileInfo>& info)
{
    const std::lock_guard lock(m_outputLock);
    ++m_hits;
    clearProgressLocked();
    std::fprintf(m_out, "%d\t%s\n", static_cast<int>(info->matchRate()),
                 info->filePath().value_or(std::string()).c_str());
    std::fflush(m_out);
}

void SearchCommand::progressCallback(const std::shared_ptr<TFileInfo>& info)
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

void SearchCommand::searchEndCallback()
{
    {
        const std::lock_guard lock(m_endLock);
        m_ended = true;
    }
    m_endSignal.notify_all();
}

int SearchCommand::run(const SearchOptions& options, const std::atomic<bool>& interrupted)
{
    const std::string directory = absolutePath(options.directory);
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error)) {
        std::fprintf(m_err, "ovrin-cli: not a folder: %s\n", options.directory.c_str());
        return 2;
    }
    const std::string target = absolutePath(options.target);

    const auto engine = std::make_shared<TGraphicSearch>(this);
    engine->target().setFilePath(target);
    engine->setTopDirPath(directory);
    engine->setBits(options.bits);
    engine->setMatchRate(options.matchRate);
    engine->setPixelNumber(options.pixelNumber);
    engine->setSearchMethod(0);

    if (!engine->beginSearch()) {
        if (!TFileInfo::checkGraphicFile(target))
            std::fprintf(m_err, "File load error.\n%s\n", target.c_str());
        else
            std::fputs("ovrin-cli: the search could not be started\n", m_err);
        return 1;
    }

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
    engine->join();

    const std::lock_guard lock(m_outputLock);
    clearProgressLocked();
    std::fflush(m_out);
    return wasInterrupted ? 130 : 0;
}

} // namespace ovrin::cli
