#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/GroupTreeModel.h"
#include "ui/PreviewPane.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"
#include "ui_TCreateIndexFileDlg.h"

#include <QTemporaryDir>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

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
};

QObject* ovrin::uitest::makeStatesTests()
{
    return new TestStates;
}

#include "tst_states.moc"
