#include "platform/ProcessGuard.h"
#include "ui/Ovrin.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QMainWindow>
#include <QTranslator>

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string workingFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr)
            return buffer.data();
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything opens a file: the standard descriptors must be taken.
    std::string problem;
    if (!ovrin::platform::prepareProcess(&problem)) {
        std::fprintf(stderr, "ovrin: %s\n", problem.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovrin"));
    QApplication::setOrganizationName(QStringLiteral("Ovrin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ovrin.svg")));
    const auto qtTexts = ovrin::ui::Ovrin::loadQtTranslation(QLocale());
    if (qtTexts)
        QApplication::installTranslator(qtTexts.get());
    const auto translator = ovrin::ui::Ovrin::loadTranslation(QLocale());
    if (translator)
        QApplication::installTranslator(translator.get());

    ovrin::ui::Ovrin controller;
    // What Qt left of the arguments are files and folders, taken like a drop;
    // their bytes go to the file system as they are.
    controller.openArguments(std::vector<std::string>(argv + 1, argv + argc), workingFolder());
    controller.mainWindow()->show();
    return QApplication::exec();
}
