#pragma once

#include "cli/CommandLine.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ovrin::cli {

// One line (or record) of a search's output.
struct HitLine {
    std::int32_t rate = 0;
    double likeness = 0.0;
    std::string path;
};

// A path as a person can read and copy it: an ordinary name stays as it is,
// while control characters (C0, DEL, C1, the bidirectional controls), bytes
// that are not UTF-8 and the backslash are written as \n, \t, \r, \\ or
// \xHH (each byte), so a name can neither split a line, nor reach the terminal
// as an escape sequence, nor display as another.
std::string escapePath(std::string_view path);
// A JSON string literal; controls as \uXXXX, and each byte that is not UTF-8
// as a lone surrogate \udcXX (U+DC80 to U+DCFF), so every name is told apart.
std::string jsonString(std::string_view text);
// An RFC 4180 field: quoted when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

// The header line of a format (empty for the plain and JSON formats).
std::string formatHeader(OutputFormat format);
std::string formatHit(const HitLine& hit, OutputFormat format, bool nullTerminated);

} // namespace ovrin::cli
