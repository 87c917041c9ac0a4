#include "cli/CommandLine.h"

#include "settings/SearchParameters.h"
#include "signature/TFileInfo.h"

#include <charconv>
#include <map>

namespace ovrin::cli {

std::optional<std::int32_t> parseInt32(const std::string& text)
{
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty() || digits.front() == '+' || (digits.front() == '-' && digits != text))
        return std::nullopt;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

bool isFolderExclusion(const std::string& text)
{
    return text.find('/') != std::string::npos || text == "." || text == ".." || text == "~";
}

std::string CommandLine::usage()
{
    return "Usage: ovrin-cli search TARGET --dir DIR [--bits B] [--match-rate R]\n"
           "                 [--pixel-number N] [--jobs J] [--any-orientation] [OUTPUT]\n"
           "                 [--verbose]\n"
           "       ovrin-cli search TARGET --index INDEXFILE [--bits B] [--match-rate R]\n"
           "                 [--any-orientation] [OUTPUT]\n"
           "       ovrin-cli index DIR INDEXFILE [--pixel-number N] [--jobs J] [--rebuild]\n"
           "                 [--verbose]\n"
           "       ovrin-cli check INDEXFILE\n"
           "       ovrin-cli groups (--index INDEXFILE | --dir DIR) [--bits B] [--match-rate R]\n"
           "                 [--similarity S] [--keep K] [--prefer DIR]... [--protect DIR]...\n"
           "                 [--pixel-number N] [--jobs J] [--any-orientation]\n"
           "                 [--format tsv|csv|json]\n"
           "       (search, index and groups also take [--exclude X]...)\n"
           "       ovrin-cli --help | --version\n"
           "\n"
           "search  lists every picture under DIR, or in an index file made earlier, that\n"
           "        looks like the picture TARGET (\"-\": the picture on standard input):\n"
           "        one line per hit, the match rate in percent, a tab, the full path\n"
           "index   writes the path and signature of every readable picture under DIR\n"
           "        into INDEXFILE, so that later searches need not decode them again; an\n"
           "        index already there is updated: unchanged pictures are not decoded\n"
           "check   prints the pixel number of an index file and how many pictures it holds\n"
           "groups  lists the sets of look-alike pictures of an index file or a folder,\n"
           "        the copy to keep first; a file reached by several paths (links, hard\n"
           "        links) is listed once, its other paths marked \"alias\"\n"
           "\n"
           "  --bits B            colour bits compared per channel, 1 to 4 (default 3)\n"
           "  --match-rate R      least share of agreeing pixels, 0 to 100 percent (default 70)\n"
           "  --pixel-number N    side of the thumbnail grid, 1 to 256 (default 8); an\n"
           "                      index search takes it from the index file\n"
           "  --jobs J            decoding threads, 1 to 1024 (default: one per hardware thread)\n"
           "  --rebuild           decode every picture again instead of updating the index\n"
           "  --any-orientation   also find copies turned by 90, 180 or 270 degrees or\n"
           "                      mirrored; each hit, or member of a group, says how it\n"
           "                      lies (a grouping of an index file decodes its pictures)\n"
           "  --verbose, -v       list every skipped file with its reason on stderr\n"
           "  --exclude X         leave out the folder X (a path: holds a '/', or is '.',\n"
           "                      '..' or '~') or every file and folder whose name matches\n"
           "                      the pattern X ('*.tmp', '.thumbnails'); repeatable\n"
           "OPTIONS of groups:\n"
           "  --similarity S      strict, normal (default) or loose: how alike in structure\n"
           "                      a member must be to its group's first picture\n"
           "  --keep K            which copy leads a group: pixels (default: most pixels,\n"
           "                      then largest file, oldest, path), size, oldest, newest\n"
           "                      or path\n"
           "  --prefer DIR        copies under DIR lead before any other (repeatable: the\n"
           "                      first named first)\n"
           "  --protect DIR       copies under DIR are never members to remove: marked\n"
           "                      \"protected\" instead of listed as members (repeatable)\n"
           "OUTPUT of search:\n"
           "  --sort              best hits first (rate, upright before turned, then\n"
           "                      likeness), printed at the end\n"
           "  --format F          tsv, csv or json (JSON Lines) with rate, likeness and path\n"
           "                      (and orientation with --any-orientation)\n"
           "  --null, -0          records ended by NUL, paths as raw bytes\n"
           "  --                  ends the options (for a TARGET that begins with '-')\n"
           "\n"
           "Paths are printed with control characters, bytes that are not UTF-8 and the\n"
           "backslash escaped (\\n, \\t, \\\\, \\xHH); --null prints them unchanged.\n"
           "Exit status: 0 when the command ran to its end, 1 when a file could not be\n"
           "loaded, listed or written, 2 for a usage error, 130 when interrupted.\n";
}

namespace {

struct Range {
    std::int32_t low;
    std::int32_t high;
};

const std::map<std::string, Range>& numberOptions()
{
    static const std::map<std::string, Range> options{
        {"--bits", {search::kMinBits, search::kMaxBits}},
        {"--match-rate", {search::kMinMatchRate, search::kMaxMatchRate}},
        {"--pixel-number", {1, TFileInfo::kMaxPixelNumber}},
        {"--jobs", {1, 1024}},
    };
    return options;
}

// Which options each command takes.
bool takes(CommandLine::Kind kind, const std::string& name)
{
    using Kind = CommandLine::Kind;
    if (name == "--bits" || name == "--match-rate")
        return kind == Kind::Search || kind == Kind::Groups;
    if (name == "--dir" || name == "--index" || name == "--format")
        return kind == Kind::Search || kind == Kind::Groups;
    if (name == "--pixel-number" || name == "--jobs")
        return kind == Kind::Search || kind == Kind::Index || kind == Kind::Groups;
    if (name == "--verbose")
        return kind == Kind::Search || kind == Kind::Index;
    if (name == "--sort" || name == "--null")
        return kind == Kind::Search;
    if (name == "--rebuild")
        return kind == Kind::Index;
    if (name == "--any-orientation")
        return kind == Kind::Search || kind == Kind::Groups;
    if (name == "--exclude")
        return kind == Kind::Search || kind == Kind::Index || kind == Kind::Groups;
    if (name == "--similarity" || name == "--keep" || name == "--prefer" || name == "--protect")
        return kind == Kind::Groups;
    return false;
}

bool isFlag(const std::string& name)
{
    return name == "--verbose" || name == "--sort" || name == "--null" || name == "--rebuild" ||
           name == "--any-orientation";
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    const auto fail = [&line](std::string reason) {
        line.kind = Kind::UsageError;
        line.error = std::move(reason);
        return line;
    };

    if (arguments.empty())
        return fail("no command given");
    const std::string& command = arguments.front();
    if (command == "-h" || command == "--help") {
        line.kind = Kind::Help;
        return line;
    }
    if (command == "--version") {
        line.kind = Kind::Version;
        return line;
    }
    line.kind = command == "search"   ? Kind::Search
                : command == "index"  ? Kind::Index
                : command == "check"  ? Kind::Check
                : command == "groups" ? Kind::Groups
                                      : Kind::UsageError;
    if (line.kind == Kind::UsageError)
        return fail("unknown command '" + command + "'");

    std::vector<std::string> positional;
    bool optionsEnded = false;
    bool pixelNumberGiven = false;
    bool jobsGiven = false;
    Options& options = line.options;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument.front() != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            line.kind = Kind::Help;
            return line;
        }
        std::string name = argument == "-0" ? "--null" : argument == "-v" ? "--verbose" : argument;
        std::optional<std::string> value;
        if (const auto equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (!takes(line.kind, name))
            // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on the way out
            return fail("unknown option '" + name + "' for " + command);
        if (isFlag(name)) {
            if (value)
                return fail("option '" + name + "' takes no value");
            (name == "--verbose"           ? options.verbose
             : name == "--sort"            ? options.sort
             : name == "--null"            ? options.nullTerminated
             : name == "--any-orientation" ? options.anyOrientation
                                           : options.rebuild) = true;
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size())
                return fail("option '" + name + "' needs a value");
            value = arguments[++i];
        }
        if (name == "--dir" || name == "--index") {
            if (value->empty())
                return fail(name + " needs a path");
            (name == "--dir" ? options.directory : options.indexFile) = *value;
            continue;
        }
        if (name == "--prefer" || name == "--protect") {
            if (value->empty())
                return fail(name + " needs a folder");
            (name == "--prefer" ? options.preferred : options.protectedFolders).push_back(*value);
            continue;
        }
        if (name == "--exclude") {
            if (value->empty())
                return fail("--exclude needs a folder or a name pattern");
            (isFolderExclusion(*value) ? options.excludeFolders : options.excludePatterns)
                .push_back(*value);
            continue;
        }
        if (name == "--similarity") {
            const auto similarity = parseSimilarity(*value);
            if (!similarity)
                return fail("--similarity takes strict, normal or loose, not '" + *value + "'");
            options.similarity = *similarity;
            continue;
        }
        if (name == "--keep") {
            const auto keep = parseKeepRule(*value);
            if (!keep)
                return fail("--keep takes pixels, size, oldest, newest or path, not '" + *value +
                            "'");
            options.keep = *keep;
            continue;
        }
        if (name == "--format") {
            static const std::map<std::string, OutputFormat> formats{{"tsv", OutputFormat::Tsv},
                                                                     {"csv", OutputFormat::Csv},
                                                                     {"json", OutputFormat::Json}};
            const auto format = formats.find(*value);
            if (format == formats.end())
                return fail("--format takes tsv, csv or json, not '" + *value + "'");
            options.format = format->second;
            continue;
        }
        const Range range = numberOptions().at(name);
        const auto number = parseInt32(*value);
        if (!number || *number < range.low || *number > range.high)
            return fail(name + " takes a whole number from " + std::to_string(range.low) + " to " +
                        std::to_string(range.high) + ", not '" + *value + "'");
        if (name == "--bits") {
            options.bits = *number;
        } else if (name == "--match-rate") {
            options.matchRate = *number;
        } else if (name == "--jobs") {
            options.jobs = *number;
            jobsGiven = true;
        } else {
            options.pixelNumber = *number;
            pixelNumberGiven = true;
        }
    }

    const auto expect = [&](std::size_t count, const char* what) {
        for (const std::string& p : positional)
            if (p.empty())
                return std::string("an empty path was given");
        return positional.size() == count ? std::string() : std::string("expected ") + what;
    };
    const bool byIndex = options.indexFile.has_value();
    switch (line.kind) {
    case Kind::Search:
    case Kind::Groups:
        if (const auto problem =
                expect(line.kind == Kind::Search ? 1 : 0,
                       line.kind == Kind::Search ? "one TARGET picture" : "no other arguments");
            !problem.empty())
            return fail(problem);
        if (line.kind == Kind::Search)
            options.target = positional[0];
        if (options.directory.has_value() == byIndex)
            return fail("give either --dir DIR or --index INDEXFILE");
        if (byIndex && (pixelNumberGiven || (jobsGiven && line.kind == Kind::Search)))
            return fail(line.kind == Kind::Search
                            ? "--pixel-number and --jobs do not apply to an index search: the "
                              "index gives the pixel number, and nothing is decoded"
                            : "--pixel-number does not apply to an index: the index gives it");
        if (options.nullTerminated && options.format != OutputFormat::Plain)
            return fail("--null prints the plain format only");
        if (byIndex && options.verbose)
            return fail("--verbose lists files skipped by a folder search");
        break;
    case Kind::Index:
        if (const auto problem = expect(2, "DIR and INDEXFILE"); !problem.empty())
            return fail(problem);
        options.directory = positional[0];
        options.indexFile = positional[1];
        break;
    case Kind::Check:
        if (const auto problem = expect(1, "one INDEXFILE"); !problem.empty())
            return fail(problem);
        options.indexFile = positional[0];
        break;
    default:
        break;
    }
    return line;
}

} // namespace ovrin::cli
