#include "platform/fs/ProcessGuard.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace ovrin::platform {

std::optional<Refusal<ProcessProblem>> prepareProcess()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() takes the lowest free number, which is this one.
        const int filler = ::open("/dev/null", O_RDONLY);
        if (filler != fd) {
            if (filler >= 0)
                ::close(filler);
            return Refusal<ProcessProblem>{ProcessProblem::NoNullDevice,
                                           "cannot open /dev/null for a closed standard stream"};
        }
    }

    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < files.rlim_max) {
            rlimit raised = files;
            raised.rlim_cur = files.rlim_max;
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
                files = raised;
        }
        if (files.rlim_cur != RLIM_INFINITY &&
            files.rlim_cur < static_cast<rlim_t>(kMinimumOpenFiles)) {
            return Refusal<ProcessProblem>{ProcessProblem::TooFewOpenFiles,
                                           "only " + std::to_string(files.rlim_cur) +
                                               " open files are allowed (ulimit -n); at least " +
                                               std::to_string(kMinimumOpenFiles) + " are needed"};
        }
    }
    return std::nullopt;
}

long openFileLimit()
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY ||
        files.rlim_cur > 1u << 20)
        return 1L << 20;
    return static_cast<long>(files.rlim_cur);
}

} // namespace ovrin::platform
