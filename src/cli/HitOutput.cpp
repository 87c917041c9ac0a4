#include "cli/HitOutput.h"

#include <cstdio>

namespace ovrin::cli {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is none.
std::size_t utf8Length(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t least = 0;
    std::uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, least = 0x80, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, least = 0x800, code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, least = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    // C1 control characters act as escape sequences on some terminals.
    if (code >= 0x80 && code <= 0x9F)
        return 0;
    return length;
}

void appendHex(std::string& out, unsigned char byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "\\x%02x", byte);
    out += text;
}

// Walks the text, handing each valid character or each stray byte over.
template <typename Character, typename Stray>
void forEachCharacter(std::string_view text, Character character, Stray stray)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            // A C1 control is two valid bytes; escape both.
            const std::size_t bytes =
                static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() ? 2 : 1;
            for (std::size_t k = 0; k < bytes; ++k)
                stray(static_cast<unsigned char>(text[i + k]));
            i += bytes;
            continue;
        }
        character(text.substr(i, length));
        i += length;
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
            const auto byte = static_cast<unsigned char>(c.front());
            if (c.size() > 1 || (byte >= 0x20 && byte != 0x7F && byte != '\\'))
                out += c;
            else if (byte == '\\')
                out += "\\\\";
            else if (byte == '\n')
                out += "\\n";
            else if (byte == '\t')
                out += "\\t";
            else if (byte == '\r')
                out += "\\r";
            else
                appendHex(out, byte);
        },
        [&out](unsigned char byte) { appendHex(out, byte); });
    return out;
}

std::string jsonString(std::string_view text)
{
    std::string out = "\"";
    forEachCharacter(
        text,
        [&out](std::string_view c) {
            const auto byte = static_cast<unsigned char>(c.front());
            if (c.size() > 1 || (byte >= 0x20 && byte != 0x7F && byte != '"' && byte != '\\')) {
                out += c;
            } else if (byte == '"' || byte == '\\') {
                out += '\\';
                out += static_cast<char>(byte);
            } else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out += escaped;
            }
        },
        [&out](unsigned char byte) {
            out += '\\'; // a literal backslash, then xHH: the JSON stays valid
            appendHex(out, byte);
        });
    return out + "\"";
}

std::string csvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string formatHeader(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Tsv:
        return "rate\tlikeness\tpath\n";
    case OutputFormat::Csv:
        return "rate,likeness,path\r\n";
    default:
        return {};
    }
}

std::string formatHit(const HitLine& hit, OutputFormat format, bool nullTerminated)
{
    char numbers[64];
    switch (format) {
    case OutputFormat::Plain:
        if (nullTerminated)
            return std::to_string(hit.rate) + '\t' + hit.path + '\0';
        return std::to_string(hit.rate) + '\t' + escapePath(hit.path) + '\n';
    case OutputFormat::Tsv:
        std::snprintf(numbers, sizeof numbers, "%d\t%.1f\t", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + escapePath(hit.path) + '\n';
    case OutputFormat::Csv:
        std::snprintf(numbers, sizeof numbers, "%d,%.1f,", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + csvField(hit.path) + "\r\n";
    case OutputFormat::Json:
        std::snprintf(numbers, sizeof numbers,
                      "{\"rate\":%d,\"likeness\":%.1f,\"path\":", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + jsonString(hit.path) + "}\n";
    }
    return {};
}

} // namespace ovrin::cli
