#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <string>

class QLineEdit;

namespace ovrin::ui {

// Paths are the file system's raw bytes. Qt turns bytes that are not UTF-8
// into replacement characters, so a QString made from a path is for showing
// only: every path that goes back to the file system (hits, drops, opens, the
// dialogs' fields left as they were) is taken from the bytes themselves.
class PathText {
public:
    static QString display(const std::string& path);
    // A path a person typed or a file panel gave.
    static std::string fromText(const QString& text);
    // Whether display() shows the path without losing a byte.
    static bool isExact(const std::string& path);

    // A file URL that names exactly these bytes, and the bytes a file URL names.
    static QUrl toUrl(const std::string& path);
    static std::optional<std::string> fromUrl(const QUrl& url);
    // A command-line argument: a path as given (made absolute against the
    // working folder, ".." left to the system) or a file URL.
    static std::string fromArgument(const std::string& argument, const std::string& workingFolder);

    // A field filled from a path remembers the bytes, so that confirming it
    // unchanged gives back the same file rather than its lossy text.
    static void setField(QLineEdit* field, const std::optional<std::string>& path);
    static std::string field(const QLineEdit* field);
};

} // namespace ovrin::ui
