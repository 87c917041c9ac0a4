#include "ui/GroupExport.h"

#include "engine/TGraphicSearch.h"
#include "output/Formats.h"
#include "platform/fs/AtomicFile.h"
#include "platform/fs/SystemError.h"
#include "ui/RunReport.h"
#include "ui/UiHooks.h"

#include <QtGlobal>

namespace ovrin::ui {

GroupExport::Format GroupExport::formatFor(const QString& fileName)
{
    return fileName.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ||
                   fileName.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive)
               ? Format::JsonLines
               : Format::Csv;
}

QByteArray GroupExport::write(const std::vector<std::string>& paths,
                              const std::vector<std::vector<std::string>>& aliases,
                              const std::vector<LookAlikeGroup>& groups, Format format,
                              bool withOrientation)
{
    const output::Format written =
        format == Format::Csv ? output::Format::Csv : output::Format::Json;
    const auto picture = [&](std::size_t entry) {
        output::GroupPicture shown;
        shown.path = paths[entry];
        if (entry < aliases.size())
            shown.aliases = aliases[entry];
        return shown;
    };
    std::string text = output::groupHeader(written, withOrientation);
    std::vector<output::GroupPicture> members;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        members.clear();
        for (const LookAlikeMember& member : groups[g].members) {
            output::GroupPicture& shown = members.emplace_back(picture(member.index));
            shown.rate = member.rate;
            shown.likeness = member.likeness;
            shown.orientation = orientationName(member.orientation);
        }
        text +=
            output::formatGroup(g, picture(groups[g].reference), members, written, withOrientation);
    }
    return QByteArray::fromStdString(text);
}

std::optional<ExportFile::Refused> ExportFile::write(const std::string& path,
                                                     const QByteArray& bytes)
{
    if (StartResult check = UiHooks::preflight(UiHooks::Check::ExportDestination, path); !check)
        return Refused{Problem::Destination, std::move(check.sentence)};
    platform::AtomicFile file(path);
    // Whatever came to the path while it was written is held to the same test.
    const auto mayReplace = [](const std::string& destination) {
        return static_cast<bool>(TGraphicSearch::checkExportDestination(destination));
    };
    if (file.begin() &&
        file.handle().writeData(bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
        file.commit(mayReplace))
        return std::nullopt;
    if (file.errorCode() == EEXIST)
        return Refused{Problem::Replaced, "Something that must not be replaced came to its place "
                                          "meanwhile; it was left as it is."};
    return Refused{Problem::System, platform::systemMessage(file.errorCode())};
}

QString ExportFile::reason(const Refused& refused)
{
    switch (refused.code) {
    case Problem::Destination:
        return RunReport::reason({Refusal::ExportUnusable, refused.sentence});
    case Problem::Replaced:
        return tr("Something that must not be replaced came to its place meanwhile; it was "
                  "left as it is.");
    case Problem::System:
        break;
    }
    return QString::fromStdString(refused.sentence);
}

} // namespace ovrin::ui
