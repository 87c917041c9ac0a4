#include "output/Formats.h"
#include "output/NameText.h"
#include "output/Utf8.h"

#include <QTest>

using namespace ovrin::output;

Q_DECLARE_METATYPE(ovrin::output::Format)

class TestOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void utf8IsReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char* name, const char* hex, bool valid) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << valid;
        };
        row("ASCII, two, three and four bytes", "41c3a9e697a5f09f9882", true);
        row("overlong /", "c0af", false);
        row("surrogate", "eda080", false);
        row("past U+10FFFF", "f4908080", false);
        row("cut short", "e697", false);
        row("stray continuation", "80", false);
        row("bad byte after eight ASCII", "616263646566676880", false);
        row("sequence across the eighth byte", "61626364656667c3a9", true);
    }
    void utf8IsReadStrictly()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QCOMPARE(isUtf8(text.toStdString()), valid);
    }

    // For people (the plain output; CSV fields take it, quoted where asked)
    // and for machines (JSON).
    void namesAreEscaped_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("json");
        const auto row = [](const char* name, const char* path, const char* plain,
                            const char* json) {
            QTest::newRow(name) << QByteArray(path) << QByteArray(plain) << QByteArray(json);
        };
        row("ordinary", "/p/\xc3\xa9t\xc3\xa9 1.jpg", "/p/\xc3\xa9t\xc3\xa9 1.jpg",
            "\"/p/\xc3\xa9t\xc3\xa9 1.jpg\"");
        row("line breaks and tab", "a\nb\tc\rd", "a\\nb\\tc\\rd", "\"a\\u000ab\\u0009c\\u000dd\"");
        row("backslash, quote, comma", "\\\",", "\\\\\",", "\"\\\\\\\",\"");
        row("terminal escape", "a\x1b]0;x\x07\x1b[31mb\x7f", "a\\x1b]0;x\\x07\\x1b[31mb\\x7f",
            "\"a\\u001b]0;x\\u0007\\u001b[31mb\\u007f\"");
        row("not UTF-8", "\xe9t\xe9\xff", "\\xe9t\\xe9\\xff", "\"\\udce9t\\udce9\\udcff\"");
        row("C1 control U+0085", "a\xc2\x85", "a\\xc2\\x85", "\"a\\u0085\"");
        row("right-to-left override", "\xe2\x80\xaegpj.exe", "\\xe2\\x80\\xaegpj.exe",
            "\"\\u202egpj.exe\"");
    }
    void namesAreEscaped()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, json);
        QCOMPARE(QByteArray::fromStdString(escapePath(path.toStdString())), plain);
        QCOMPARE(QByteArray::fromStdString(csvField(path.toStdString())),
                 plain.contains(',') ? QByteArray("\"\\\\\"\",\"") : plain);
        QCOMPARE(QByteArray::fromStdString(jsonString(path.toStdString())), json);
    }

    void hitsInEveryFormat_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("nul");
        QTest::addColumn<QByteArray>("orientation");
        QTest::addColumn<QByteArray>("text"); // the header, then the hit
        QTest::newRow("plain") << Format::Plain << false << QByteArray()
                               << QByteArray("71\t/a,\"b\"\\n\\xff\n");
        QTest::newRow("raw with NUL")
            << Format::Plain << true << QByteArray() << QByteArray("71\t/a,\"b\"\n\xff\0", 12);
        QTest::newRow("TSV") << Format::Tsv << false << QByteArray()
                             << QByteArray("rate\tlikeness\tpath\n71\t88.1\t/a,\"b\"\\n\\xff\n");
        QTest::newRow("CSV") << Format::Csv << false << QByteArray()
                             << QByteArray(
                                    "rate,likeness,path\r\n71,88.1,\"/a,\"\"b\"\"\\n\\xff\"\r\n");
        QTest::newRow("JSON") << Format::Json << false << QByteArray()
                              << QByteArray("{\"rate\":71,\"likeness\":88.1,\"path\":"
                                            "\"/a,\\\"b\\\"\\u000a\\udcff\"}\n");
        // a search for turned copies too says how each hit lies
        QTest::newRow("CSV, turned")
            << Format::Csv << false << QByteArray("mirrored, turned 90\u00b0")
            << QByteArray("rate,likeness,orientation,path\r\n71,88.1,\"mirrored, turned 90\u00b0\","
                          "\"/a,\"\"b\"\"\\n\\xff\"\r\n");
        QTest::newRow("JSON, turned")
            << Format::Json << false << QByteArray("upright")
            << QByteArray("{\"rate\":71,\"likeness\":88.1,\"orientation\":\"upright\",\"path\":"
                          "\"/a,\\\"b\\\"\\u000a\\udcff\"}\n");
    }
    void hitsInEveryFormat()
    {
        QFETCH(Format, format);
        QFETCH(bool, nul);
        QFETCH(QByteArray, orientation);
        QFETCH(QByteArray, text);
        const std::string how = orientation.toStdString();
        const Hit hit{71, 88.06, "/a,\"b\"\n\xff", how};
        QCOMPARE(QByteArray::fromStdString(hitHeader(format, !how.empty()) +
                                           formatHit(hit, format, nul)),
                 text);
    }

    // The second group of a run: a reference with another path, a member
    // under a protected folder, a member with two other paths; with the
    // orientation the first is mirrored.
    void groupsInEveryFormat_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("turned");
        QTest::addColumn<QByteArray>("text");
        const QByteArray plain("\nref\t100.0\t/a\nalias\t\t/l/a\\xff\n"
                               "protected\t99.5\t/b,\"q\"\n90\t97.2\t/c\\n\n"
                               "alias\t\t/l/c\nalias\t\t/m/c\n");
        QTest::newRow("plain turned") << Format::Plain << true << plain;
        QTest::newRow("TSV turned")
            << Format::Tsv << true
            << QByteArray("\nref\t100.0\tupright\t/a\nalias\t\t\t/l/a\\xff\n"
                          "protected\t99.5\tmirrored\t/b,\"q\"\n90\t97.2\tupright\t/c\\n\n"
                          "alias\t\t\t/l/c\nalias\t\t\t/m/c\n");
        QTest::newRow("CSV turned")
            << Format::Csv << true
            << QByteArray("group,role,rate,likeness,orientation,path\r\n"
                          "2,reference,,,,/a\r\n2,alias,,,,/l/a\\xff\r\n"
                          "2,protected,98,99.5,mirrored,\"/b,\"\"q\"\"\"\r\n"
                          "2,member,90,97.2,upright,/c\\n\r\n"
                          "2,alias,,,,/l/c\r\n2,alias,,,,/m/c\r\n");
        QTest::newRow("JSON turned")
            << Format::Json << true
            << QByteArray("{\"reference\":\"/a\",\"aliases\":[\"/l/a\\udcff\"],"
                          "\"members\":[{\"rate\":98,\"likeness\":99.5,\"orientation\":"
                          "\"mirrored\",\"path\":\"/b,\\\"q\\\"\",\"protected\":true},"
                          "{\"rate\":90,\"likeness\":97.2,\"orientation\":\"upright\","
                          "\"path\":\"/c\\u000a\",\"aliases\":[\"/l/c\",\"/m/c\"]}]}\n");
        QTest::newRow("plain") << Format::Plain << false
                               << QByteArray("\nref\t100.0\t/a\nalias\t\t/l/a\\xff\n"
                                             "protected\t99.5\t/b,\"q\"\n90\t97.2\t/c\\n\n"
                                             "alias\t\t/l/c\nalias\t\t/m/c\n");
        QTest::newRow("CSV") << Format::Csv << false
                             << QByteArray("group,role,rate,likeness,path\r\n"
                                           "2,reference,,,/a\r\n2,alias,,,/l/a\\xff\r\n"
                                           "2,protected,98,99.5,\"/b,\"\"q\"\"\"\r\n"
                                           "2,member,90,97.2,/c\\n\r\n"
                                           "2,alias,,,/l/c\r\n2,alias,,,/m/c\r\n");
        QTest::newRow("JSON") << Format::Json << false
                              << QByteArray("{\"reference\":\"/a\",\"aliases\":[\"/l/a\\udcff\"],"
                                            "\"members\":[{\"rate\":98,\"likeness\":99.5,\"path\":"
                                            "\"/b,\\\"q\\\"\",\"protected\":true},"
                                            "{\"rate\":90,\"likeness\":97.2,\"path\":\"/c\\u000a\","
                                            "\"aliases\":[\"/l/c\",\"/m/c\"]}]}\n");
    }
    void groupsInEveryFormat()
    {
        QFETCH(Format, format);
        QFETCH(bool, turned);
        QFETCH(QByteArray, text);
        const std::vector<std::string> referenceAliases{"/l/a\xff"};
        const std::vector<std::string> memberAliases{"/l/c", "/m/c"};
        const std::vector<GroupPicture> members{
            {"/b,\"q\"", 98, 99.46, true, {}, turned ? "mirrored" : ""},
            {"/c\n", 90, 97.25, false, memberAliases, turned ? "upright" : ""}};
        QCOMPARE(
            QByteArray::fromStdString(groupHeader(format, turned) +
                                      formatGroup(1, {"/a", 0, 0.0, false, referenceAliases, {}},
                                                  members, format, turned)),
            text);
    }
};

QTEST_GUILESS_MAIN(TestOutput)
#include "tst_output.moc"
