#include "cli/CliRunner.h"
#include "cli/CommandLine.h"

#include <atomic>
#include <csignal>
#include <cstdio>
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

    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.kind) {
    case CommandLine::Kind::Help:
        std::fputs(CommandLine::usage().c_str(), stdout);
        return 0;
    case CommandLine::Kind::UsageError:
        std::fprintf(stderr, "ovrin-cli: %s\n\n%s", line.error.c_str(),
                     CommandLine::usage().c_str());
        return 2;
    default:
        break;
    }

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    // Past a file-size limit a write should fail and be reported, not kill us.
    std::signal(SIGXFSZ, SIG_IGN);

    ovrin::cli::CliRunner runner(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    switch (line.kind) {
    case CommandLine::Kind::Index:
        return runner.index(line.options, g_interrupted);
    case CommandLine::Kind::Check:
        return runner.check(line.options);
    default:
        return runner.search(line.options, g_interrupted);
    }
}
