#include "ui/Ovrin.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QMainWindow>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ovrin"));
    QApplication::setOrganizationName(QStringLiteral("Ovrin"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/ovrin.svg")));
    const auto translator = ovrin::ui::Ovrin::loadTranslation(QLocale());
    if (translator)
        QApplication::installTranslator(translator.get());

    ovrin::ui::Ovrin controller;
    controller.mainWindow()->show();
    return QApplication::exec();
}
