#include "ui/UiHooks.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>

namespace ovrin::ui {

namespace {

UiHooks::OpenFile g_openFile;
UiHooks::SaveFile g_saveFile;
UiHooks::OpenFolder g_openFolder;
UiHooks::Alert g_alert;

std::optional<QString> chosen(const QString& path)
{
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QString initialPath(const QString& startFolder, const QString& fileName)
{
    return fileName.isEmpty() ? startFolder : QDir(startFolder).filePath(fileName);
}

} // namespace

std::optional<QString> UiHooks::openFile(QWidget* parent, const QString& startFolder,
                                         const QString& fileName)
{
    if (g_openFile)
        return g_openFile(parent, startFolder, fileName);
    return chosen(
        QFileDialog::getOpenFileName(parent, QString(), initialPath(startFolder, fileName)));
}

std::optional<QString> UiHooks::saveFile(QWidget* parent, const QString& startFolder,
                                         const QString& fileName)
{
    if (g_saveFile)
        return g_saveFile(parent, startFolder, fileName);
    return chosen(
        QFileDialog::getSaveFileName(parent, QString(), initialPath(startFolder, fileName)));
}

std::optional<QString> UiHooks::openFolder(QWidget* parent, const QString& startFolder)
{
    if (g_openFolder)
        return g_openFolder(parent, startFolder);
    return chosen(QFileDialog::getExistingDirectory(parent, QString(), startFolder));
}

void UiHooks::alert(QWidget* parent, const QString& message, const QString& informative)
{
    if (g_alert) {
        g_alert(parent, message, informative);
        return;
    }
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setInformativeText(informative);
    // A path is shown character for character, never read as markup.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void UiHooks::setOpenFile(OpenFile hook)
{
    g_openFile = std::move(hook);
}

void UiHooks::setSaveFile(SaveFile hook)
{
    g_saveFile = std::move(hook);
}

void UiHooks::setOpenFolder(OpenFolder hook)
{
    g_openFolder = std::move(hook);
}

void UiHooks::setAlert(Alert hook)
{
    g_alert = std::move(hook);
}

QString UiHooks::startFolderFor(const QString& fieldText)
{
    const QFileInfo info(fieldText);
    if (fieldText.isEmpty() || info.isDir())
        return fieldText;
    return info.path();
}

QString UiHooks::displayName(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.fileName() : QString();
}

QString UiHooks::indexFileName(const QString& fieldText)
{
    const QString name = displayName(fieldText);
    return name.isEmpty() ? QStringLiteral("index.ovi") : name;
}

} // namespace ovrin::ui
