#include "platform/fs/FileManager.h"
#include "platform/fs/ProcessGuard.h"
#include "ui/Ovrin.h"

#include <QApplication>
#include <QLocale>
#include <QMainWindow>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onTerminate(int /*signal*/)
{
    const char byte = 1;
    [[maybe_unused]] const auto wrote = ::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGHUP end the application as closing the window does, so an
// index being written is stopped cleanly and no temporary file is left.
void quitOnTerminate(ovrin::ui::Ovrin& controller)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, controller.mainWindow());
    QObject::connect(notifier, &QSocketNotifier::activated, &controller,
                     &ovrin::ui::Ovrin::quitWithoutAsking);
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}

// The toolkit waits forever on a thread it cannot start (its accessibility
// bridge does, at start-up); better to say so and leave.
bool canStartThreads()
{
    try {
        std::thread([] {}).join();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

constexpr const char* kUsage =
    "Usage: ovrin [PICTURE] [FOLDER | INDEXFILE] [--] [PATH]...\n"
    "       ovrin --help | --version\n"
    "\n"
    "Opens the window with the paths taken as a drop: a picture becomes the\n"
    "target, a folder or an index file what is searched. A path that begins with\n"
    "'-' goes after \"--\" or is written as ./-name. Qt's own options (-style,\n"
    "-platform and the like) are taken too.\n";

// Ours are the options before "--"; Qt has taken its own when this runs.
// Returns the exit status when the arguments say to leave.
std::optional<int> takeOptions(const std::vector<std::string>& arguments,
                               std::vector<std::string>* paths)
{
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            if (paths)
                paths->push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--version") {
            std::fputs("ovrin " OVRIN_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        } else if (paths) {
            std::fprintf(stderr, "ovrin: unknown option '%s'\n\n%s", argument.c_str(), kUsage);
            return 2;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything opens a file: the standard descriptors must be taken.
    if (const auto refused = ovrin::platform::prepareProcess()) {
        std::fprintf(stderr, "ovrin: %s\n", refused->sentence.c_str());
        return 1;
    }

    // --version and --help need no display: answered before the toolkit starts.
    if (const auto status = takeOptions(std::vector<std::string>(argv + 1, argv + argc), nullptr))
        return *status;

    if (!canStartThreads()) {
        std::fprintf(stderr, "ovrin: no thread can be started (see ulimit -u); the window needs "
                             "some\n");
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovrin"));
    QApplication::setOrganizationName(QStringLiteral("Ovrin"));
    QApplication::setApplicationVersion(QStringLiteral(OVRIN_VERSION));
    // The desktop entry's id, which Wayland compositors match the window to.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ovrin.Ovrin"));
    const auto qtTexts = ovrin::ui::Ovrin::loadQtTranslation(QLocale());
    if (qtTexts)
        QApplication::installTranslator(qtTexts.get());
    const auto translator = ovrin::ui::Ovrin::loadTranslation(QLocale());
    if (translator)
        QApplication::installTranslator(translator.get());

    // What Qt left of the arguments are files and folders, taken like a drop;
    // their bytes go to the file system as they are.
    std::vector<std::string> paths;
    if (const auto status = takeOptions(std::vector<std::string>(argv + 1, argv + argc), &paths))
        return *status;
    ovrin::ui::Ovrin controller;
    controller.openArguments(paths, ovrin::platform::FileManager::workingFolder().value_or(""));
    quitOnTerminate(controller);
    controller.mainWindow()->show();
    return QApplication::exec();
}
