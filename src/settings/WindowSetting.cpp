#include "settings/WindowSetting.h"

#include "settings/ExclusionSetting.h"
#include "settings/Preferences.h"

#include <QString>

namespace ovrin::windowsetting {

namespace {

const char* const kStateKeys[] = {"Window/geometry", "Window/splitter", "Window/columns",
                                  "Window/groupColumns", "Window/compareGeometry"};
const char* const kMethodKey = "Groups/method";
const char* const kFolderKey = "Groups/topDirPath";
const char* const kIndexKey = "Groups/indexFilePath";
const char* const kBitsKey = "Groups/bits";
const char* const kRateKey = "Groups/matchRate";
const char* const kSimilarityKey = "Groups/similarity";
const char* const kKeepKey = "Groups/keep";
const char* const kPreferredKey = "Groups/preferredFolders";
const char* const kAnyOrientationKey = "Groups/anyOrientation";
const char* const kProtectedKey = "Review/protectedFolders";

std::optional<std::int32_t> number(const std::optional<std::string>& stored)
{
    bool ok = false;
    const int value = stored ? QString::fromStdString(*stored).toInt(&ok) : 0;
    return ok ? std::optional<std::int32_t>(value) : std::nullopt;
}

} // namespace

std::string state(State which)
{
    return Preferences::standard()
        .stringForKey(kStateKeys[static_cast<int>(which)])
        .value_or(std::string());
}

void setState(State which, const std::string& base64)
{
    Preferences::standard().setString(kStateKeys[static_cast<int>(which)], base64);
}

Groups groups()
{
    const Preferences& store = Preferences::standard();
    Groups groups;
    if (const std::optional<std::string> method = store.stringForKey(kMethodKey)) {
        constexpr auto byIndex = static_cast<std::int32_t>(SearchMethod::IndexFile);
        const std::optional<std::int32_t> kind = number(method);
        groups.source = Groups::Source{
            kind
                ? std::optional(kind == byIndex ? SearchMethod::IndexFile : SearchMethod::Directory)
                : std::nullopt,
            store.pathForKey(kFolderKey, Preferences::PathForm::TextOrFileUrl),
            store.pathForKey(kIndexKey, Preferences::PathForm::TextOrFileUrl),
            number(store.stringForKey(kBitsKey)), number(store.stringForKey(kRateKey))};
    }
    groups.similarity = store.stringForKey(kSimilarityKey).value_or(std::string());
    groups.keep = store.stringForKey(kKeepKey).value_or(std::string());
    groups.preferred = foldersFromUrls(store.stringForKey(kPreferredKey));
    groups.anyOrientation = store.stringForKey(kAnyOrientationKey) == "1";
    return groups;
}

void setGroups(const Groups::Source& source, const std::string& similarity, const std::string& keep,
               const std::vector<std::string>& preferred, bool anyOrientation)
{
    Preferences& store = Preferences::standard();
    store.setString(kMethodKey, std::to_string(static_cast<std::int32_t>(
                                    source.method.value_or(search::kDefaultMethod))));
    store.setPath(kFolderKey, source.folder, Preferences::PathForm::TextOrFileUrl);
    store.setPath(kIndexKey, source.index, Preferences::PathForm::TextOrFileUrl);
    store.setString(kBitsKey, std::to_string(source.bits.value_or(search::kDefaultBits)));
    store.setString(kRateKey, std::to_string(source.matchRate.value_or(search::kDefaultMatchRate)));
    store.setString(kSimilarityKey, similarity);
    store.setString(kKeepKey, keep);
    store.setString(kPreferredKey, folderUrls(preferred));
    store.setString(kAnyOrientationKey, anyOrientation ? "1" : "0");
}

std::vector<std::string> protectedFolders()
{
    return foldersFromUrls(Preferences::standard().stringForKey(kProtectedKey));
}

void setProtectedFolders(const std::vector<std::string>& folders)
{
    Preferences::standard().setString(kProtectedKey, folderUrls(folders));
}

bool write()
{
    return Preferences::standard().synchronize();
}

} // namespace ovrin::windowsetting
