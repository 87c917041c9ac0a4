#include "ui/GroupExport.h"

#include "engine/NameText.h"
#include "engine/TGraphicSearch.h"
#include "platform/AtomicFile.h"
#include "ui/RunReport.h"
#include "ui/UiHooks.h"

#include <QtGlobal>

#include <cerrno>
#include <charconv>
#include <cstdio>

namespace ovrin::ui {

namespace {

// Written as the command line writes it.
QByteArray csvField(const std::string& text)
{
    return QByteArray::fromStdString(ovrin::csvField(text));
}

// Length of the well-formed UTF-8 sequence at `at`, 0 for a stray byte.
std::size_t utf8Length(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

QByteArray jsonString(const std::string& text)
{
    QByteArray out("\"");
    char escaped[8];
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = utf8Length(text, i);
        if (length > 1) {
            out.append(text.data() + i, static_cast<qsizetype>(length));
        } else if (length == 0) {
            std::snprintf(escaped, sizeof escaped, "\\\\x%02x", byte);
            out += escaped;
        } else if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += static_cast<char>(byte);
        }
        i += length == 0 ? 1 : length;
    }
    return out + '"';
}

// As printf's "%.1f" in the C locale, whatever the locale of the window.
QByteArray likeness(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return {text, end.ec == std::errc() ? static_cast<qsizetype>(end.ptr - text) : 0};
}

} // namespace

GroupExport::Format GroupExport::formatFor(const QString& fileName)
{
    return fileName.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ||
                   fileName.endsWith(QStringLiteral(".jsonl"), Qt::CaseInsensitive)
               ? Format::JsonLines
               : Format::Csv;
}

QByteArray GroupExport::write(const std::vector<std::string>& paths,
                              const std::vector<std::vector<std::string>>& aliases,
                              const std::vector<LookAlikeGroup>& groups, Format format)
{
    static const std::vector<std::string> none;
    const auto aliasesOf = [&](std::size_t entry) -> const std::vector<std::string>& {
        return entry < aliases.size() ? aliases[entry] : none;
    };
    QByteArray out;
    if (format == Format::Csv)
        out += "group,role,rate,likeness,path\r\n";
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const LookAlikeGroup& group = groups[g];
        const QByteArray number = QByteArray::number(static_cast<qulonglong>(g + 1));
        if (format == Format::Csv) {
            const auto aliasLines = [&](std::size_t entry) {
                for (const std::string& alias : aliasesOf(entry))
                    out += number + ",alias,,," + csvField(alias) + "\r\n";
            };
            out += number + ",reference,,," + csvField(paths[group.reference]) + "\r\n";
            aliasLines(group.reference);
            for (const LookAlikeMember& member : group.members) {
                out += number + ",member," + QByteArray::number(member.rate) + ',' +
                       likeness(member.likeness) + ',' + csvField(paths[member.index]) + "\r\n";
                aliasLines(member.index);
            }
            continue;
        }
        const auto aliasField = [&](std::size_t entry) {
            const std::vector<std::string>& others = aliasesOf(entry);
            if (others.empty())
                return QByteArray();
            QByteArray field(",\"aliases\":[");
            for (std::size_t a = 0; a < others.size(); ++a)
                field += (a == 0 ? "" : ",") + jsonString(others[a]);
            return field + ']';
        };
        out += "{\"reference\":" + jsonString(paths[group.reference]) +
               aliasField(group.reference) + ",\"members\":[";
        for (std::size_t m = 0; m < group.members.size(); ++m) {
            const LookAlikeMember& member = group.members[m];
            out += (m == 0 ? "" : ",") + QByteArray("{\"rate\":") +
                   QByteArray::number(member.rate) + ",\"likeness\":" + likeness(member.likeness) +
                   ",\"path\":" + jsonString(paths[member.index]) + aliasField(member.index) + '}';
        }
        out += "]}\n";
    }
    return out;
}

std::optional<QString> ExportFile::write(const std::string& path, const QByteArray& bytes)
{
    if (const StartResult check = UiHooks::preflight(UiHooks::Check::ExportDestination, path);
        !check)
        return RunReport::reason(check);
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
        return tr("Something that must not be replaced came to its place meanwhile; it was "
                  "left as it is.");
    return qt_error_string(file.errorCode());
}

} // namespace ovrin::ui
