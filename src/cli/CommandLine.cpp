#include "CommandLine.h"

#include "TFileInfo.h"

#include <charconv>

namespace ovrin::cli {

std::optional<std::int32_t> parseInt32(const std::string& text)
{
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty())
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

std::string CommandLine::usage()
{
    return "Usage: ovrin-cli search TARGET --dir DIR [--bits B] [--match-rate R] [--pixel-number "
           "N]\n"
           "       ovrin-cli --help\n"
           "\n"
           "Lists every picture under DIR that looks like the picture TARGET: one line\n"
           "per hit, the match rate in percent, a tab, the full path.\n"
           "\n"
           "  --dir DIR           folder tree to search, symbolic links followed\n"
           "  --bits B            colour bits compared per channel, 1 to 4 (default 3)\n"
           "  --match-rate R      least share of agreeing pixels, in percent (default 70)\n"
           "  --pixel-number N    side of the thumbnail grid, 1 to 256 (default 8)\n"
           "\n"
           "Exit status: 0 when the search ran to its end, 1 when TARGET is not a\n"
           "readable image, 2 for a usage error, 130 when interrupted.\n";
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    const auto fail = [&line](std::string reason) {
        line.kind = Kind::UsageError;
        line.error = std::move(reason);
        return line;
    };

    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            line.kind = Kind::Help;
            return line;
        }
    }
    if (arguments.empty())
        return fail("no command given");
    if (arguments.front() != "search")
        return fail("unknown command '" + arguments.front() + "'");

    std::optional<std::string> target;
    std::optional<std::string> directory;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0 || argument == "--") {
            if (argument == "--" && i + 1 < arguments.size())
                argument = arguments[++i];
            if (target)
                return fail("unexpected argument '" + argument + "'");
            target = argument;
            continue;
        }
        std::string name = argument;
        std::optional<std::string> value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (name != "--dir" && name != "--bits" && name != "--match-rate" &&
            name != "--pixel-number")
            return fail("unknown option '" + name + "'");
        if (!value)
            return fail("option '" + name + "' needs a value");
        if (name == "--dir") {
            if (value->empty())
                return fail("--dir needs a folder");
            directory = *value;
            continue;
        }
        const auto number = parseInt32(*value);
        if (!number)
            return fail("option '" + name + "' needs a whole number, not '" + *value + "'");
        if (name == "--bits")
            line.search.bits = *number;
        else if (name == "--match-rate")
            line.search.matchRate = *number;
        else if (*number < 1 || *number > TFileInfo::kMaxPixelNumber)
            return fail("--pixel-number must be from 1 to " +
                        std::to_string(TFileInfo::kMaxPixelNumber));
        else
            line.search.pixelNumber = *number;
    }
    if (!target || target->empty())
        return fail("no target picture given");
    if (!directory)
        return fail("no folder given (--dir DIR)");
    line.search.target = *target;
    line.search.directory = *directory;
    line.kind = Kind::Search;
    return line;
}

} // namespace ovrin::cli
