#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ovrin {

// The per-user preferences store: named values kept between runs, in the
// platform's native place (on Linux an INI file under the user's configuration
// folder). A damaged or unreadable store reads as an empty one.
class Preferences {
public:
    // The store of this user and application.
    static Preferences& standard();

    // Points standard() at another file; tests use it so that they never touch
    // the real user's settings. An empty path goes back to the native place.
    static void setStoreFileForTesting(const std::string& path);

    std::int64_t integerForKey(const std::string& key) const; // 0 when absent or no number
    std::optional<std::string> stringForKey(const std::string& key) const;
    void setInteger(const std::string& key, std::int64_t value);
    void setString(const std::string& key, const std::string& value);
    // A path comes back with every byte it was given: one that is UTF-8 is
    // kept as text, as all paths were once, any other as bytes. No path
    // removes the key, so that none stays apart from an empty one.
    enum class PathForm {
        Text,
        TextOrFileUrl // the window's groups once kept a path that was no UTF-8 as a file URL
    };
    std::optional<std::string> pathForKey(const std::string& key,
                                          PathForm form = PathForm::Text) const;
    void setPath(const std::string& key, const std::optional<std::string>& path,
                 PathForm form = PathForm::Text);
    // Writes the store out now; false when it could not be written.
    bool synchronize();

    ~Preferences();
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

private:
    Preferences();
    struct Store;
    std::unique_ptr<Store> m_store;
};

} // namespace ovrin
