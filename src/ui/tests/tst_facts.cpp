#include "engine/RunContext.h"
#include "signature/TFileInfo.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitListModel.h"
#include "ui/PathDelegate.h"
#include "ui/PathText.h"
#include "ui/PictureFacts.h"
#include "ui/tests/UiTestSupport.h"

#include <QFontMetrics>
#include <QTest>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

namespace {

constexpr std::int64_t kDay = 86'400'000'000'000;
const QString kMinus(QChar(0x2212));

QString t(const char* text)
{
    return QString::fromUtf8(text);
}

PictureFacts facts(std::uint32_t width, std::uint32_t height, std::int64_t size,
                   std::optional<std::int64_t> modifiedNs)
{
    PictureFacts made = PictureFacts::of(width, height);
    made.size = size;
    made.modifiedNs = modifiedNs.value_or(0);
    made.timeKnown = modifiedNs.has_value();
    return made;
}

} // namespace

Q_DECLARE_METATYPE(ovrin::ui::PictureFacts)

class TestFacts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void notesAgainstTheReference_data()
    {
        QTest::addColumn<PictureFacts>("picture");
        QTest::addColumn<PictureFacts>("reference");
        QTest::addColumn<QStringList>("notes");
        const PictureFacts reference = facts(4000, 3000, 1'000'000, 100 * kDay);
        QTest::newRow("smaller, older")
            << facts(3200, 2250, 480'000, 97 * kDay) << reference
            << QStringList{kMinus + t("40% pixels"), kMinus + t("52% size"), t("3 days older")};
        QTest::newRow("larger, newer by hours and months")
            << facts(5000, 3000, 1'100'000, 100 * kDay + 7'200'000'000'000) << reference
            << QStringList{t("+25% pixels"), t("+10% size"), t("2 h newer")};
        QTest::newRow("years; the reference's pixels and size unknown")
            << facts(4000, 3000, 1'000'000, 10 * kDay) << facts(0, 0, -1, 1000 * kDay)
            << QStringList{t(""), t(""), t("2 years older")};
        QTest::newRow("equal within a percent and a minute")
            << facts(3000, 4000, 1'004'000, 100 * kDay + 59'000'000'000) << reference
            << QStringList{t(""), t(""), t("")};
        QTest::newRow("unknown on either side")
            << facts(0, 0, -1, std::nullopt) << reference << QStringList{t(""), t(""), t("")};
        QTest::newRow("empty file") << facts(1, 1, 0, 190 * kDay) << facts(0, 0, 10, 100 * kDay)
                                    << QStringList{t(""), t(""), t("2 months newer")};
    }

    void notesAgainstTheReference()
    {
        QFETCH(PictureFacts, picture);
        QFETCH(PictureFacts, reference);
        QFETCH(QStringList, notes);
        QCOMPARE((QStringList{FactText::pixelNote(picture, reference),
                              FactText::sizeNote(picture, reference),
                              FactText::ageNote(picture, reference)}),
                 notes);
    }

    void sortingByAFactKeepsGroupsHeadedByTheirReferences()
    {
        auto result = std::make_shared<LookAlikeResult>();
        result->table.paths = {"/r1", "/a", "/b", "/c", "/r2", "/d"};
        result->table.facts = {{0, 50, 1, 0}, {0, 30, 1, 0}, {0, 10, 1, 0},
                               {0, 30, 1, 0}, {0, 20, 1, 0}, {0, 90, 1, 0}};
        result->groups = {{0, {{1, 90, 99.0}, {2, 90, 98.0}, {3, 90, 97.0}}}, {4, {{5, 80, 90.0}}}};
        GroupTreeModel model;
        model.setResult(result);
        const auto shown = [&] {
            std::vector<std::string> rows;
            for (int g = 0; g < model.rowCount(); ++g) {
                const QModelIndex reference = model.index(g, 0);
                rows.push_back(model.isReference(reference) ? model.path(reference) : "?");
                for (int m = 0; m < model.rowCount(reference); ++m)
                    rows.push_back(model.path(model.index(m, 0, reference)));
            }
            return rows;
        };
        const QPersistentModelIndex held = model.index(2, 0, model.index(0, 0));
        GroupTreeView view;
        view.setModel(&model);
        view.expandAll();
        QItemSelectionModel* selection = view.selectionModel();
        selection->select(model.allMembers(), QItemSelectionModel::Select);
        using Rows = std::vector<std::string>;
        model.sort(GroupTreeModel::kSizeColumn, Qt::AscendingOrder);
        QCOMPARE(shown(), (Rows{"/r2", "/d", "/r1", "/b", "/a", "/c"}));
        QCOMPARE(model.path(held), std::string("/c"));
        // The members stay selected, as one range per group.
        QCOMPARE(model.paths(selection->selection()), (Rows{"/d", "/b", "/a", "/c"}));
        QCOMPARE(selection->selection().size(), 2);
        // Descending leaves equals in the engine's order too.
        model.sort(GroupTreeModel::kSizeColumn, Qt::DescendingOrder);
        QCOMPARE(shown(), (Rows{"/r1", "/a", "/c", "/b", "/r2", "/d"}));
        QCOMPARE(model.index(0, GroupTreeModel::kSizeColumn, model.index(0, 0)).data().toString(),
                 t("30 bytes\n") + kMinus + t("40% size"));
        // A new result keeps the chosen order; none gives back the engine's.
        model.setResult(result);
        QCOMPARE(model.path(model.index(1, 0, model.index(0, 0))), std::string("/c"));
        model.sort(-1, Qt::AscendingOrder);
        QCOMPARE(shown(), (Rows{"/r1", "/a", "/b", "/c", "/r2", "/d"}));
    }

    void hitsAreToldAgainstTheTargetAndSortedByAFact()
    {
        HitListModel hits;
        const auto record = [](const std::string& path, std::int64_t size, bool target) {
            HitRecord made{hitOf(path, 90, {})};
            made.stamp = FileStamp{size, 5 * kDay, 0};
            made.isTarget = target;
            return made;
        };
        hits.appendHits({record("/h/big.png", 200, false), record("/h/t.png", 100, true),
                         record("/h/a.png", 50, false), record("/h/b.png", 50, false)});
        hits.sort(HitListModel::kSizeColumn, Qt::DescendingOrder);
        QCOMPARE((std::vector<std::string>{hits.path(0), hits.path(1), hits.path(2), hits.path(3)}),
                 (std::vector<std::string>{"/h/big.png", "/h/t.png", "/h/a.png", "/h/b.png"}));
        const auto cell = [&](int row) {
            return hits.index(row, HitListModel::kSizeColumn).data().toString();
        };
        QCOMPARE((QStringList{cell(0), cell(1), cell(3)}),
                 (QStringList{t("200 bytes\n+100% size"), t("100 bytes"),
                              t("50 bytes\n") + kMinus + t("50% size")}));
        QCOMPARE(hits.headerData(HitListModel::kSizeColumn, Qt::Horizontal,
                                 HitListModel::kIdentifierRole),
                 QVariant(QStringLiteral("FILESIZE")));
    }

    void pathsKeepTheirFileNameWhole()
    {
        const std::string raw = "/home/someone/pictures/holidays/2019/\xff-beach.png";
        HitListModel hits;
        hits.append(hitOf(raw, 90, {}));
        const QString full =
            hits.index(0, HitListModel::kPathColumn).data(Qt::ToolTipRole).toString();
        QCOMPARE(full, PathText::display(raw));
        const QString name = full.mid(full.lastIndexOf(QLatin1Char('/')));
        QCOMPARE(hits.index(0, HitListModel::kFolderColumn).data(Qt::ToolTipRole).toString(),
                 full.left(full.lastIndexOf(QLatin1Char('/'))));

        const QFontMetrics metrics(QFont{});
        const QString suffix = QStringLiteral(" (the target)");
        const QString text = full + suffix;
        const int width = metrics.horizontalAdvance(t("/home…") + name + suffix);
        const QString elided = PathDelegate::elide(text, full, metrics, width);
        QVERIFY2(elided.startsWith(t("/h")) && elided.endsWith(name + suffix) &&
                     elided.contains(QChar(0x2026)) && metrics.horizontalAdvance(elided) <= width,
                 qPrintable(elided));
        QCOMPARE(PathDelegate::elide(text, full, metrics, 10000), text);
    }

    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::system()); }
};

QObject* ovrin::uitest::makeFactsTests()
{
    return new TestFacts;
}

#include "tst_facts.moc"
