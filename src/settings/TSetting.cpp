#include "settings/TSetting.h"

#include "settings/Preferences.h"

namespace ovrin {

namespace {

// Integers are kept as 64-bit numbers by the store; a value that a damaged or
// hand-edited file pushes out of range reads as its low 32 bits, like any
// other stored value it is taken without checks.
std::int32_t integer(const Preferences& store, const char* key)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(store.integerForKey(key)));
}

} // namespace

void TSetting::setTargetFilePath(const std::optional<std::string>& path)
{
    if (path)
        m_targetFilePath = *path;
}

void TSetting::setTopDirPath(const std::optional<std::string>& path)
{
    if (path)
        m_topDirPath = *path;
}

void TSetting::setIndexFilePath(const std::optional<std::string>& path)
{
    if (path)
        m_indexFilePath = *path;
}

bool TSetting::equals(const TSetting& other) const
{
    return m_version == other.m_version && m_targetFilePath == other.m_targetFilePath &&
           m_topDirPath == other.m_topDirPath && m_indexFilePath == other.m_indexFilePath &&
           m_bits == other.m_bits && m_matchRate == other.m_matchRate &&
           m_pixelNumber == other.m_pixelNumber && m_searchMethod == other.m_searchMethod &&
           m_anyOrientation == other.m_anyOrientation && m_targetPasted == other.m_targetPasted;
}

bool TSetting::beginning()
{
    const Preferences& store = Preferences::standard();
    m_version = integer(store, "version");
    if (m_version == 0) {
        m_version = kVersion;
        return false;
    }
    setTargetFilePath(store.pathForKey("targetFilePath"));
    setTopDirPath(store.pathForKey("topDirPath"));
    setIndexFilePath(store.pathForKey("indexFilePath"));
    m_bits = integer(store, "bits");
    m_matchRate = integer(store, "matchRate");
    m_pixelNumber = integer(store, "pixelNumber");
    m_searchMethod = static_cast<SearchMethod>(integer(store, "searchMethod"));
    m_anyOrientation = integer(store, "anyOrientation") != 0;
    m_targetPasted = integer(store, "targetPasted") != 0;
    m_version = kVersion;
    return true;
}

void TSetting::ending()
{
    Preferences& store = Preferences::standard();
    m_version = kVersion;
    store.setInteger("version", kVersion);
    store.setPath("targetFilePath", m_targetFilePath);
    store.setPath("topDirPath", m_topDirPath);
    store.setPath("indexFilePath", m_indexFilePath);
    store.setInteger("bits", m_bits);
    store.setInteger("matchRate", m_matchRate);
    store.setInteger("pixelNumber", m_pixelNumber);
    store.setInteger("searchMethod", static_cast<std::int32_t>(m_searchMethod));
    store.setInteger("anyOrientation", m_anyOrientation ? 1 : 0);
    store.setInteger("targetPasted", m_targetPasted ? 1 : 0);
    store.synchronize();
}

} // namespace ovrin
