#include "output/NameText.h"

#include "output/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace ovrin::output {

namespace {

// Characters that must not reach a terminal or a reader as they are: C0 and
// C1 controls act as escape sequences, and the bidirectional controls make a
// name display as another ("gpj.exe" read backwards).
bool isUnsafe(char32_t code)
{
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x200E || code == 0x200F ||
           (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void appendHex(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

// Walks the text, handing over each ordinary character, each unsafe one with
// its code point, and each byte that starts no valid sequence.
template <typename Character, typename Unsafe, typename Stray>
void forEachCharacter(std::string_view text, Character character, Unsafe unsafe, Stray stray)
{
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char sequence = utf8At(text, i);
        if (sequence.length == 0) {
            stray(static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        const std::string_view bytes = text.substr(i, sequence.length);
        if (isUnsafe(sequence.code))
            unsafe(sequence.code, bytes);
        else
            character(bytes);
        i += sequence.length;
    }
}

} // namespace

std::string escapePath(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    forEachCharacter(
        path,
        [&out](std::string_view c) {
            if (c == "\\")
                out += "\\\\";
            else
                out += c;
        },
        [&out](char32_t code, std::string_view bytes) {
            if (code == '\n')
                out += "\\n";
            else if (code == '\t')
                out += "\\t";
            else if (code == '\r')
                out += "\\r";
            else
                for (const char byte : bytes)
                    appendHex(out, static_cast<unsigned char>(byte));
        },
        [&out](unsigned char byte) { appendHex(out, byte); });
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    const auto appendUnit = [&out](std::uint32_t unit) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
        out += escaped;
    };
    forEachCharacter(
        text,
        [&out](std::string_view c) {
            if (c == "\"" || c == "\\")
                out += '\\';
            out += c;
        },
        [&appendUnit](char32_t code, std::string_view) { appendUnit(code); },
        // A byte that is not UTF-8 becomes a lone low surrogate, U+DC80 to
        // U+DCFF: no real character stands for it, so the raw bytes can be told
        // back without ambiguity (as Python's surrogateescape does).
        [&appendUnit](unsigned char byte) { appendUnit(0xDC00u + byte); });
    return out + "\"";
}

std::string csvField(std::string_view text)
{
    // Escaped as a path for people first: no control character is left, line
    // breaks included, so only a comma or a quote still asks for quotes.
    std::string field = escapePath(text);
    if (field.find_first_of(",\"") == std::string::npos)
        return field;
    std::string out = "\"";
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace ovrin::output
