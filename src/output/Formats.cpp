#include "output/Formats.h"

#include "output/NameText.h"

#include <charconv>

namespace ovrin::output {

namespace {

// As printf's "%.1f" in the C locale, whatever locale the process runs in:
// the window's toolkit sets the user's, which may write "97,2".
std::string likenessText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return end.ec == std::errc() ? std::string(text, end.ptr) : std::string();
}

} // namespace

std::string hitHeader(Format format, bool withOrientation)
{
    switch (format) {
    case Format::Tsv:
        return withOrientation ? "rate\tlikeness\torientation\tpath\n" : "rate\tlikeness\tpath\n";
    case Format::Csv:
        return withOrientation ? "rate,likeness,orientation,path\r\n" : "rate,likeness,path\r\n";
    default:
        return {};
    }
}

std::string formatHit(const Hit& hit, Format format, bool nullTerminated)
{
    const std::string rate = std::to_string(hit.rate);
    const std::string_view how = hit.orientation;
    switch (format) {
    case Format::Plain:
        if (nullTerminated)
            return rate + '\t' + hit.path + '\0';
        return rate + '\t' + escapePath(hit.path) + '\n';
    case Format::Tsv:
        return rate + '\t' + likenessText(hit.likeness) + '\t' +
               (how.empty() ? std::string() : std::string(how) + '\t') + escapePath(hit.path) +
               '\n';
    case Format::Csv:
        return rate + ',' + likenessText(hit.likeness) + ',' +
               (how.empty() ? std::string() : csvField(how) + ',') + csvField(hit.path) + "\r\n";
    case Format::Json:
        return "{\"rate\":" + rate + ",\"likeness\":" + likenessText(hit.likeness) +
               (how.empty() ? std::string() : ",\"orientation\":" + jsonString(how)) +
               ",\"path\":" + jsonString(hit.path) + "}\n";
    }
    return {};
}

std::string groupHeader(Format format, bool withOrientation)
{
    if (format != Format::Csv)
        return {};
    return withOrientation ? "group,role,rate,likeness,orientation,path\r\n"
                           : "group,role,rate,likeness,path\r\n";
}

std::string formatGroup(std::size_t number, const GroupPicture& reference,
                        const std::vector<GroupPicture>& members, Format format,
                        bool withOrientation)
{
    const std::string group = std::to_string(number + 1);
    std::string text;
    if (format == Format::Json) {
        const auto aliasArray = [&text](const GroupPicture& picture) {
            for (std::size_t a = 0; a < picture.aliases.size(); ++a)
                text.append(a == 0 ? ",\"aliases\":[" : ",").append(jsonString(picture.aliases[a]));
            if (!picture.aliases.empty())
                text += ']';
        };
        text = "{\"reference\":" + jsonString(reference.path);
        aliasArray(reference);
        text += ",\"members\":[";
        for (std::size_t m = 0; m < members.size(); ++m) {
            const GroupPicture& member = members[m];
            text.append(m == 0 ? "{\"rate\":" : ",{\"rate\":")
                .append(std::to_string(member.rate))
                .append(",\"likeness\":")
                .append(likenessText(member.likeness));
            if (withOrientation)
                text.append(",\"orientation\":").append(jsonString(member.orientation));
            text.append(",\"path\":").append(jsonString(member.path));
            aliasArray(member);
            text += member.isProtected ? ",\"protected\":true}" : "}";
        }
        return text + "]}\n";
    }
    const bool csv = format == Format::Csv;
    const char* const end = csv ? "\r\n" : "\n";
    const bool column = withOrientation && format != Format::Plain;
    const auto how = [&](std::string_view orientation) {
        return column ? std::string(orientation) + (csv ? "," : "\t") : std::string();
    };
    const auto line = [&](const std::string& head, std::string_view path) {
        text.append(head).append(csv ? csvField(path) : escapePath(path)).append(end);
    };
    const auto withAliases = [&](const std::string& head, const GroupPicture& picture) {
        line(head, picture.path);
        for (const std::string& alias : picture.aliases)
            line((csv ? group + ",alias,,," : std::string("alias\t\t")) + how({}), alias);
    };
    if (csv) {
        withAliases(group + ",reference,,," + how({}), reference);
        for (const GroupPicture& member : members)
            withAliases(group + (member.isProtected ? ",protected," : ",member,") +
                            std::to_string(member.rate) + ',' + likenessText(member.likeness) +
                            ',' + how(csvField(member.orientation)),
                        member);
        return text;
    }
    // A block per group, the reference first, a blank line between groups.
    withAliases((number == 0 ? "ref\t100.0\t" : "\nref\t100.0\t") + how("upright"), reference);
    for (const GroupPicture& member : members)
        withAliases((member.isProtected ? std::string("protected") : std::to_string(member.rate)) +
                        '\t' + likenessText(member.likeness) + '\t' + how(member.orientation),
                    member);
    return text;
}

} // namespace ovrin::output
