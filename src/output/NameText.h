#pragma once

#include <string>
#include <string_view>

// Names of files as the outputs write them, the same for the command line and
// the window's exports.
namespace ovrin::output {

// A path as a person can read and copy it: an ordinary name stays as it is,
// while control characters (C0, DEL, C1, the bidirectional controls), bytes
// that are not UTF-8 and the backslash are written as \n, \t, \r, \\ or
// \xHH (each byte), so a name can neither split a line, nor reach the terminal
// as an escape sequence, nor display as another.
std::string escapePath(std::string_view path);
// A JSON string literal; controls as \uXXXX, and each byte that is not UTF-8
// as a lone surrogate \udcXX (U+DC80 to U+DCFF), so every name is told apart.
std::string jsonString(std::string_view text);
// A CSV field of RFC 4180: the text escaped as by escapePath, then quoted
// (quotes doubled) when it holds a comma or a quote. No line break is left to
// quote.
std::string csvField(std::string_view text);

} // namespace ovrin::output
