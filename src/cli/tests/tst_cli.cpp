#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "support/DngWriter.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <QtEndian>

#include <csignal>
#include <cstring>
#include <unistd.h>

using namespace ovrin::cli;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs ovrin-cli through the shell, so a test can redirect or close streams.
Run shell(const QString& script, const QStringList& arguments = {})
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"),
                  QStringList{QStringLiteral("-c"), script, QStringLiteral(OVRIN_CLI_PATH)} +
                      arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(300000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Run runCli(const QStringList& arguments)
{
    return shell(QStringLiteral("exec \"$0\" \"$@\""), arguments);
}

// ovrin-cli with the words of `line`, each '@' in them standing for the folder `at`.
Run cli(const QString& at, const char* line)
{
    QStringList arguments;
    for (const QString& word : QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts))
        arguments << QString(word).replace(u'@', at);
    return runCli(arguments);
}

CommandLine parse(const QString& line)
{
    std::vector<std::string> words;
    for (const QString& word : line.split(u' ', Qt::SkipEmptyParts))
        words.push_back(word.toStdString());
    return CommandLine::parse(words);
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes an index say its run started long after the test made its pictures:
// an update decodes again the pictures that changed in the second (or two)
// their index run started in, which the test's pictures did.
bool startedLater(const QString& index)
{
    QFile file(index);
    return file.open(QIODevice::ReadWrite) && file.seek(264) &&
           file.read(8) == QByteArray("OVRS\0\0\0\x08", 8) &&
           file.write(QByteArray::fromHex("3782dace9d900000")) == 8;
}

// The index as a version before structure fingerprints wrote it: every
// chunk but those.
bool withoutFingerprints(const QString& index)
{
    QFile file(index);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray bytes = file.readAll();
    QByteArray kept;
    for (qsizetype at = 0; at + 8 <= bytes.size();) {
        const qsizetype length = 8 + qFromBigEndian<qint32>(bytes.constData() + at + 4);
        if (bytes.mid(at, 4) != "OVFP")
            kept += bytes.mid(at, length);
        at += length;
    }
    return file.resize(0) && file.write(kept) == kept.size();
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
        QCOMPARE(parseInt32("-60"), std::optional<std::int32_t>(-60));
        QCOMPARE(parseInt32("+4"), std::optional<std::int32_t>(4));
        QCOMPARE(parseInt32("2147483647"), std::optional<std::int32_t>(2147483647));
        for (const char* bad : {"2147483648", "7x", " 7", "", "+", "+-3", "-+3"})
            QVERIFY2(!parseInt32(bad), bad);
    }

    void parsesCommands()
    {
        const auto line =
            parse(QStringLiteral("search --dir /photos --bits=2 --match-rate 85 -0 --jobs 3 "
                                 "--any-orientation -- -h"));
        QCOMPARE(line.kind, CommandLine::Kind::Search);
        QCOMPARE(line.options.target, std::string("-h")); // after "--" a name, not help
        QCOMPARE(line.options.directory, std::optional<std::string>("/photos"));
        QCOMPARE(line.options.bits, 2);
        QCOMPARE(line.options.matchRate, 85);
        QCOMPARE(line.options.jobs, 3);
        QVERIFY(line.options.nullTerminated && line.options.anyOrientation);

        const auto index = parse(QStringLiteral("index d i.ovi --rebuild -v"));
        QCOMPARE(index.kind, CommandLine::Kind::Index);
        QVERIFY(index.options.rebuild && index.options.verbose);
        QCOMPARE(index.options.indexFile, std::optional<std::string>("i.ovi"));
        QCOMPARE(parse(QStringLiteral("search t --help")).kind, CommandLine::Kind::Help);
        const Run version = runCli({QStringLiteral("--version")});
        QCOMPARE(version.out + QString::number(version.exitCode),
                 QStringLiteral("ovrin-cli " OVRIN_VERSION "\n0"));

        const auto groups = parse(QStringLiteral(
            "groups --dir d --similarity loose --keep=oldest --prefer a --prefer=b --exclude *.tmp "
            "--exclude=./x --exclude ~ --exclude .thumbnails --exclude .. --exclude /a/b --protect "
            "c"));
        QCOMPARE(groups.kind, CommandLine::Kind::Groups);
        QCOMPARE(groups.options.similarity, ovrin::Similarity::Loose);
        QCOMPARE(groups.options.keep, ovrin::KeepRule::Oldest);
        QCOMPARE(groups.options.preferred, (std::vector<std::string>{"a", "b"}));
        QCOMPARE(groups.options.protectedFolders, std::vector<std::string>{"c"});
        QCOMPARE(groups.options.excludeFolders,
                 (std::vector<std::string>{"./x", "~", "..", "/a/b"}));
        QCOMPARE(groups.options.excludePatterns,
                 (std::vector<std::string>{"*.tmp", ".thumbnails"}));
    }

    void refusesBadCommandLines_data()
    {
        QTest::addColumn<QString>("arguments");
        const auto rows = [](const char* prefix, std::initializer_list<const char*> tails) {
            for (const char* tail : tails) {
                const QString row = QString::fromLatin1(prefix) + QString::fromLatin1(tail);
                QTest::newRow(qPrintable(row)) << row;
            }
        };
        rows("", {"", "find", "--bits 3 search", "search t.jpg", "search --dir /tmp",
                  "search a b --dir /tmp", "search t --dir", "search t --dir /tmp --index i",
                  "search t --index i --pixel-number 8"});
        rows("search t --dir /tmp ",
             {"--fast", "--bits three", "--bits 0", "--bits 5", "--bits 68", "--match-rate -5",
              "--match-rate 150", "--pixel-number=0", "--pixel-number=257", "--jobs 0"});
        rows("search t --dir d ",
             {"--null --format json", "--format xml", "--sort=1", "--keep size", "--exclude"});
        rows("index ", {"/tmp", "/tmp i --bits 2", "d i --any-orientation",
                        "d i --similarity strict", "d i --exclude="});
        rows("check ", {"a b", "i --exclude x"});
        rows("groups --dir d ", {"--sort", "--similarity tight", "--keep largest",
                                 "--keep=", "--prefer", "--prefer="});
    }
    void refusesBadCommandLines()
    {
        QFETCH(QString, arguments);
        const CommandLine line = parse(arguments);
        QCOMPARE(line.kind, CommandLine::Kind::UsageError);
        QVERIFY(!line.error.empty());
    }

    void findsCopiesOfAPhotograph()
    {
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const Run run = cli(dir.path(), "search @/target.jpg --dir @/tree");
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err)); // not a terminal: no progress
        QStringList paths;
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 2);
            QVERIFY(fields[0].toInt() >= 70 && fields[0].toInt() <= 100);
            paths << fields[1];
        }
        paths.sort();
        QCOMPARE(paths, (QStringList{tree + QStringLiteral("/copy.png"),
                                     tree + QStringLiteral("/sub/half.jpg")}));

        // best first, the finer likeness breaking ties, as JSON Lines
        const Run sorted =
            cli(dir.path(), "search @/target.jpg --dir @/tree --sort --format json --match-rate 0");
        QCOMPARE(sorted.exitCode, 0);
        const QStringList lines = sorted.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines.first().contains(QStringLiteral("copy.png")));
        const auto rate = [](const QString& json) {
            return json.section(u':', 1, 1).section(u',', 0, 0).toInt();
        };
        for (qsizetype i = 1; i < lines.size(); ++i)
            QVERIFY(rate(lines[i - 1]) >= rate(lines[i]));

        // the same picture piped in
        QCOMPARE(shell(QStringLiteral("exec \"$0\" search - --dir \"$1/tree\" <\"$1/target.jpg\""),
                       {dir.path()})
                     .out,
                 run.out);

        // relative paths are made full without resolving ".."
        const Run relative = shell(QStringLiteral("cd \"$1\" && exec \"$0\" search target.jpg "
                                                  "--dir ./tree/sub/../sub/"),
                                   {dir.path()});
        QCOMPARE(relative.out.section(u'\t', 1).trimmed(),
                 dir.filePath(QStringLiteral("tree/sub/../sub/half.jpg")));

        // left out: a folder named with ".." (taken as the walk names it) and a pattern
        const Run excluded = shell(QStringLiteral("cd \"$1\" && exec \"$0\" search target.jpg "
                                                  "--dir tree --match-rate 0 --exclude "
                                                  "./tree/sub/../sub '--exclude=*.png'"),
                                   {dir.path()});
        QCOMPARE(excluded.exitCode, 0);
        QCOMPARE(excluded.out.count(u'\n'), 4);
        QVERIFY2(!excluded.out.contains(QStringLiteral("half")) &&
                     !excluded.out.contains(QStringLiteral("copy")),
                 qPrintable(excluded.out));

        // a copy turned by a quarter where asked for, saying how it lies
        QVERIFY(ovrin::test::writeImage(
            tree + QStringLiteral("/turned.png"),
            ovrin::test::photoLike(800, 600, 77).transformed(QTransform().rotate(90)), "png"));
        const Run turned = cli(dir.path(), "search @/target.jpg --dir @/tree --format csv "
                                           "--any-orientation");
        QVERIFY2(turned.out.startsWith(QStringLiteral("rate,likeness,orientation,path\r\n")) &&
                     turned.out.contains(QString::fromUtf8(",turned 90\u00b0,") + tree),
                 qPrintable(turned.out));

        // Groups take the turned and a mirrored copy in with the option alone,
        // from the folder and from an index alike, each told against the
        // upright picture that leads.
        QVERIFY(ovrin::test::writeImage(tree + QStringLiteral("/mirrored.png"),
                                        ovrin::test::photoLike(800, 600, 77).mirrored(true, false),
                                        "png"));
        const Run upright = cli(dir.path(), "groups --dir @/tree --format csv");
        QVERIFY2(upright.out.startsWith(QStringLiteral("group,role,rate,likeness,path\r\n")) &&
                     !upright.out.contains(QStringLiteral("turned.png")) &&
                     !upright.out.contains(QStringLiteral("mirrored.png")),
                 qPrintable(upright.out));
        const char* const anyLine =
            "groups --dir @/tree --format csv --any-orientation --prefer @/tree/sub";
        const Run any = cli(dir.path(), anyLine);
        QVERIFY2(any.out.startsWith(QStringLiteral("group,role,rate,likeness,orientation,path")) &&
                     any.out.contains(QString::fromUtf8(",turned 90\u00b0,") + tree +
                                      QStringLiteral("/turned.png")) &&
                     any.out.contains(QStringLiteral(",mirrored,") + tree +
                                      QStringLiteral("/mirrored.png")),
                 qPrintable(any.out));
        QCOMPARE(cli(dir.path(), "index @/tree @/t.ovi").exitCode, 0);
        const Run anyOfIndex = cli(dir.path(), "groups --index @/t.ovi --format csv "
                                               "--any-orientation --prefer @/tree/sub");
        QCOMPARE(anyOfIndex.out, any.out);
        QCOMPARE(anyOfIndex.err, QString()); // decoded again, but none was stale
    }

    void indexUpdateCheckAndSearch()
    {
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const QString index = dir.filePath(QStringLiteral("pictures.ovi"));
        const char* const make = "index @/tree @/pictures.ovi --pixel-number 12";
        Run made = cli(dir.path(), make);
        QCOMPARE(made.exitCode, 0);
        QCOMPARE(made.err, QStringLiteral("6 pictures indexed (0 reused, 6 decoded), 0 removed, "
                                          "1 files skipped (1 not pictures)\n"));
        QVERIFY(startedLater(index));
        QVERIFY(QFile::remove(tree + QStringLiteral("/other1.jpg")));
        made = cli(dir.path(), make);
        QCOMPARE(made.err, QStringLiteral("5 pictures indexed (5 reused, 0 decoded), 1 removed, "
                                          "1 files skipped (1 not pictures)\n"));

        QCOMPARE(cli(dir.path(), "check @/pictures.ovi").out,
                 QStringLiteral("pixel number: 12\nimages: 5\n"));
        const char* const byIndexLine = "search @/target.jpg --index @/pictures.ovi --match-rate 0";
        const Run byFolder =
            cli(dir.path(), "search @/target.jpg --dir @/tree --pixel-number 12 --match-rate 0");
        const Run byIndex = cli(dir.path(), byIndexLine);
        QCOMPARE(byIndex.exitCode, 0);
        QCOMPARE(byIndex.out, byFolder.out); // same walk order, same rates
        // remade at the index's pixel number from the bytes piped in
        QCOMPARE(shell(QStringLiteral("exec \"$0\" search - --index \"$1/pictures.ovi\" "
                                      "--match-rate 0 <\"$1/target.jpg\""),
                       {dir.path()})
                     .out,
                 byIndex.out);

        // The look-alike groups of the index and of the tree decoded anew agree.
        const char* const groupsLine = "groups --index @/pictures.ovi";
        const Run groupsOfIndex = cli(dir.path(), groupsLine);
        const Run groupsOfTree = cli(dir.path(), "groups --dir @/tree --pixel-number 12");
        QCOMPARE(groupsOfIndex.exitCode, 0);
        QCOMPARE(groupsOfIndex.out, groupsOfTree.out);
        const QStringList block =
            groupsOfIndex.out.section(QStringLiteral("\n\n"), 0, 0).split(u'\n');
        QVERIFY(block.first().startsWith(QStringLiteral("ref\t100.0\t")));
        QVERIFY(groupsOfIndex.out.contains(tree + QStringLiteral("/copy.png")));
        QVERIFY(groupsOfIndex.out.contains(tree + QStringLiteral("/sub/half.jpg")));
        const Run groupsLeftOut = cli(dir.path(), "groups --index @/pictures.ovi --exclude sub");
        QCOMPARE(groupsLeftOut.out, QString());
        QCOMPARE(groupsLeftOut.err,
                 QStringLiteral("0 groups holding 0 of 4 pictures, 1 left out by --exclude\n"));

        // A hit whose file went is not listed; the summary counts it.
        QVERIFY(QFile::remove(tree + QStringLiteral("/copy.png")));
        const Run stale = cli(dir.path(), byIndexLine);
        QCOMPARE(stale.out.count(u'\n'), byIndex.out.count(u'\n') - 1);
        QCOMPARE(stale.err,
                 QStringLiteral("stale index entries: 0 decoded again (changed since "
                                "indexed), 1 left out (vanished or unreadable); an index "
                                "update brings them up to date\n"));

        // Each entry is held to its file: copy.png now shows another picture,
        // other3.jpg is gone; the others are taken as stored.
        QVERIFY(ovrin::test::writeImage(tree + QStringLiteral("/copy.png"),
                                        ovrin::test::photoLike(800, 600, 2), "png"));
        QVERIFY(QFile::remove(tree + QStringLiteral("/other3.jpg")));
        const Run checkedAgain = cli(dir.path(), groupsLine);
        QCOMPARE(checkedAgain.exitCode, 0);
        QCOMPARE(checkedAgain.out, QStringLiteral("ref\t100.0\t%1/copy.png\n").arg(tree) +
                                       checkedAgain.out.section(u'\n', 1, 1) + u'\n');
        QVERIFY(
            checkedAgain.out.section(u'\n', 1, 1).endsWith(tree + QStringLiteral("/other2.jpg")));
        QCOMPARE(checkedAgain.err,
                 QStringLiteral("1 groups holding 2 of 4 pictures, 1 decoded again "
                                "(changed since indexed), 1 left out (vanished or "
                                "unreadable)\n"));

        QVERIFY(withoutFingerprints(index));
        const Run older = cli(dir.path(), groupsLine);
        QCOMPARE(older.exitCode, 1);
        QCOMPARE(older.out, QString());
        QVERIFY2(older.err.contains(QStringLiteral("made by an older version")) &&
                     older.err.contains(QStringLiteral("ovrin-cli index DIR ") + index),
                 qPrintable(older.err));
    }

    // A photograph kept in a newer format is the look-alike of its JPEG, with
    // the same rate and likeness whether a folder search or an index made its
    // signature; a copy cut short is told as a skip with its reason.
    void newerFormatsFindTheirJpeg_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments"); // IN: a PNG, OUT: the sample
        QTest::addColumn<QString>("name");
        const auto words = [](const char* line) { return QString::fromUtf8(line).split(u' '); };
        QTest::newRow("HEIC") << "heif-enc" << words("-q 90 IN -o OUT") << "photo.heic";
        QTest::newRow("AVIF") << "avifenc" << words("-s 10 IN OUT") << "photo.avif";
        QTest::newRow("JPEG XL") << "cjxl" << words("IN OUT") << "photo.jxl";
        QTest::newRow("DNG") << QString() << QStringList() << "photo.dng";
    }
    void newerFormatsFindTheirJpeg()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(QString, name);
        const QString program = tool.isEmpty() ? QString() : QStandardPaths::findExecutable(tool);
        if (!tool.isEmpty() && program.isEmpty())
            QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const QString source = dir.filePath(QStringLiteral("source.png"));
        const QString sample = tree + u'/' + name;
        const QString cut = tree + QStringLiteral("/cut-") + name;
        const QImage photo = ovrin::test::photoLike(640, 480, 77);
        QVERIFY(
            QDir().mkpath(tree) && ovrin::test::writeImage(source, photo, "png") &&
            ovrin::test::writeImage(dir.filePath(QStringLiteral("target.jpg")), photo, "jpeg", 90));
        for (quint32 seed = 1; seed <= 3; ++seed)
            QVERIFY(ovrin::test::writeImage(tree + QStringLiteral("/other%1.jpg").arg(seed),
                                            ovrin::test::photoLike(640, 480, seed), "jpeg", 85));
        for (QString& word : arguments)
            word = word == QStringLiteral("IN")    ? source
                   : word == QStringLiteral("OUT") ? sample
                                                   : word;
        if (tool.isEmpty()) { // no Debian tool writes a DNG
            QVERIFY(ovrin::test::writeDng(sample, photo));
        } else {
            QProcess encoder;
            encoder.start(program, arguments);
            QVERIFY(encoder.waitForFinished(120000) && encoder.exitCode() == 0);
        }
        const QByteArray bytes = contents(sample);
        QVERIFY(!bytes.isEmpty() && ovrin::test::writeText(cut, bytes.left(bytes.size() / 2)));

        const Run byFolder = cli(dir.path(), "search @/target.jpg --dir @/tree --format tsv -v");
        const QStringList lines = byFolder.out.split(u'\n', Qt::SkipEmptyParts);
        const QStringList hit = lines.value(1).split(u'\t'); // under the header
        QVERIFY2(byFolder.exitCode == 0 && lines.size() == 2 && hit.size() == 3 &&
                     hit[2] == sample && hit[0].toInt() >= 90,
                 qPrintable(byFolder.out + byFolder.err));
        QVERIFY2(byFolder.err.contains(QStringLiteral("ovrin-cli: skipped ") + cut +
                                       QStringLiteral(": not a picture Ovrin can read\n")),
                 qPrintable(byFolder.err));
        QCOMPARE(cli(dir.path(), "index @/tree @/i.ovi").exitCode, 0);
        QCOMPARE(cli(dir.path(), "search @/target.jpg --index @/i.ovi --format tsv").out,
                 byFolder.out);
    }

    // A picture known by its name reads alike as the target and in a folder
    // search, or is skipped in both.
    void formatsKnownByNameReadAlikeInEveryRun_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QImage photo = ovrin::test::photoLike(64, 48, 5);
        QBuffer tiff;
        QVERIFY(tiff.open(QIODevice::WriteOnly) && photo.save(&tiff, "tiff"));
        QByteArray tga("\0\0\2\0\0\0\0\0\0\0\0\0\x40\0\x30\0\x18\x20", 18);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const QRgb rgb = photo.pixel(x, y);
                tga += char(qBlue(rgb));
                tga += char(qGreen(rgb));
                tga += char(qRed(rgb));
            }
        QTest::newRow("TIFF named as a camera RAW") << "photo.nef" << tiff.data();
        QTest::newRow("TGA") << "photo.tga" << tga;
    }
    void formatsKnownByNameReadAlikeInEveryRun()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tree/") + name);
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("tree"))) &&
                ovrin::test::writeText(path, bytes) &&
                ovrin::test::writeImage(dir.filePath(QStringLiteral("target.jpg")),
                                        ovrin::test::photoLike(64, 48, 6), "jpeg"));
        const Run alone =
            runCli({QStringLiteral("search"), path, QStringLiteral("--dir"),
                    dir.filePath(QStringLiteral("tree")), QStringLiteral("--bits"),
                    QStringLiteral("4"), QStringLiteral("--match-rate"), QStringLiteral("100")});
        const Run found =
            cli(dir.path(), "search @/target.jpg --dir @/tree --bits 1 --match-rate 0");
        if (alone.exitCode == 0)
            QCOMPARE(alone.out, QStringLiteral("100\t") + path + u'\n');
        QCOMPARE(found.out.contains(path), alone.exitCode == 0);
    }

    // A drawing with text is read by ovrin-cli (its layout needs a GUI
    // application object) to the signature a process with one gives it.
    void drawingWithTextReadsAsInAGuiProcess()
    {
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        const auto drawing = [](const char* word) {
            return QByteArray("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 60 30'><text "
                              "x='1' y='25' font-size='28' font-family='sans-serif'>") +
                   word + "</text></svg>";
        };
        QVERIFY(QDir().mkpath(tree) &&
                ovrin::test::writeText(tree + QStringLiteral("/word.svg"), drawing("Wag")) &&
                ovrin::test::writeText(tree + QStringLiteral("/other.svg"), drawing("il")));
        QCOMPARE(cli(dir.path(), "index @/tree @/i.ovi --pixel-number 16").exitCode, 0);
        const char* search = "search @/tree/word.svg --index @/i.ovi --bits 4 --match-rate 100";
        const Run found = cli(dir.path(), search);
        QCOMPARE(found.out, QStringLiteral("100\t") + tree + QStringLiteral("/word.svg\n"));
        QProcess gui;
        gui.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--in-gui-process"),
                   QString::fromUtf8(search).replace(u'@', dir.path())});
        QVERIFY(gui.waitForFinished(120000) && gui.exitCode() == 0);
        QCOMPARE(QString::fromUtf8(gui.readAllStandardOutput()), found.out);
    }

    // One file reached by several paths is listed once, its other paths
    // marked after it, never as members.
    void groupsListEachFileOnce()
    {
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("t"));
        const QImage photo = ovrin::test::photoLike(800, 600, 77);
        QVERIFY(QDir().mkpath(tree + QStringLiteral("/a")) &&
                QDir().mkpath(tree + QStringLiteral("/b")));
        QVERIFY(ovrin::test::writeImage(tree + QStringLiteral("/a/photo.jpg"), photo, "jpeg", 90));
        QVERIFY(ovrin::test::writeImage(
            tree + QStringLiteral("/half.jpg"),
            photo.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), "jpeg", 60));
        QCOMPARE(::symlink("../a", qPrintable(tree + QStringLiteral("/b/album-link"))), 0);
        QCOMPARE(::link(qPrintable(tree + QStringLiteral("/a/photo.jpg")),
                        qPrintable(tree + QStringLiteral("/hard.jpg"))),
                 0);
        const QString photoPath = tree + QStringLiteral("/a/photo.jpg");
        const QString link = tree + QStringLiteral("/b/album-link/photo.jpg");
        const QString hard = tree + QStringLiteral("/hard.jpg");
        const auto groups = [&](const char* options) {
            const Run run = cli(tree, QByteArray("groups --dir @ --format ").append(options));
            return run.exitCode == 0 ? run.out.split(u'\n', Qt::SkipEmptyParts) : QStringList();
        };

        const QStringList tsv = groups("tsv");
        QCOMPARE(tsv.size(), 4);
        QCOMPARE(tsv.mid(0, 3), (QStringList{QStringLiteral("ref\t100.0\t") + photoPath,
                                             QStringLiteral("alias\t\t") + link,
                                             QStringLiteral("alias\t\t") + hard}));
        QVERIFY(tsv[3].endsWith(QStringLiteral("\t") + tree + QStringLiteral("/half.jpg")));
        // Under a preferred folder the file is named by its path there.
        const Run preferred = cli(tree, "groups --dir @ --prefer @/b");
        QVERIFY2(preferred.out.startsWith(QStringLiteral("ref\t100.0\t") + link + u'\n'),
                 qPrintable(preferred.out));
        // A member under a protected folder is never one to remove (each
        // format's form of it is the output module's to test).
        QCOMPARE(groups("tsv --protect @/a"), tsv);
        QVERIFY(groups("tsv --protect @").last().startsWith(QStringLiteral("protected\t")));
    }

    // Files only the toolkit's reader knows (text, PPM) are read on the
    // decoding threads; what it loads for them must come apart cleanly at
    // exit, every time. Once more under valgrind where it is at hand: the
    // allocator often lets a write to freed memory pass unnoticed.
    void exitsCleanlyEveryTime_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("search") << QStringLiteral("search \"$1/target.jpg\" --dir \"$1/tree\"");
        QTest::newRow("index") << QStringLiteral("index \"$1/tree\" \"$1/i.ovi\"");
        QTest::newRow("groups") << QStringLiteral("groups --dir \"$1/tree\"");
    }
    void exitsCleanlyEveryTime()
    {
        QFETCH(QString, command);
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        QVERIFY(ovrin::test::writeImage(dir.filePath(QStringLiteral("tree/small.ppm")),
                                        ovrin::test::photoLike(16, 12, 5), "ppm"));
        for (int i = 0; i < 40; ++i) {
            const Run run = shell(QStringLiteral("exec \"$0\" ") + command, {dir.path()});
            QVERIFY2(
                run.exitCode == 0,
                qPrintable(
                    QStringLiteral("run %1: exit %2, %3").arg(i).arg(run.exitCode).arg(run.err)));
        }
#if !OVRIN_CLI_SANITIZED
        if (QStandardPaths::findExecutable(QStringLiteral("valgrind")).isEmpty())
            QSKIP("no valgrind here: only the repeated runs");
        const Run checked = shell(
            QStringLiteral("exec valgrind -q --undef-value-errors=no --error-exitcode=99 \"$0\" ") +
                command,
            {dir.path()});
        QVERIFY2(checked.exitCode == 0, qPrintable(checked.err));
#endif
    }

    // Under an address-space limit that one decoding thread gets by with,
    // eight threads index the same: fewer of them start, and none fails the
    // run for memory that the others hold.
    void manyJobsUnderAnAddressSpaceLimit()
    {
#if OVRIN_CLI_SANITIZED
        QSKIP("a sanitizer's shadow memory does not fit under an address-space limit");
#endif
        QTemporaryDir dir;
        const QString tree = dir.filePath(QStringLiteral("tree"));
        QVERIFY(QDir().mkpath(tree));
        // Progressive: decoding one holds its whole coefficient store, some 40 MB.
        QImage photo(4000, 3000, QImage::Format_RGB32);
        photo.fill(QColor(90, 140, 60));
        QImageWriter writer(tree + QStringLiteral("/p0.jpg"), "jpeg");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(photo));
        for (int i = 1; i < 12; ++i)
            QVERIFY(QFile::copy(tree + QStringLiteral("/p0.jpg"),
                                tree + QStringLiteral("/p%1.jpg").arg(i)));
        QByteArray indexes[2];
        for (const int jobs : {1, 8}) {
            const QString index = dir.filePath(QStringLiteral("%1.ovi").arg(jobs));
            const Run run =
                shell(QStringLiteral("ulimit -v 800000 && exec \"$0\" index \"$1\" \"$2\" "
                                     "--jobs \"$3\""),
                      {tree, index, QString::number(jobs)});
            QCOMPARE(run.err, QStringLiteral("12 pictures indexed (0 reused, 12 decoded), "
                                             "0 removed, 0 files skipped\n"));
            QVERIFY(startedLater(index)); // the one field that tells two runs apart
            indexes[jobs == 8] = contents(index);
        }
        QCOMPARE(indexes[1], indexes[0]);
    }

    // On a file system that keeps whole seconds, a picture rewritten with
    // another of the same size in the second an index run looked at it keeps
    // its stamp; the update must decode it again all the same.
    void updateSeesRewritesInTheSecondOfTheLastRun()
    {
        QTemporaryDir dir;
        for (const quint32 seed : {1u, 2u, 3u})
            QVERIFY(ovrin::test::writeImage(dir.filePath(QStringLiteral("%1.bmp").arg(seed)),
                                            ovrin::test::photoLike(20, 20, seed), "bmp"));
        const Run run = shell(QStringLiteral(R"sh(set -e; cd "$1"; PATH="$PATH:/sbin:/usr/sbin"
            truncate -s 8M img; mkdir v
            mkfs.ext4 -q -F -I 128 img 2>e && mount -o loop img v 2>e ||
                { echo "no whole-second ext4 image mounted (that needs root and a loop device):"                     $(cat e) >&2; exit 77; }
            trap 'umount v || umount -l v' EXIT; mkdir v/t
            for try in 1 2 3 4 5 6 7 8 9; do
                rm -f v/i.ovi; cp 1.bmp v/t/a.bmp; cp 2.bmp v/t/b.bmp
                was=$(stat -c %s.%Y.%Z v/t/a.bmp)
                "$0" index v/t v/i.ovi 2>/dev/null; cp 3.bmp v/t/a.bmp
                [ "$(stat -c %s.%Y.%Z v/t/a.bmp)" = "$was" ] && break
            done
            [ "$(stat -c %s.%Y.%Z v/t/a.bmp)" = "$was" ]
            "$0" index v/t v/i.ovi 2>/dev/null; "$0" index v/t v/r.ovi --rebuild 2>/dev/null
            tail -c +281 v/i.ovi >u; tail -c +281 v/r.ovi >r; cmp u r)sh"),
                              {dir.path()});
        if (run.exitCode == 77)
            QSKIP(qPrintable(run.err.trimmed()));
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    }

    // Whatever fails is said, exits 1 and leaves what was there.
    void failuresAreNeverSuccess_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* name, const char* script, const char* says) {
            QTest::newRow(name) << QString::fromUtf8(script) << QString::fromUtf8(says);
        };
        row("target no picture", "exec \"$0\" search \"$1/tree/readme.txt\" --dir \"$1/tree\"",
            "File load error.\n%1/tree/readme.txt: not a picture Ovrin can read\n");
        row("no picture piped in",
            "exec \"$0\" search - --index \"$1/good.ovi\" <\"$1/tree/readme.txt\"",
            "File load error.\n(standard input): not a picture Ovrin can read\n");
        row("missing folder", "exec \"$0\" search \"$1/target.jpg\" --dir \"$1/none\"",
            "does not exist");
        row("picture as index", "exec \"$0\" index \"$1/tree\" \"$1/target.jpg\"",
            "is not an index file");
        row("picture as index to search",
            "exec \"$0\" search \"$1/target.jpg\" --index \"$1/target.jpg\"", "not an index file");
        row("missing protected folder",
            "exec \"$0\" groups --dir \"$1/tree\" --protect \"$1/none\"",
            "--protect %1/none: no such folder");
        row("index into a missing folder", "exec \"$0\" index \"$1/tree\" \"$1/no/i.ovi\"",
            "does not exist");
        row("results to a full disk",
            "exec \"$0\" search \"$1/target.jpg\" --dir \"$1/tree\" >/dev/full",
            "cannot write the results");
        row("help to a full disk", "exec \"$0\" --help >/dev/full", "cannot write the results");
        row("results to a closed stdout",
            "exec \"$0\" search \"$1/target.jpg\" --dir \"$1/tree\" >&-",
            "cannot write the results");
        row("check to a full disk", "exec \"$0\" check \"$1/good.ovi\" >/dev/full",
            "cannot write the results");
        row("deleted working folder",
            "mkdir \"$1/gone\" && cd \"$1/gone\" && rmdir \"$1/gone\" && "
            "exec \"$0\" index \"$1/tree\" relative.ovi",
            "cannot tell the current folder");
        row("index past a file-size limit",
            "ulimit -f 1 && exec \"$0\" index \"$1/tree\" \"$1/good.ovi\" --rebuild",
            "was kept as it was");
        // Told "read-only, chmod u+w", another user could do nothing about it.
        const QString asNobody = QStringLiteral(
            "chmod 755 \"$1\" && exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" "
            "index \"$1/tree\" ");
        QTest::newRow("index of another user in a locked folder")
            << asNobody + QStringLiteral("\"$1/good.ovi\"")
            << QStringLiteral("no new file can be made in %1 (");
        QTest::newRow("index of another user")
            << QStringLiteral("mkdir -m 777 \"$1/open\" && cp \"$1/good.ovi\" \"$1/open\" && ") +
                   asNobody + QStringLiteral("\"$1/open/good.ovi\"")
            << QStringLiteral("belongs to another user and is not writable for you");
    }
    void failuresAreNeverSuccess()
    {
        QFETCH(QString, script);
        QFETCH(QString, says);
        if (script.contains(QStringLiteral("setpriv")) &&
            (::geteuid() != 0 ||
             QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()))
            QSKIP("acting as another user takes root and setpriv");
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        QCOMPARE(cli(dir.path(), "index @/tree @/good.ovi").exitCode, 0);
        const QByteArray good = contents(dir.filePath(QStringLiteral("good.ovi")));
        const QByteArray target = contents(dir.filePath(QStringLiteral("target.jpg")));
        const Run run = shell(script, {dir.path()});
        QCOMPARE(run.exitCode, 1);
        const QString expected = says.contains(u'%') ? says.arg(dir.path()) : says;
        QVERIFY2(run.err.contains(expected), qPrintable(run.err));
        QCOMPARE(contents(dir.filePath(QStringLiteral("good.ovi"))), good);
        QCOMPARE(contents(dir.filePath(QStringLiteral("target.jpg"))), target);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("good.ovi"), QStringLiteral("target.jpg")}));
    }

    void closedStreamsNeverReceiveTheIndex()
    {
        QTemporaryDir dir;
        QVERIFY(makePhotoTree(dir));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("tree/broken.png")),
                                       "\x89PNG\r\n\x1a\n broken")); // a decoder would complain
        for (const char* closed : {"2>&-", "<&- >&- 2>&-"}) {
            const Run run = shell(QStringLiteral("exec \"$0\" index \"$1/tree\" \"$1/i.ovi\" ") +
                                      QLatin1String(closed),
                                  {dir.path()});
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(cli(dir.path(), "check @/i.ovi").out,
                     QStringLiteral("pixel number: 8\nimages: 6\n"));
        }
    }

    void interruptsKeepWhatIsWhole()
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
        const QString index = dir.filePath(QStringLiteral("index.ovi"));
        QVERIFY(ovrin::test::writeText(index, QByteArray("OVHD\0\0\0\0", 8)));
        const QByteArray old = contents(index);

        const auto interrupt = [&](const QStringList& arguments, int signal, bool waitForHit) {
            QProcess process;
            process.start(QStringLiteral(OVRIN_CLI_PATH), arguments);
            process.waitForStarted();
            QByteArray out;
            while (waitForHit && !out.contains('\n') && process.state() == QProcess::Running) {
                process.waitForReadyRead(1000);
                out += process.readAllStandardOutput();
            }
            if (!waitForHit)
                QTest::qWait(300);
            ::kill(static_cast<pid_t>(process.processId()), signal);
            process.waitForFinished(120000);
            out += process.readAllStandardOutput();
            return std::make_pair(
                process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, out);
        };
        const auto [code, out] = interrupt(
            {QStringLiteral("search"), source, QStringLiteral("--dir"), tree}, SIGINT, true);
        QCOMPARE(code, 130);
        const QList<QByteArray> lines = out.split('\n');
        QVERIFY(lines.last().isEmpty()); // every printed hit is a whole line
        QVERIFY(lines.size() - 1 < copies);
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY(lines[i].startsWith("100\t" + tree.toUtf8() + "/c"));

        for (const int signal : {SIGTERM, SIGHUP}) {
            QCOMPARE(interrupt({QStringLiteral("index"), tree, index}, signal, false).first, 130);
            QCOMPARE(contents(index), old); // an index that was there stays whole
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // and no litter
        }
    }

    void progressLineFitsTheTerminal()
    {
        const std::string line = CliRunner::progressLine(12, 1, "/photos/a\nb\x1b[31m.jpg", 200);
        QCOMPARE(line, std::string("12 examined, 1 hit: /photos/a\\nb\\x1b[31m.jpg"));

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

int main(int argc, char** argv)
{
    // A search as ovrin-cli runs it, in a process with a GUI application object.
    if (argc == 3 && std::strcmp(argv[1], "--in-gui-process") == 0) {
        QGuiApplication application(argc, argv);
        const std::atomic<bool> interrupted{false};
        CliRunner runner(stdout, stderr, false);
        return static_cast<int>(
            runner.search(parse(QString::fromUtf8(argv[2])).options, interrupted));
    }
    QCoreApplication application(argc, argv);
    TestCli tests;
    return QTest::qExec(&tests, argc, argv);
}
#include "tst_cli.moc"
