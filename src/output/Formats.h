#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The files and streams that other programs read: a search's hits and the
// look-alike groups, byte for byte the same from the command line and from
// the window's exports.
namespace ovrin::output {

enum class Format : std::uint8_t {
    Plain, // hits "RATE<TAB>PATH"; groups a block each, paths escaped
    Tsv,   // a header, then rate, likeness and path, paths escaped
    Csv,   // a header, then RFC 4180 rows with CRLF line ends
    Json,  // JSON Lines: one object per hit or per group
};

struct Hit {
    std::int32_t rate = 0;
    double likeness = 0.0;
    std::string path;
    // How the hit lies against the target ("turned 90\u00b0"), written as a
    // column before the path in TSV and CSV and a field in JSON where a
    // search looked for turned copies; empty otherwise, and then nothing is
    // written. A static text.
    std::string_view orientation;
};

// The header line of a format (empty for the plain and JSON formats), with
// the orientation's column where hits carry one.
std::string hitHeader(Format format, bool withOrientation = false);
// `nullTerminated` (plain only): the raw path and a NUL in place of the line end.
std::string formatHit(const Hit& hit, Format format, bool nullTerminated = false);

// A picture of a group: the reference's rate and likeness are not written.
struct GroupPicture {
    std::string_view path;
    std::int32_t rate = 0;
    double likeness = 0.0;
    // A member under a protected folder, told as never to be removed:
    // "protected" for its rate in TSV, its role in CSV, "protected":true in JSON.
    bool isProtected = false;
    // The other paths of its file, written after it and never as members.
    std::span<const std::string> aliases;
    // How a member lies against the reference ("mirrored"), a static text.
    std::string_view orientation;
};

// "group,role,rate,likeness,path" for CSV, else empty; with the orientation's
// column before the path where the groups carry one.
std::string groupHeader(Format format, bool withOrientation = false);
// Group `number` (counted from 0; written from 1) in the format: in Plain and
// Tsv a block with the reference first ("ref" for its rate), a blank line
// before every group but the first. `withOrientation` (a grouping that looked
// for turned copies) adds each member's orientation as hits have it: a column
// before the path in TSV ("upright" for the reference, empty for an alias)
// and CSV (empty for the reference and aliases), a field in JSON; plain
// blocks stay as they are.
std::string formatGroup(std::size_t number, const GroupPicture& reference,
                        const std::vector<GroupPicture>& members, Format format,
                        bool withOrientation = false);

} // namespace ovrin::output
