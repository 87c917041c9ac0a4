#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace ovrin::ui {

// The file panels and alerts the dialogs and the window raise. Each is a
// replaceable function so that tests can answer a panel or see an alert
// without a person in front of the screen; an empty function restores the
// real panel or alert.
class UiHooks {
public:
    // Answer the chosen path, or no value when the person cancelled.
    using OpenFile = std::function<std::optional<QString>(
        QWidget* parent, const QString& startFolder, const QString& fileName)>;
    using SaveFile = OpenFile;
    using OpenFolder =
        std::function<std::optional<QString>(QWidget* parent, const QString& startFolder)>;
    using Alert =
        std::function<void(QWidget* parent, const QString& message, const QString& informative)>;

    static std::optional<QString> openFile(QWidget* parent, const QString& startFolder,
                                           const QString& fileName);
    static std::optional<QString> saveFile(QWidget* parent, const QString& startFolder,
                                           const QString& fileName);
    static std::optional<QString> openFolder(QWidget* parent, const QString& startFolder);
    // Modal; returns when dismissed. Both texts are shown as plain text.
    static void alert(QWidget* parent, const QString& message, const QString& informative);

    static void setOpenFile(OpenFile hook);
    static void setSaveFile(SaveFile hook);
    static void setOpenFolder(OpenFolder hook);
    static void setAlert(Alert hook);

    // The folder a panel starts in for a field's text: the text itself when it
    // is a folder, else the folder that holds it.
    static QString startFolderFor(const QString& fieldText);
    // The name under which a file is shown; empty for a path that names nothing.
    static QString displayName(const QString& path);
    // The name an index file panel proposes: the field's file, else "index.ovi".
    static QString indexFileName(const QString& fieldText);
};

} // namespace ovrin::ui
