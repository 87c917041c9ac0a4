#pragma once

#include "engine/RunSummary.h"

#include <QCoreApplication>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace ovrin::ui {

struct ActionConfirmation;

// What the window and the dialogs ask of the desktop and of a person: file
// panels, alerts, questions, the confirmation of an action, opening files, and the engine's tests
// of a path before a run. Each is a replaceable function so that tests can
// answer a panel, see an alert or stand in for the desktop without a person
// in front of the screen; an empty function restores the real one.
class UiHooks {
    Q_DECLARE_TR_FUNCTIONS(UiHooks)

public:
    // Answer the chosen path, or no value when the person cancelled. `filter`
    // is a file dialog filter ("Pictures (*.png *.jpg);;All files (*)").
    using OpenFile =
        std::function<std::optional<QString>(QWidget* parent, const QString& startFolder,
                                             const QString& fileName, const QString& filter)>;
    using SaveFile = OpenFile;
    using OpenFolder =
        std::function<std::optional<QString>(QWidget* parent, const QString& startFolder)>;
    using Alert =
        std::function<void(QWidget* parent, const QString& message, const QString& informative)>;
    // Yes when the person chose the action.
    using Confirm = std::function<bool(QWidget* parent, const QString& question,
                                       const QString& informative, const QString& action)>;
    // Yes when the person confirmed the action as shown.
    using ConfirmAction =
        std::function<bool(QWidget* parent, const ActionConfirmation& confirmation)>;
    // Hands a file or folder to the desktop; `failed` is called later, on the
    // UI thread, with the reason should the desktop fail to open it.
    using Failed = std::function<void(const QString& reason)>;
    using OpenUrl = std::function<void(QWidget* parent, const QUrl& url, Failed failed)>;
    using ShowInFolder =
        std::function<void(QWidget* parent, const std::string& path, Failed failed)>;

    enum class Check { TopFolder, IndexSource, IndexDestination, ExportDestination };
    using Preflight = std::function<StartResult(Check check, const std::string& path)>;

    static std::optional<QString> openFile(QWidget* parent, const QString& startFolder,
                                           const QString& fileName, const QString& filter);
    static std::optional<QString> saveFile(QWidget* parent, const QString& startFolder,
                                           const QString& fileName, const QString& filter);
    static std::optional<QString> openFolder(QWidget* parent, const QString& startFolder);
    // Modal; returns when dismissed. Both texts are shown as plain text.
    static void alert(QWidget* parent, const QString& message, const QString& informative);
    static bool confirm(QWidget* parent, const QString& question, const QString& informative,
                        const QString& action);
    static bool confirmAction(QWidget* parent, const ActionConfirmation& confirmation);
    static void openUrl(QWidget* parent, const QUrl& url, Failed failed);
    static void showInFolder(QWidget* parent, const std::string& path, Failed failed);
    static StartResult preflight(Check check, const std::string& path);

    static void setOpenFile(OpenFile hook);
    static void setSaveFile(SaveFile hook);
    static void setOpenFolder(OpenFolder hook);
    static void setAlert(Alert hook);
    static void setConfirm(Confirm hook);
    static void setConfirmAction(ConfirmAction hook);
    static void setOpenUrl(OpenUrl hook);
    static void setShowInFolder(ShowInFolder hook);
    static void setPreflight(Preflight hook);

    // The folder a panel starts in for a field's text: the text itself when it
    // is a folder, else the folder that holds it.
    static QString startFolderFor(const QString& fieldText);
    // The name under which a file is shown; empty for a path that names nothing.
    static QString displayName(const QString& path);
    // The name an index file panel proposes: the field's file, else "index.ovi".
    static QString indexFileName(const QString& fieldText);
    // Panel filters: the picture formats Ovrin reads, and index files.
    static QString pictureFilter();
    static QString indexFilter();
};

} // namespace ovrin::ui
