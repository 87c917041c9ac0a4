#include "platform/tests/PlatformTestSupport.h"

#include <QCoreApplication>

#include <memory>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (auto* make : {makePlatformTests, makeMoreFormatsTests, makeOwnReadersTests}) {
        const std::unique_ptr<QObject> tests(make());
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
