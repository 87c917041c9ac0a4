#pragma once

#include <cerrno> // the error numbers' names (ENOENT, ...) for every module
#include <string>

namespace ovrin::platform {

// The error number the system left for this thread's latest failed call.
// Only fs/ reads errno; everything else gets error numbers from the functions
// of fs/, and reads this only right after a call into a library that fs/ has
// no function for (a decoder library's allocation, say).
int lastSystemError();
void clearSystemError();

// The system's sentence for an error number ("No such file or directory").
std::string systemMessage(int number);

} // namespace ovrin::platform
