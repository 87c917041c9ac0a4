#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "support/TestImages.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace ovrin::cli;
using ovrin::test::str;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(OVRIN_CLI_PATH), arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// target.jpg beside tree/: a half-size recompressed copy and a PNG copy of the
// target among four unrelated pictures and a text file.
bool makePhotoTree(const QTemporaryDir& dir)
{
    const QString tree = dir.filePath(QStringLiteral("tree"));
    const QImage photo = ovrin::test::photoLike(800, 600, 77);
    bool ok =
        QDir().mkpath(tree + QStringLiteral("/sub")) &&
        ovrin::test::writeImage(dir.filePath(QStringLiteral("target.jpg")), photo, "jpeg", 90) &&
        ovrin::test::writeImage(
            tree + QStringLiteral("/sub/half.jpg"),
            photo.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpeg", 50) &&
        ovrin::test::writeImage(tree + QStringLiteral("/copy.png"), photo, "png") &&
        ovrin::test::writeText(tree + QStringLiteral("/readme.txt"), "text");
    for (quint32 seed = 1; seed <= 4; ++seed)
        ok = ok && ovrin::test::writeImage(tree + QStringLiteral("/other%1.jpg").arg(seed),
                                           ovrin::test::photoLike(800, 600, seed), "jpeg", 85);
    return ok;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parsesIntegersStrictly()
    {
        QCOMPARE(parseInt32("70"), std::optional<std::int32_t>(70));
        QCOMPARE(parseInt32("-60"), std::optional<std::int32_t>(-60));
        QCOMPARE(parseInt32("+4"), std::optional<std::int32_t>(4));
        QCOMPARE(parseInt32("2147483647"), std::optional<std::int32_t>(2147483647));
        QVERIFY(!parseInt32("2147483648"));
        QVERIFY(!parseInt32("7x"));
        QVERIFY(!parseInt32(" 7"));
        QVERIFY(!parseInt32(""));
        QVERIFY(!parseInt32("+"));
    }

    void parsesTheSearchCommand()
    {
        const auto line = CommandLine::parse({"search", "t.jpg", "--dir", "/photos", "--bits=2",
                                              "--match-rate", "85", "--pixel-number", "16"});
        QCOMPARE(line.kind, CommandLine::Kind::Search);
        QCOMPARE(line.options.target, std::string("t.jpg"));
        QCOMPARE(line.options.directory, std::optional<std::string>("/photos"));
        QCOMPARE(line.options.bits, 2);
        QCOMPARE(line.options.matchRate, 85);
        QCOMPARE(line.options.pixelNumber, 16);

        const auto defaults = CommandLine::parse({"search", "--dir", "d", "--", "--odd-name.jpg"});
        QCOMPARE(defaults.kind, CommandLine::Kind::Search);
        QCOMPARE(defaults.options.target, std::string("--odd-name.jpg"));
        QCOMPARE(defaults.options.bits, 3);
        QCOMPARE(defaults.options.matchRate, 70);
        QCOMPARE(defaults.options.pixelNumber, 8);
    }

    void refusesBadCommandLines_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::newRow("nothing") << QString();
        QTest::newRow("unknown command") << QStringLiteral("find");
        QTest::newRow("no folder") << QStringLiteral("search t.jpg");
        QTest::newRow("no target") << QStringLiteral("search --dir /tmp");
        QTest::newRow("two targets") << QStringLiteral("search a b --dir /tmp");
        QTest::newRow("unknown option") << QStringLiteral("search t --dir /tmp --fast");
        QTest::newRow("word for a number") << QStringLiteral("search t --dir /tmp --bits three");
        QTest::newRow("pixel number 0") << QStringLiteral("search t --dir /tmp --pixel-number=0");
        QTest::newRow("pixel number too big")
            << QStringLiteral("search t --dir /tmp --pixel-number=257");
        QTest::newRow("option without value") << QStringLiteral("search t --dir");
        QTest::newRow("both --dir and --index") << QStringLiteral("search t --dir /tmp --index i");
        QTest::newRow("pixel number for an index search")
            << QStringLiteral("search t --index i --pixel-number 8");
        QTest::newRow("index without file") << QStringLiteral("index /tmp");
        QTest::newRow("index with --bits") << QStringLiteral("index /tmp i --bits 2");
        QTest::newRow("check with two files") << QStringLiteral("check a b");
    }
    void refusesBadCommandLines()
    {
        QFETCH(QString, arguments);
        const Run run = runCli(arguments.split(u' ', Qt::SkipEmptyParts));
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(QStringLiteral("Usage: ovrin-cli search")));
    }

    void helpGoesToStdout()
    {
        const Run run = runCli({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: ovrin-cli search")));
        QVERIFY(run.err.isEmpty());
    }

    void findsCopiesOfAPhotograph()
    {
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const QString target = dir.filePath(QStringLiteral("target.jpg"));
        const Run run = runCli({QStringLiteral("search"), target, QStringLiteral("--dir"), tree});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // not a terminal: no progress
        QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QStringList paths;
        for (const QString& line : lines) {
            const QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 2);
            bool ok = false;
            const int rate = fields[0].toInt(&ok);
            QVERIFY(ok && rate >= 70 && rate <= 100);
            paths << fields[1];
        }
        paths.sort();
        QCOMPARE(paths, (QStringList{tree + QStringLiteral("/copy.png"),
                                     tree + QStringLiteral("/sub/half.jpg")}));
    }

    void relativeFolderGivesFullPaths()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("rel"))));
        const QImage photo = ovrin::test::photoLike(100, 80, 5);
        QVERIFY(ovrin::test::writeImage(dir.filePath(QStringLiteral("rel/p.png")), photo, "png"));
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(OVRIN_CLI_PATH),
                      {QStringLiteral("search"), QStringLiteral("rel/p.png"),
                       QStringLiteral("--dir"), QStringLiteral("./rel/")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()),
                 QStringLiteral("100\t") + dir.filePath(QStringLiteral("rel/p.png")) + u'\n');
    }

    void unreadableTargetIsALoadError()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("not-a-picture.jpg"));
        QVERIFY(ovrin::test::writeText(target, "hello"));
        const Run run =
            runCli({QStringLiteral("search"), target, QStringLiteral("--dir"), dir.path()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err, QStringLiteral("File load error.\n") + target + u'\n');

        const Run missingFolder = runCli({QStringLiteral("search"), target, QStringLiteral("--dir"),
                                          dir.filePath(QStringLiteral("nowhere"))});
        QCOMPARE(missingFolder.exitCode, 2);
        QVERIFY(missingFolder.err.contains(QStringLiteral("not a folder")));
    }

    void interruptKeepsTheHitsPrinted()
    {
        // Thousands of names for one picture make a run long enough to interrupt.
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("many"));
        QVERIFY(QDir().mkpath(tree));
        const QString source = dir.filePath(QStringLiteral("source.jpg"));
        QVERIFY(ovrin::test::writeImage(source, ovrin::test::photoLike(1600, 1200, 8), "jpeg", 90));
        const int copies = 4000;
        for (int i = 0; i < copies; ++i)
            QCOMPARE(::link(source.toLocal8Bit().constData(),
                            (tree + QStringLiteral("/c%1.jpg").arg(i)).toLocal8Bit().constData()),
                     0);

        QProcess process;
        process.start(QStringLiteral(OVRIN_CLI_PATH),
                      {QStringLiteral("search"), source, QStringLiteral("--dir"), tree});
        QVERIFY(process.waitForStarted());
        QByteArray out;
        while (!out.contains('\n') && process.state() == QProcess::Running) {
            process.waitForReadyRead(1000);
            out += process.readAllStandardOutput();
        }
        QVERIFY(out.contains('\n'));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(120000));
        out += process.readAllStandardOutput();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        const QList<QByteArray> lines = out.split('\n');
        QVERIFY(lines.last().isEmpty()); // every printed hit is a whole line
        QVERIFY(lines.size() - 1 < copies);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY(lines[i].startsWith("100\t" + tree.toUtf8() + "/c"));
    }

    void indexThenSearchItAsTheFolder()
    {
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const QString target = dir.filePath(QStringLiteral("target.jpg"));
        const QString index = dir.filePath(QStringLiteral("pictures.ovi"));

        const Run made = runCli({QStringLiteral("index"), tree, index,
                                 QStringLiteral("--pixel-number"), QStringLiteral("12")});
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(made.err, QStringLiteral("6 images indexed, 1 files skipped\n"));
        QVERIFY(made.out.isEmpty());

        const Run checked = runCli({QStringLiteral("check"), index});
        QCOMPARE(checked.exitCode, 0);
        QCOMPARE(checked.out, QStringLiteral("pixel number: 12\nimages: 6\n"));

        for (const QString& rate : {QStringLiteral("70"), QStringLiteral("0")}) {
            const Run byFolder =
                runCli({QStringLiteral("search"), target, QStringLiteral("--dir"), tree,
                        QStringLiteral("--pixel-number"), QStringLiteral("12"),
                        QStringLiteral("--match-rate"), rate});
            const Run byIndex = runCli({QStringLiteral("search"), target, QStringLiteral("--index"),
                                        index, QStringLiteral("--match-rate"), rate});
            QCOMPARE(byIndex.exitCode, 0);
            QVERIFY(!byFolder.out.isEmpty());
            QCOMPARE(byIndex.out, byFolder.out); // same walk order, same rates
        }

        const Run notIndex =
            runCli({QStringLiteral("search"), target, QStringLiteral("--index"), target});
        QCOMPARE(notIndex.exitCode, 1);
        QCOMPARE(notIndex.err, QStringLiteral("File load error.\n") + target + u'\n');
        QCOMPARE(runCli({QStringLiteral("check"), target}).exitCode, 1);
    }

    void indexThatCannotBeWrittenKeepsTheOldOne()
    {
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QVERIFY(QDir().mkpath(tree));
        for (int i = 0; i < 30; ++i)
            QVERIFY(ovrin::test::writeImage(
                tree + QStringLiteral("/picture-with-a-long-name-%1.png").arg(i),
                ovrin::test::photoLike(40, 30, quint32(i)), "png"));
        const QString index = dir.filePath(QStringLiteral("index.ovi"));
        QVERIFY(ovrin::test::writeText(index, "the old index"));

        // a real file-size limit of 2 KiB, as a full disk would stop the writes
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"),
                     QStringLiteral("ulimit -f 2 && exec \"$0\" index \"$1\" \"$2\""),
                     QStringLiteral(OVRIN_CLI_PATH), tree, index});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), 1);
        const QString err = QString::fromUtf8(shell.readAllStandardError());
        QVERIFY2(err.startsWith(QStringLiteral("ovrin-cli: Could not write the index file ")),
                 qPrintable(err));
        QFile file(index);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the old index"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("index.ovi")});

        const Run nowhere = runCli(
            {QStringLiteral("index"), tree, dir.filePath(QStringLiteral("no/such/dir/i.ovi"))});
        QCOMPARE(nowhere.exitCode, 1);
        QVERIFY(
            nowhere.err.startsWith(QStringLiteral("ovrin-cli: Could not create the index file")));
    }

    void progressLineFitsTheTerminal()
    {
        const std::string line = CliRunner::progressLine(12, 1, "/photos/a\nb\x1b[31m.jpg", 200);
        QCOMPARE(line, std::string("12 examined, 1 hit: /photos/a?b?[31m.jpg"));

        const std::string path = "/very/long/path/with/\xc3\xa9l\xc3\xa9ments/and/more/picture.jpg";
        const std::string cut = CliRunner::progressLine(3, 0, path, 40);
        QVERIFY(cut.size() <= 40 + 4); // two-byte characters may remain
        QVERIFY(cut.find("...") != std::string::npos);
        QVERIFY(cut.compare(cut.size() - 11, 11, "picture.jpg") == 0);
        // never starts inside a multi-byte character
        const auto afterDots = static_cast<unsigned char>(cut[cut.find("...") + 3]);
        QVERIFY((afterDots & 0xC0u) != 0x80u);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
