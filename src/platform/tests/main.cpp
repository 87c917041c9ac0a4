#include "platform/tests/PlatformTestSupport.h"

#include <QCoreApplication>

#include <cstring>
#include <memory>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], ovrin::platformtest::kDecodeWithoutThreads) == 0)
        ::_exit(ovrin::platformtest::decodeWithoutThreads(argv[2], argv[3])); // no exit checks
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (auto* make : {makePlatformTests, makeMoreFormatsTests, makeOwnReadersTests}) {
        const std::unique_ptr<QObject> tests(make());
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
