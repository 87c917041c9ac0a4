#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "platform/fs/ProcessGuard.h"
#include "platform/imaging/ImageLoader.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void onInterrupt(int /*signal*/)
{
    g_interrupted.store(true);
}

} // namespace

int main(int argc, char** argv)
{
    using ovrin::cli::CommandLine;
    using ovrin::cli::ExitCode;

    // Before anything opens a file: a closed stdout or stderr must not be
    // taken by the first file opened (an index being written, say).
    if (const auto refused = ovrin::platform::prepareProcess()) {
        std::fprintf(stderr, "ovrin-cli: %s\n", refused->sentence.c_str());
        return static_cast<int>(ExitCode::Failure);
    }
    // Before any decoding thread starts, and only for a run that decodes:
    // text in a drawing needs the toolkit's GUI application object.
    std::optional<ovrin::platform::HeadlessApplication> toolkit;
    ovrin::platform::ImageLoader::adoptMainThread();

    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    ovrin::cli::CliRunner runner(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    switch (line.kind) {
    case CommandLine::Kind::Help:
        return static_cast<int>(runner.print(CommandLine::usage()));
    case CommandLine::Kind::Version:
        return static_cast<int>(runner.print("ovrin-cli " OVRIN_VERSION "\n"));
    case CommandLine::Kind::UsageError:
        std::fprintf(stderr, "ovrin-cli: %s\n\n%s", line.error.c_str(),
                     CommandLine::usage().c_str());
        return static_cast<int>(ExitCode::Usage);
    default:
        break;
    }

    toolkit.emplace();

    // Ctrl-C, a closing terminal and a polite kill all end the run the same
    // way: the file in hand finishes, an index that was there stays intact.
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    // Past a file-size limit a write should fail and be reported, not kill us.
    std::signal(SIGXFSZ, SIG_IGN);

    ExitCode code = ExitCode::Ok;
    switch (line.kind) {
    case CommandLine::Kind::Index:
        code = runner.index(line.options, g_interrupted);
        break;
    case CommandLine::Kind::Check:
        code = runner.check(line.options, g_interrupted);
        break;
    case CommandLine::Kind::Groups:
        code = runner.groups(line.options, g_interrupted);
        break;
    default:
        code = runner.search(line.options, g_interrupted);
        break;
    }
    return static_cast<int>(code);
}
