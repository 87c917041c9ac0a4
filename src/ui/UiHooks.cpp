#include "ui/UiHooks.h"

#include "engine/TGraphicSearch.h"
#include "ui/ActionConfirmDlg.h"
#include "ui/PathText.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>

namespace ovrin::ui {

namespace {

UiHooks::OpenFile g_openFile;
UiHooks::SaveFile g_saveFile;
UiHooks::OpenFolder g_openFolder;
UiHooks::Alert g_alert;
UiHooks::Confirm g_confirm;
UiHooks::ConfirmAction g_confirmAction;
UiHooks::OpenUrl g_openUrl;
UiHooks::ShowInFolder g_showInFolder;
UiHooks::Preflight g_preflight;

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

// What xdg-open's exit status means, for a person.
QString openFailure(int exitCode, const QString& errors)
{
    QString reason;
    switch (exitCode) {
    case 2:
        reason = UiHooks::tr("No such file.");
        break;
    case 3:
        reason = UiHooks::tr("No program is set up to open this kind of file.");
        break;
    case 4:
        reason = UiHooks::tr("The program that opens this kind of file failed.");
        break;
    default:
        reason = UiHooks::tr("The desktop could not open it (xdg-open ended with status %1).")
                     .arg(exitCode);
        break;
    }
    const QString last = errors.trimmed().section(QLatin1Char('\n'), -1);
    return last.isEmpty() ? reason : reason + QLatin1Char('\n') + last;
}

// Opens through xdg-open and watches its answer without waiting for it. Its
// messages go to a file, never a pipe: a viewer that outlives the window must
// not die writing to a closed pipe.
void launch(const QUrl& url, const UiHooks::Failed& failed)
{
    auto* process = new QProcess(qApp);
    auto* errors = new QTemporaryFile(process);
    if (errors->open())
        process->setStandardErrorFile(errors->fileName());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         if (failed)
                             failed(UiHooks::tr("No program to open files is installed "
                                                "(xdg-open was not found)."));
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, errors, failed](int exitCode, QProcess::ExitStatus status) {
                         if ((status != QProcess::NormalExit || exitCode != 0) && failed) {
                             errors->seek(0);
                             failed(openFailure(status == QProcess::NormalExit ? exitCode : -1,
                                                QString::fromLocal8Bit(errors->readAll())));
                         }
                         process->deleteLater();
                     });
    process->start(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())});
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

std::optional<QString> UiHooks::openFile(QWidget* parent, const QString& startFolder,
                                         const QString& fileName, const QString& filter)
{
    if (g_openFile)
        return g_openFile(parent, startFolder, fileName, filter);
    return chosen(QFileDialog::getOpenFileName(parent, QString(),
                                               initialPath(startFolder, fileName), filter));
}

std::optional<QString> UiHooks::saveFile(QWidget* parent, const QString& startFolder,
                                         const QString& fileName, const QString& filter)
{
    if (g_saveFile)
        return g_saveFile(parent, startFolder, fileName, filter);
    return chosen(QFileDialog::getSaveFileName(parent, QString(),
                                               initialPath(startFolder, fileName), filter));
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

bool UiHooks::confirm(QWidget* parent, const QString& question, const QString& informative,
                      const QString& action)
{
    if (g_confirm)
        return g_confirm(parent, question, informative, action);
    QMessageBox box(parent);
    box.setIcon(QMessageBox::Question);
    box.setTextFormat(Qt::PlainText);
    box.setText(question);
    box.setInformativeText(informative);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(action, QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == yes;
}

bool UiHooks::confirmAction(QWidget* parent, const ActionConfirmation& confirmation)
{
    if (g_confirmAction)
        return g_confirmAction(parent, confirmation);
    ActionConfirmDlg dialog(confirmation, parent);
    return dialog.exec() == QDialog::Accepted;
}

void UiHooks::openUrl(QWidget* parent, const QUrl& url, Failed failed)
{
    if (g_openUrl) {
        g_openUrl(parent, url, std::move(failed));
        return;
    }
    launch(url, failed);
}

void UiHooks::showInFolder(QWidget* parent, const std::string& path, Failed failed)
{
    if (g_showInFolder) {
        g_showInFolder(parent, path, std::move(failed));
        return;
    }
    const QUrl folder = PathText::toUrl(folderOf(path));
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    const bool available =
        names != nullptr && (names->isServiceRegistered(service).value() ||
                             names->activatableServiceNames().value().contains(service));
    if (!available) {
        launch(folder, failed);
        return;
    }
    // The file manager selects the file; should it fail, the folder opens.
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(PathText::toUrl(path).toEncoded())} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [watcher, folder, failed] {
                         if (watcher->isError())
                             launch(folder, failed);
                         watcher->deleteLater();
                     });
}

StartResult UiHooks::preflight(Check check, const std::string& path)
{
    if (g_preflight)
        return g_preflight(check, path);
    switch (check) {
    case Check::TopFolder:
        return TGraphicSearch::checkTopFolder(path);
    case Check::IndexSource:
        return TGraphicSearch::checkIndexSource(path);
    case Check::IndexDestination:
        return TGraphicSearch::checkIndexDestination(path);
    case Check::ExportDestination:
        return TGraphicSearch::checkExportDestination(path);
    }
    return {};
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

void UiHooks::setConfirm(Confirm hook)
{
    g_confirm = std::move(hook);
}

void UiHooks::setConfirmAction(ConfirmAction hook)
{
    g_confirmAction = std::move(hook);
}

void UiHooks::setOpenUrl(OpenUrl hook)
{
    g_openUrl = std::move(hook);
}

void UiHooks::setShowInFolder(ShowInFolder hook)
{
    g_showInFolder = std::move(hook);
}

void UiHooks::setPreflight(Preflight hook)
{
    g_preflight = std::move(hook);
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

QString UiHooks::pictureFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return tr("Pictures (%1)").arg(patterns.join(QLatin1Char(' '))) + QStringLiteral(";;") +
           tr("All files (*)");
}

QString UiHooks::indexFilter()
{
    return tr("Index files (*.ovi)") + QStringLiteral(";;") + tr("All files (*)");
}

} // namespace ovrin::ui
