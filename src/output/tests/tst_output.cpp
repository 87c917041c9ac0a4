#include "output/Formats.h"
#include "output/NameText.h"
#include "output/Utf8.h"

#include <QTest>

using namespace ovrin::output;

Q_DECLARE_METATYPE(ovrin::output::Format)

namespace {

std::string bytes(const QByteArray& text)
{
    return text.toStdString();
}

} // namespace

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
        row("overlong three bytes", "e08080", false);
        row("surrogate", "eda080", false);
        row("past U+10FFFF", "f4908080", false);
        row("cut short", "e697", false);
        row("stray continuation", "80", false);
        row("bad byte after eight ASCII", "616263646566676880", false);
        row("sequence across the eighth byte", "61626364656667c3a9", true);
        row("cut short after sixteen ASCII", "6162636465666768616263646566676869c3", false);
    }
    void utf8IsReadStrictly()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QCOMPARE(isUtf8(bytes(text)), valid);
    }

    void utf8GivesCodePoints()
    {
        const std::string text = "a\xc3\xa9\xf0\x9f\x98\x82\xff";
        QCOMPARE(utf8At(text, 0).code, U'a');
        QCOMPARE(utf8At(text, 1).length, std::size_t{2});
        QCOMPARE(utf8At(text, 1).code, U'\u00e9');
        QCOMPARE(utf8At(text, 3).code, U'\U0001F602');
        QCOMPARE(utf8At(text, 7).length, std::size_t{0});
    }

    // For people (the plain output, CSV fields) and for machines (JSON).
    void namesAreEscaped_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QByteArray>("json");
        const auto row = [](const char* name, const char* path, const char* plain, const char* csv,
                            const char* json) {
            QTest::newRow(name) << QByteArray(path) << QByteArray(plain) << QByteArray(csv)
                                << QByteArray(json);
        };
        row("ordinary", "/p/\xc3\xa9t\xc3\xa9 1.jpg", "/p/\xc3\xa9t\xc3\xa9 1.jpg",
            "/p/\xc3\xa9t\xc3\xa9 1.jpg", "\"/p/\xc3\xa9t\xc3\xa9 1.jpg\"");
        row("line breaks and tab", "a\nb\tc\rd", "a\\nb\\tc\\rd", "a\\nb\\tc\\rd",
            "\"a\\u000ab\\u0009c\\u000dd\"");
        row("backslash", "a\\b", "a\\\\b", "a\\\\b", "\"a\\\\b\"");
        row("quote", "a\"b", "a\"b", "\"a\"\"b\"", "\"a\\\"b\"");
        row("comma", "a,b", "a,b", "\"a,b\"", "\"a,b\"");
        row("terminal escape", "a\x1b]0;x\x07\x1b[31mb\x7f", "a\\x1b]0;x\\x07\\x1b[31mb\\x7f",
            "a\\x1b]0;x\\x07\\x1b[31mb\\x7f", "\"a\\u001b]0;x\\u0007\\u001b[31mb\\u007f\"");
        row("not UTF-8", "\xe9t\xe9\xff", "\\xe9t\\xe9\\xff", "\\xe9t\\xe9\\xff",
            "\"\\udce9t\\udce9\\udcff\"");
        row("C1 control U+0085",
            "a\xc2\x85"
            "b",
            "a\\xc2\\x85b", "a\\xc2\\x85b", "\"a\\u0085b\"");
        row("right-to-left override", "\xe2\x80\xaegpj.exe", "\\xe2\\x80\\xaegpj.exe",
            "\\xe2\\x80\\xaegpj.exe", "\"\\u202egpj.exe\"");
        row("all at once", "/a, \"b\"\n\\\x1b.jpg", "/a, \"b\"\\n\\\\\\x1b.jpg",
            "\"/a, \"\"b\"\"\\n\\\\\\x1b.jpg\"", "\"/a, \\\"b\\\"\\u000a\\\\\\u001b.jpg\"");
    }
    void namesAreEscaped()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, csv);
        QFETCH(QByteArray, json);
        QCOMPARE(QByteArray::fromStdString(escapePath(bytes(path))), plain);
        QCOMPARE(QByteArray::fromStdString(csvField(bytes(path))), csv);
        QCOMPARE(QByteArray::fromStdString(jsonString(bytes(path))), json);
    }

    void hitsInEveryFormat_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("nullTerminated");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("line");
        const auto row = [](const char* name, Format format, bool nul, const char* header,
                            QByteArray line) {
            QTest::newRow(name) << format << nul << QByteArray(header) << line;
        };
        row("plain", Format::Plain, false, "", "71\t/a, \"b\"\\n\\xff.jpg\n");
        row("plain, raw with NUL", Format::Plain, true, "",
            QByteArray("71\t/a, \"b\"\n\xff.jpg\0", 17));
        row("TSV", Format::Tsv, false, "rate\tlikeness\tpath\n",
            "71\t88.1\t/a, \"b\"\\n\\xff.jpg\n");
        row("CSV", Format::Csv, false, "rate,likeness,path\r\n",
            "71,88.1,\"/a, \"\"b\"\"\\n\\xff.jpg\"\r\n");
        row("JSON", Format::Json, false, "",
            "{\"rate\":71,\"likeness\":88.1,\"path\":\"/a, \\\"b\\\"\\u000a\\udcff.jpg\"}\n");
    }
    void hitsInEveryFormat()
    {
        QFETCH(Format, format);
        QFETCH(bool, nullTerminated);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, line);
        QCOMPARE(QByteArray::fromStdString(hitHeader(format)), header);
        QCOMPARE(QByteArray::fromStdString(
                     formatHit({71, 88.06, "/a, \"b\"\n\xff.jpg"}, format, nullTerminated)),
                 line);
    }

    // The second group of a run: a reference with another path, a member
    // under a protected folder, a member with two other paths.
    void groupsInEveryFormat_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << Format::Plain
                               << QByteArray("\nref\t100.0\t/g/a.png\n"
                                             "alias\t\t/l/a\\xff.png\n"
                                             "protected\t99.5\t/g/b,\"q\".png\n"
                                             "90\t97.2\t/g/c\\n.png\n"
                                             "alias\t\t/l/c.png\n"
                                             "alias\t\t/m/c.png\n");
        QTest::newRow("CSV") << Format::Csv
                             << QByteArray("2,reference,,,/g/a.png\r\n"
                                           "2,alias,,,/l/a\\xff.png\r\n"
                                           "2,protected,98,99.5,\"/g/b,\"\"q\"\".png\"\r\n"
                                           "2,member,90,97.2,/g/c\\n.png\r\n"
                                           "2,alias,,,/l/c.png\r\n"
                                           "2,alias,,,/m/c.png\r\n");
        QTest::newRow("JSON")
            << Format::Json
            << QByteArray("{\"reference\":\"/g/a.png\",\"aliases\":[\"/l/a\\udcff.png\"],"
                          "\"members\":[{\"rate\":98,\"likeness\":99.5,\"path\":"
                          "\"/g/b,\\\"q\\\".png\",\"protected\":true},"
                          "{\"rate\":90,\"likeness\":97.2,\"path\":\"/g/c\\u000a.png\","
                          "\"aliases\":[\"/l/c.png\",\"/m/c.png\"]}]}\n");
    }
    void groupsInEveryFormat()
    {
        QFETCH(Format, format);
        QFETCH(QByteArray, text);
        const std::vector<std::string> referenceAliases{"/l/a\xff.png"};
        const std::vector<std::string> memberAliases{"/l/c.png", "/m/c.png"};
        const GroupPicture reference{"/g/a.png", 0, 0.0, false, referenceAliases};
        const std::vector<GroupPicture> members{{"/g/b,\"q\".png", 98, 99.46, true, {}},
                                                {"/g/c\n.png", 90, 97.25, false, memberAliases}};
        QCOMPARE(QByteArray::fromStdString(formatGroup(1, reference, members, format)), text);
        QCOMPARE(groupHeader(format).empty(), format != Format::Csv);
    }
};

QTEST_GUILESS_MAIN(TestOutput)
#include "tst_output.moc"
