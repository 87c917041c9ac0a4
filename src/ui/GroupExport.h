#pragma once

#include "engine/LookAlikeGroups.h"
#include "platform/fs/Refusal.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ovrin::ui {

// The groups as a file, with the content and column order of `ovrin-cli
// groups`: CSV ("group,role,rate,likeness,path", the reference first with
// empty rate and likeness, CRLF line ends) or JSON Lines (one object per group:
// the reference and its members with rate, likeness and path). The other
// paths of a picture's file follow it in CSV as lines of role "alias" with
// empty rate and likeness, and are in JSON an "aliases" array on its object
// (the group's for the reference), left out where there are none. The bytes
// are those of the command line, which writes them through the same module.
class GroupExport {
public:
    enum class Format { Csv, JsonLines };

    // JSON Lines for a name ending in .json or .jsonl, else CSV.
    static Format formatFor(const QString& fileName);
    // `paths` are the table's, which the groups index into; `aliases` is
    // empty or holds the other paths of each. `withOrientation`: each
    // member's form in a column before the path (a field in JSON), as the
    // command line writes it for a grouping of any orientation.
    static QByteArray write(const std::vector<std::string>& paths,
                            const std::vector<std::vector<std::string>>& aliases,
                            const std::vector<LookAlikeGroup>& groups, Format format,
                            bool withOrientation = false);
};

// Where an export of the hits or the groups goes: never over a picture or an
// index (what the file panel returned may be one), and whole or not at all, so
// a failed write leaves an earlier export as it was.
class ExportFile {
    Q_DECLARE_TR_FUNCTIONS(ExportFile)

public:
    enum class Problem : std::uint8_t {
        Destination, // the path names a picture, an index or no file to write
        Replaced,    // something that must not be replaced came there meanwhile
        System,      // the system refused to write it (its message)
    };
    using Refused = platform::Refusal<Problem>;

    // Why nothing was written; none once the file is in place.
    static std::optional<Refused> write(const std::string& path, const QByteArray& bytes);
    // What the window shows for it, in its language where it has a sentence.
    static QString reason(const Refused& refused);
};

} // namespace ovrin::ui
