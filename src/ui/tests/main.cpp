#include "ui/tests/UiTestSupport.h"

#include <QApplication>
#include <QTest>

#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (auto* make : {ovrin::uitest::makeUiTests, ovrin::uitest::makeMarksTests,
                       ovrin::uitest::makeActionsTests, ovrin::uitest::makeStatesTests}) {
        const std::unique_ptr<QObject> tests(make());
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
