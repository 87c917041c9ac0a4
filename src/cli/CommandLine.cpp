#include "cli/CommandLine.h"

#include "signature/TFileInfo.h"

#include <algorithm>
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
           "       ovrin-cli search TARGET --index INDEXFILE [--bits B] [--match-rate R]\n"
           "       ovrin-cli index DIR INDEXFILE [--pixel-number N]\n"
           "       ovrin-cli check INDEXFILE\n"
           "       ovrin-cli --help\n"
           "\n"
           "search  lists every picture under DIR, or in an index file made earlier, that\n"
           "        looks like the picture TARGET: one line per hit, the match rate in\n"
           "        percent, a tab, the full path\n"
           "index   writes the path and signature of every readable picture under DIR\n"
           "        into INDEXFILE, so that later searches need not decode them again\n"
           "check   prints the pixel number of an index file and how many pictures it holds\n"
           "\n"
           "  --bits B            colour bits compared per channel, 1 to 4 (default 3)\n"
           "  --match-rate R      least share of agreeing pixels, in percent (default 70)\n"
           "  --pixel-number N    side of the thumbnail grid, 1 to 256 (default 8); an\n"
           "                      index search takes it from the index file\n"
           "\n"
           "Exit status: 0 when the command ran to its end, 1 when a file could not be\n"
           "loaded or written, 2 for a usage error, 130 when interrupted.\n";
}

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    const auto fail = [&line](std::string reason) {
        line.kind = Kind::UsageError;
        line.error = std::move(reason);
        return line;
    };

    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
        line.kind = Kind::Help;
        return line;
    }
    if (arguments.empty())
        return fail("no command given");
    const std::string& command = arguments.front();
    if (command == "search")
        line.kind = Kind::Search;
    else if (command == "index")
        line.kind = Kind::Index;
    else if (command == "check")
        line.kind = Kind::Check;
    else
        return fail("unknown command '" + command + "'");

    std::vector<std::string> positional;
    bool pixelNumberGiven = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (argument == "--") {
            positional.insert(positional.end(), arguments.begin() + static_cast<long>(i) + 1,
                              arguments.end());
            break;
        }
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0) {
            positional.push_back(argument);
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
        const bool forSearch =
            name == "--dir" || name == "--index" || name == "--bits" || name == "--match-rate";
        const bool known = forSearch || name == "--pixel-number";
        if (!known || (forSearch && line.kind != Kind::Search) ||
            (name == "--pixel-number" && line.kind == Kind::Check))
            return fail("unknown option '" + name + "' for " + command);
        if (!value)
            return fail("option '" + name + "' needs a value");
        if (name == "--dir" || name == "--index") {
            if (value->empty())
                return fail(name + " needs a path");
            (name == "--dir" ? line.options.directory : line.options.indexFile) = *value;
            continue;
        }
        const auto number = parseInt32(*value);
        if (!number)
            return fail("option '" + name + "' needs a whole number, not '" + *value + "'");
        if (name == "--bits") {
            line.options.bits = *number;
        } else if (name == "--match-rate") {
            line.options.matchRate = *number;
        } else {
            if (*number < 1 || *number > TFileInfo::kMaxPixelNumber)
                return fail("--pixel-number must be from 1 to " +
                            std::to_string(TFileInfo::kMaxPixelNumber));
            line.options.pixelNumber = *number;
            pixelNumberGiven = true;
        }
    }

    const auto expect = [&](std::size_t count, const char* what) {
        return positional.size() == count && std::none_of(positional.begin(), positional.end(),
                                                          [](const auto& p) { return p.empty(); })
                   ? std::string()
                   : std::string("expected ") + what;
    };
    switch (line.kind) {
    case Kind::Search:
        if (const auto problem = expect(1, "one TARGET picture"); !problem.empty())
            return fail(problem);
        line.options.target = positional[0];
        if (line.options.directory.has_value() == line.options.indexFile.has_value())
            return fail("give either --dir DIR or --index INDEXFILE");
        if (line.options.indexFile && pixelNumberGiven)
            return fail("an index search takes its pixel number from the index file");
        break;
    case Kind::Index:
        if (const auto problem = expect(2, "DIR and INDEXFILE"); !problem.empty())
            return fail(problem);
        line.options.directory = positional[0];
        line.options.indexFile = positional[1];
        break;
    case Kind::Check:
        if (const auto problem = expect(1, "one INDEXFILE"); !problem.empty())
            return fail(problem);
        line.options.indexFile = positional[0];
        break;
    default:
        break;
    }
    return line;
}

} // namespace ovrin::cli
