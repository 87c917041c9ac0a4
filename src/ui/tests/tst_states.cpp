#include "engine/LookAlikeGroups.h"
#include "platform/Preferences.h"
#include "support/TestImages.h"
#include "ui/ContextStrip.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/Ovrin.h"
#include "ui/PreviewPane.h"
#include "ui/RunReport.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"
#include "ui_TCreateIndexFileDlg.h"
#include "ui_TSearchDlg.h"

#include <QTemporaryDir>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

Q_DECLARE_METATYPE(ovrin::ui::RunReport::GroupingState)

// What the window says stays true as rows leave, dialogs change the next
// run's values, runs stop and files go.
class TestStates : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::string raw(const QString& name) const { return path(name).toStdString(); }
    void picture(const QString& name, quint32 seed)
    {
        QVERIFY(test::writeImage(path(name), test::photoLike(120, 90, seed), "png"));
    }
    void search(Ovrin& controller, const QString& target, const QString& folder)
    {
        TSearchDlg* dialog = controller.searchDlg();
        whenShown(dialog, [dialog, target, folder] {
            dialog->widgets().tfTargetFilePath->setText(target);
            dialog->widgets().tfTopDirPath->setText(folder);
            dialog->widgets().rbSelectSearchDirectory->setChecked(true);
            QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuSearchAction();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        platform::Preferences::setStoreFileForTesting(raw(QStringLiteral("settings.ini")));
        QDir(m_dir.path()).mkpath(QStringLiteral("tree/sub"));
        for (int i = 0; i < 3; ++i)
            picture(QStringLiteral("tree/p%1.png").arg(i), 40u + static_cast<quint32>(i));
        picture(QStringLiteral("tree/sub/copy1.png"), 41);
        picture(QStringLiteral("tree/p5.png"), 60);
        picture(QStringLiteral("tree/sub/copy5.png"), 60);
        UiHooks::setConfirm(
            [](QWidget*, const QString&, const QString&, const QString&) { return true; });
        UiHooks::setAlert([](QWidget*, const QString&, const QString&) {});
    }

    // The status line recounts the groups as rows leave; an index creation
    // started over the groups leaves the strip with them.
    void theGroupsShownKeepTheirCountsAndTheirStrip()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        GroupsDlg* groups = controller.groupsDlg();
        whenShown(groups, [&] {
            groups->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
            groups->widgets().rbSelectSearchDirectory->setChecked(true);
            groups->widgets().cbxBits->setCurrentText(QStringLiteral("2"));
            groups->widgets().cbxMatchRate->setCurrentText(QStringLiteral("90"));
            QTest::mouseClick(groups->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        QTRY_VERIFY(!controller.engine().isWorking() && controller.groups()->rowCount() == 2);
        QVERIFY2(w.msgSummary->text().startsWith(QStringLiteral("2 groups holding 4 of 6")),
                 qPrintable(w.msgSummary->text()));
        const QString strip = w.contextStrip->contextText();

        controller.groups()->removePaths({raw(QStringLiteral("tree/sub/copy5.png"))});
        QVERIFY2(w.msgSummary->text().startsWith(QStringLiteral("1 group holding 2 of 6")),
                 qPrintable(w.msgSummary->text()));

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
        QTRY_VERIFY(!controller.engine().isWorking());
        QCOMPARE(w.contextStrip->contextText(), strip);
        controller.engine().setThreadStarter({});
    }

    // A search stopped before its first file says so, not that nothing is alike.
    void aStoppedSearchSaysItStopped()
    {
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        auto open = std::make_shared<std::atomic<bool>>(true);
        engine.setThreadStarter(gated(open, [&engine] { engine.stop(); }));
        search(controller, path(QStringLiteral("tree/p0.png")), path(QStringLiteral("tree")));
        QTRY_VERIFY(!engine.isWorking() && !controller.widgets().msgSummary->isHidden());
        const QString said = controller.widgets().tvResult->placeholderText();
        QVERIFY2(said.startsWith(QStringLiteral("Stopped after 0 files; no look-alikes")),
                 qPrintable(said));
        engine.setThreadStarter({});
    }

    // The target and the selected hit leave the pane once their files and
    // rows are gone.
    void goneHitsLeaveThePreview()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("hits"));
        picture(QStringLiteral("hits/t.png"), 70);
        picture(QStringLiteral("hits/c.png"), 70);
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        search(controller, path(QStringLiteral("hits/t.png")), path(QStringLiteral("hits")));
        QTRY_VERIFY(!controller.engine().isWorking() && controller.hits()->rowCount() == 2);
        QTRY_VERIFY(
            w.previewPane->infoText(PreviewPane::TargetSlot).startsWith(QStringLiteral("t.png\n")));
        const int copy = controller.hits()->path(0) == raw(QStringLiteral("hits/c.png")) ? 0 : 1;
        w.tvResult->setCurrentIndex(controller.hits()->index(copy, 0));
        QTRY_VERIFY(
            w.previewPane->infoText(PreviewPane::HitSlot).startsWith(QStringLiteral("c.png\n")));
        QVERIFY2(w.msgSummary->text().startsWith(QStringLiteral("2 hits")),
                 qPrintable(w.msgSummary->text()));
        for (const QString& gone : {QStringLiteral("t.png"), QStringLiteral("c.png")}) {
            QVERIFY(QFile::remove(path(QStringLiteral("hits/") + gone)));
            controller.hits()->removePaths({raw(QStringLiteral("hits/") + gone)});
        }
        QCOMPARE(w.previewPane->infoText(PreviewPane::TargetSlot).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("t.png (gone)"));
        QCOMPARE(w.previewPane->infoText(PreviewPane::HitSlot).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("c.png (gone)"));
        QVERIFY2(w.msgSummary->text().startsWith(QStringLiteral("0 hits")),
                 qPrintable(w.msgSummary->text()));
    }

    void progressSaysHowFarAndHowLong_data()
    {
        QTest::addColumn<qint64>("examined");
        QTest::addColumn<qint64>("estimated");
        QTest::addColumn<bool>("settled");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("counting") << qint64(40) << qint64(300) << false << 2.0
                                  << "Examined 40 files (counting…) · 0 hits · 0:02";
        QTest::newRow("counted, pace not yet known")
            << qint64(40) << qint64(5300) << true << 2.0
            << "Examined 40 of about 5,300 files · 0 hits · 0:02";
        QTest::newRow("counted, with the time left")
            << qint64(1204) << qint64(5300) << true << 41.0
            << "Examined 1,204 of about 5,300 files · about 2 min left · 0 hits · 0:41";
    }
    void progressSaysHowFarAndHowLong()
    {
        QFETCH(qint64, examined);
        QFETCH(qint64, estimated);
        QFETCH(bool, settled);
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(RunReport::progress(RunSummary::Kind::FolderSearch, examined, 0, seconds,
                                     estimated, settled),
                 text);
    }

    void groupingSaysItsPhase_data()
    {
        using P = GroupingPhase;
        using S = RunReport::GroupingState;
        QTest::addColumn<S>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("index") << S{P::Reading, 300, -1, false, 0, 0, 0}
                               << "Reading the index file · 300 entries checked · 0:10";
        QTest::newRow("decoding")
            << S{P::Decoding, 120, 800, true, 0, 0, 0}
            << "Decoding · 120 of about 800 files · less than a minute left · 0:10";
        QTest::newRow("pairs") << S{P::Comparing, 800, 800, true, 40, 99, 0}
                               << "Comparing pairs · 40 % settled · 0:10";
        QTest::newRow("groups") << S{P::Forming, 800, 800, true, 99, 99, 3}
                                << "Forming groups · 3 groups so far · 0:10";
    }
    void groupingSaysItsPhase()
    {
        QFETCH(RunReport::GroupingState, state);
        QFETCH(QString, text);
        QCOMPARE(RunReport::groupingProgress(state, 10.0), text);
        RunSummary stopped;
        stopped.kind = RunSummary::Kind::Groups;
        stopped.outcome = RunSummary::Outcome::Stopped;
        stopped.seconds = 10.0;
        QVERIFY(RunReport::groups(stopped, -1, -1, &state)
                    .startsWith(QStringLiteral("Grouping stopped after 10.0 s while ")));
    }
};

QObject* ovrin::uitest::makeStatesTests()
{
    return new TestStates;
}

#include "tst_states.moc"
