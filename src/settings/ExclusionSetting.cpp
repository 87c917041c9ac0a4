#include "settings/ExclusionSetting.h"

#include "settings/Preferences.h"

#include <optional>
#include <string_view>

namespace ovrin {

namespace {

constexpr const char* kFileScheme = "file://";

// Percent-encodes every byte `keep` does not let through as it is.
template <typename Keep>
std::string encode(const std::string& bytes, Keep keep)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (keep(byte)) {
            text += c;
        } else {
            text += '%';
            text += digits[byte >> 4];
            text += digits[byte & 15];
        }
    }
    return text;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A '%' without two hex digits stands for itself.
std::string decode(std::string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

bool urlKeeps(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
           byte == '~' || byte == '/';
}

bool patternKeeps(unsigned char byte)
{
    return byte > ' ' && byte < 0x7f && byte != '%';
}

std::vector<std::string> lines(const std::optional<std::string>& stored)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    const std::string text = stored.value_or(std::string());
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "\n") + part;
    return text;
}

} // namespace

std::string folderUrls(const std::vector<std::string>& folders)
{
    std::vector<std::string> urls;
    urls.reserve(folders.size());
    for (const std::string& folder : folders)
        urls.push_back(kFileScheme + encode(folder, urlKeeps));
    return joined(urls);
}

std::vector<std::string> foldersFromUrls(const std::optional<std::string>& stored)
{
    std::vector<std::string> folders;
    for (const std::string& line : lines(stored)) {
        // A hand-edited line may carry blanks around its URL.
        std::string_view url(line);
        while (!url.empty() && (url.front() == ' ' || url.front() == '\t'))
            url.remove_prefix(1);
        while (!url.empty() && (url.back() == ' ' || url.back() == '\t' || url.back() == '\r'))
            url.remove_suffix(1);
        if (!url.starts_with(kFileScheme))
            continue;
        std::string folder = decode(url.substr(std::string_view(kFileScheme).size()));
        if (folder.starts_with('/'))
            folders.push_back(std::move(folder));
    }
    return folders;
}

ExclusionSetting ExclusionSetting::load()
{
    const Preferences& store = Preferences::standard();
    ExclusionSetting setting;
    setting.folders = foldersFromUrls(store.stringForKey(kFoldersKey));
    for (const std::string& line : lines(store.stringForKey(kPatternsKey)))
        setting.patterns.push_back(decode(line));
    return setting;
}

bool ExclusionSetting::save() const
{
    std::vector<std::string> texts;
    for (const std::string& pattern : patterns)
        texts.push_back(encode(pattern, patternKeeps));
    Preferences& store = Preferences::standard();
    store.setString(kFoldersKey, folderUrls(folders));
    store.setString(kPatternsKey, joined(texts));
    return store.synchronize();
}

} // namespace ovrin
