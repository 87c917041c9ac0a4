#include "platform/fs/SystemError.h"

#include <cerrno>
#include <cstring>

namespace ovrin::platform {

int lastSystemError()
{
    return errno;
}

void clearSystemError()
{
    errno = 0;
}

std::string systemMessage(int number)
{
    return std::strerror(number);
}

} // namespace ovrin::platform
