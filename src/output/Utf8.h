#pragma once

#include <cstddef>
#include <string_view>

// The one reading of UTF-8 in the project: the index's paths, the outputs'
// escaping and the terminal's columns all go by it, so that a name valid in
// one place is valid in all.
namespace ovrin::output {

// The well-formed sequence at text[at]: its length and code point. Length 0
// for a byte that starts none: a stray continuation, an overlong form, a
// surrogate, a value past U+10FFFF or a sequence cut short.
struct Utf8Char {
    std::size_t length = 0;
    char32_t code = 0;
};
Utf8Char utf8At(std::string_view text, std::size_t at);

// Whether the whole text is well-formed UTF-8.
bool isUtf8(std::string_view text);

} // namespace ovrin::output
