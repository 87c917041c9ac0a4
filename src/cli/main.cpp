#include "CommandLine.h"
#include "SearchCommand.h"

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
    case CommandLine::Kind::Search:
        break;
    }

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    ovrin::cli::SearchCommand command(stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    return command.run(line.search, g_interrupted);
}
