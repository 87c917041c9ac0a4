#include "engine/RunContext.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/DropIntake.h"
#include "ui/ExclusionsDlg.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitListModel.h"
#include "ui/PathDelegate.h"
#include "ui/PathText.h"
#include "ui/PictureFacts.h"
#include "ui/PreviewPane.h"
#include "ui/RunReport.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"
#include "ui_TCreateIndexFileDlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

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

// What the window tells: run states, facts against a reference, exclusions.
class TestStates : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::string raw(const QString& name) const { return path(name).toStdString(); }
    void picture(const QString& name, quint32 seed)
    {
        QVERIFY(test::writeImage(path(name), test::photoLike(120, 90, seed), "png"));
    }
    static void starts(const QString& text, const char* start)
    {
        QVERIFY2(text.startsWith(QLatin1String(start)), qPrintable(text));
    }
private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Preferences::setStoreFileForTesting(raw(QStringLiteral("settings.ini")));
        QDir(m_dir.path()).mkpath(QStringLiteral("tree/sub"));
        picture(QStringLiteral("tree/p1.png"), 41);
        picture(QStringLiteral("tree/sub/copy1.png"), 41);
        picture(QStringLiteral("tree/p5.png"), 60);
        picture(QStringLiteral("tree/sub/copy5.png"), 60);
        UiHooks::setAlert([](QWidget*, const QString&, const QString&) {});
    }

    // A drop sorted without a window: the last folder and index file count,
    // pictures keep their drag order, what is not there (a dangling link too)
    // is refused as missing.
    void dropsSortByWhatIsOnDisk()
    {
        QVERIFY(test::writeText(path(QStringLiteral("x.ovi")), "index"));
        QVERIFY(
            QFile::link(path(QStringLiteral("gone.png")), path(QStringLiteral("dangling.png"))));
        const auto isIndex = [](const std::string& name) { return name.ends_with(".ovi"); };
        const DropIntake intake =
            sortDrop({raw(QStringLiteral("tree")), raw(QStringLiteral("tree/p5.png")),
                      raw(QStringLiteral("x.ovi")), raw(QStringLiteral("tree/sub")),
                      raw(QStringLiteral("missing.png")), raw(QStringLiteral("tree/p1.png")),
                      raw(QStringLiteral("dangling.png"))},
                     isIndex);
        QCOMPARE(intake.folder, std::optional(raw(QStringLiteral("tree/sub"))));
        QCOMPARE(intake.index, std::optional(raw(QStringLiteral("x.ovi"))));
        QCOMPARE(intake.pictures, (std::vector{raw(QStringLiteral("tree/p5.png")),
                                               raw(QStringLiteral("tree/p1.png"))}));
        using Refusal = std::pair<std::string, platform::LoadFailure>;
        QCOMPARE(intake.refused, (std::vector{Refusal{raw(QStringLiteral("missing.png")),
                                                      platform::LoadFailure::Missing},
                                              Refusal{raw(QStringLiteral("dangling.png")),
                                                      platform::LoadFailure::Missing}}));
        QVERIFY(!sortDrop({}, isIndex).folder);
    }

    // Groups are recounted as rows leave; an index creation leaves the strip with them.
    void theGroupsShownKeepTheirCountsAndTheirStrip()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        GroupsDlg* groups = controller.groupsDlg();
        whenShown(groups, [&] {
            groups->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
            QTest::mouseClick(groups->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        QTRY_VERIFY(!controller.engine().isWorking() && controller.groups()->rowCount() == 2);
        starts(w.msgSummary->text(), "2 groups holding 4 of 4");
        const QString strip = w.contextStrip->contextText();
        controller.groups()->removePaths({raw(QStringLiteral("tree/sub/copy5.png"))});
        starts(w.msgSummary->text(), "1 group holding 2 of 4");

        auto open = std::make_shared<std::atomic<bool>>(false);
        controller.engine().setThreadStarter(gated(open));
        TCreateIndexFileDlg* index = controller.createIndexFileDlg();
        whenShown(index, [&] {
            index->widgets().tfTopDirPath->setText(path(QStringLiteral("tree/sub")));
            index->widgets().tfIndexFilePath->setText(path(QStringLiteral("other.ovi")));
            QTest::mouseClick(index->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuCreateIndexFileAction();
        QCOMPARE(w.contextStrip->contextText(), strip);
        open->store(true);
    }

    // A stopped search says so, not that nothing is alike; the target and the
    // hit leave the pane once their files and rows are gone; hits are recounted.
    void searchesSayWhatIsSoStill()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("hits"));
        picture(QStringLiteral("hits/t.png"), 70);
        picture(QStringLiteral("hits/c.png"), 70);
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        TGraphicSearch& engine = controller.engine();
        engine.setThreadStarter(
            gated(std::make_shared<std::atomic<bool>>(true), [&engine] { engine.stop(); }));
        confirmSearch(controller, path(QStringLiteral("hits/t.png")), path(QStringLiteral("hits")));
        controller.menuSearchAction();
        QTRY_VERIFY(!engine.isWorking() && !w.msgSummary->isHidden());
        starts(w.tvResult->placeholderText(), "Stopped after 0 files; no look-alikes");

        engine.setThreadStarter({});
        confirmSearch(controller, path(QStringLiteral("hits/t.png")), path(QStringLiteral("hits")));
        controller.menuSearchAction();
        QTRY_VERIFY(!engine.isWorking() && controller.hits()->rowCount() == 2);
        const auto shown = [&w](PreviewPane::Slot slot) {
            return w.previewPane->infoText(slot).section(QLatin1Char('\n'), 0, 0);
        };
        QTRY_COMPARE(shown(PreviewPane::TargetSlot), QStringLiteral("t.png"));
        const int copy = controller.hits()->path(0) == raw(QStringLiteral("hits/c.png")) ? 0 : 1;
        w.tvResult->setCurrentIndex(controller.hits()->index(copy, 0));
        QTRY_COMPARE(shown(PreviewPane::HitSlot), QStringLiteral("c.png"));
        starts(w.msgSummary->text(), "2 hits");
        for (const QString& gone : {QStringLiteral("t.png"), QStringLiteral("c.png")}) {
            QVERIFY(QFile::remove(path(QStringLiteral("hits/") + gone)));
            controller.hits()->removePaths({raw(QStringLiteral("hits/") + gone)});
        }
        QCOMPARE(shown(PreviewPane::TargetSlot), QStringLiteral("t.png (gone)"));
        QCOMPARE(shown(PreviewPane::HitSlot), QStringLiteral("c.png (gone)"));
        starts(w.msgSummary->text(), "0 hits");
    }

    // The running texts: files of about how many with the time left, and a
    // grouping's phase; a grouping stopped says the phase it stopped in.
    void progressSaysHowFarAndHowLong_data()
    {
        using P = GroupingPhase;
        using S = RunReport::GroupingState;
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("text");
        const auto search = [](qint64 examined, qint64 estimated, bool settled, double seconds) {
            return RunReport::progress(RunSummary::Kind::FolderSearch, examined, 0, seconds,
                                       estimated, settled);
        };
        const auto grouping = [](const S& state) { return RunReport::groupingProgress(state, 10); };
        QTest::newRow("counting") << search(40, 300, false, 2)
                                  << "Examined 40 files (counting…) · 0 hits · 0:02";
        QTest::newRow("counted, time left")
            << search(1204, 5300, true, 41)
            << "Examined 1,204 of about 5,300 files · about 2 min left · 0 hits · 0:41";
        QTest::newRow("index") << grouping(S{P::Reading, 300, -1, false, 0, 0, 0})
                               << "Reading the index file · 300 entries checked · 0:10";
        QTest::newRow("decoding")
            << grouping(S{P::Decoding, 120, 800, true, 0, 0, 0})
            << "Decoding · 120 of about 800 files · less than a minute left · 0:10";
        QTest::newRow("groups") << grouping(S{P::Forming, 800, 800, true, 99, 99, 3})
                                << "Forming groups · 3 groups so far · 0:10";
        RunSummary stopped;
        stopped.kind = RunSummary::Kind::Groups;
        stopped.outcome = RunSummary::Outcome::Stopped;
        const S comparing{P::Comparing, 800, 800, true, 40, 99, 0};
        QTest::newRow("grouping stopped")
            << RunReport::groups(stopped, -1, -1, &comparing)
            << "Grouping stopped after 0.0 s while comparing pairs: 40 % settled; no groups are "
               "shown";
    }
    void progressSaysHowFarAndHowLong()
    {
        QFETCH(QString, said);
        QFETCH(QString, text);
        QCOMPARE(said, text);
    }

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

    // Chosen in the dialog, the exclusions are kept, applied to the engine at
    // once and to the engine of the next window from its start.
    void theDialogKeepsAndAppliesThem()
    {
        QTemporaryDir dir;
        Preferences::setStoreFileForTesting(test::str(dir.filePath(QStringLiteral("s.ini"))));
        int alerts = 0;
        ui::UiHooks::setAlert([&alerts](QWidget*, const QString&, const QString&) { ++alerts; });
        ui::UiHooks::setOpenFolder([](QWidget*, const QString&) {
            return std::optional<QString>(QStringLiteral("/p/gone//"));
        });
        const Exclusions chosen({"/p/gone"}, {"*.tmp", ".thumbnails"});
        {
            ui::Ovrin first;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                auto* dialog = qobject_cast<ui::ExclusionsDlg*>(QApplication::activeModalWidget());
                if (dialog == nullptr)
                    return;
                poll.stop();
                auto* add = dialog->findChild<QPushButton*>(QStringLiteral("btnAddFolder"));
                QTest::mouseClick(add, Qt::LeftButton);
                QTest::mouseClick(add, Qt::LeftButton); // the same folder again: still one
                QCOMPARE(dialog->folderList()->count(), 1);
                dialog->patternField()->setPlainText(QStringLiteral("*.tmp\n  \na/b"));
                dialog->okAction(); // a pattern with a '/' would match no name
                QVERIFY(alerts == 1 && dialog->isVisible());
                dialog->patternField()->setPlainText(QStringLiteral("*.tmp\n\n .thumbnails "));
                dialog->okAction();
            });
            poll.start(5);
            first.mainWindow()->findChild<QAction*>(QStringLiteral("actionExclusions"))->trigger();
            QCOMPARE(first.engine().exclusions(), chosen);
        }
        ui::Ovrin second;
        QCOMPARE(second.engine().exclusions(), chosen);
        ui::UiHooks::setAlert({});
        ui::UiHooks::setOpenFolder({});
        RunSummary run; // and a run says how many it left out
        run.excluded = 3;
        QVERIFY(
            ui::RunReport::summary(run).endsWith(QStringLiteral("; 3 left out by the exclusions")));
    }
};

QObject* ovrin::uitest::makeStatesTests()
{
    return new TestStates;
}

#include "tst_states.moc"
