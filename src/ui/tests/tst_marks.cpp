#include "engine/ReviewFile.h"
#include "engine/RunContext.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/ContextStrip.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/MarkSet.h"
#include "ui/ProtectedFoldersDlg.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

// Marks: set by hand and by command, kept in a saved review.
class TestMarks : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    // The tree groups by path: a/1 b/1 c/1, a/2 b/2, a/3 b/3.
    QString path(const QString& name) const { return m_dir.filePath(QStringLiteral("t/") + name); }
    std::string raw(const QString& name) const { return m_dir.filePath(name).toStdString(); }
    QList<Alert> m_alerts;

    // The groups shown, one line each: "reference: member member", marked
    // pictures with a '*'.
    static QByteArrayList shown(Ovrin& controller)
    {
        GroupTreeModel* model = controller.groups();
        const auto name = [&](const QModelIndex& index) {
            const std::string file = model->path(index);
            return QByteArray::fromStdString(file.substr(file.rfind('/') + 1)) +
                   (controller.groupMarks()->isMarked(file) ? "*" : "");
        };
        QByteArrayList lines;
        for (int g = 0; g < model->rowCount(); ++g) {
            QByteArray line = name(model->index(g, 0)) + ":";
            for (int m = 0; m < model->rowCount(model->index(g, 0)); ++m)
                line += " " + name(model->index(m, 0, model->index(g, 0)));
            lines << line;
        }
        return lines;
    }

    void open(Ovrin& controller, const QString& file)
    {
        UiHooks::setOpenFile(
            [file](QWidget*, const QString&, const QString&, const QString&) { return file; });
        controller.menuOpenReviewAction();
        // Read away from the UI thread: done once it can be opened again.
        QVERIFY(!controller.widgets().actionOpenReview->isEnabled());
        QTRY_VERIFY(controller.widgets().actionOpenReview->isEnabled());
    }

private Q_SLOTS:
    void initTestCase()
    {
        Preferences::setStoreFileForTesting(path(QStringLiteral("../s.ini")).toStdString());
        for (const QString& name : QStringLiteral("1a 1b 1c 2a 2b 3a 3b").split(u' ')) {
            const QString file = path(QStringLiteral("%1/%2.png").arg(name[1], name[0]));
            QDir().mkpath(QFileInfo(file).path());
            QVERIFY(test::writeImage(file, test::photoLike(120, 90, name[0].unicode()), "png"));
        }
    }

    void cleanup()
    {
        UiHooks::setOpenFolder({});
        UiHooks::setOpenFile({});
        UiHooks::setSaveFile({});
        UiHooks::setAlert({});
        Preferences::standard().setString("Review/protectedFolders", "");
    }

    void hitMarksFollowPathsAndLeaveWithTheirRows()
    {
        MarkSet marks;
        marks.setProtectedFolders({"/p"});
        HitListModel hits;
        hits.setMarks(&marks);
        hits.appendHits({HitRecord{hitOf("/h/b", 90, {})}, HitRecord{hitOf("/h/a", 80, {})},
                         HitRecord{hitOf("/p/c", 70, {})}});
        const auto box = [&](int row) { return hits.index(row, HitListModel::kPathColumn); };
        QVERIFY(hits.setData(box(0), Qt::Checked, Qt::CheckStateRole));
        hits.sort(HitListModel::kPathColumn, Qt::AscendingOrder);
        QCOMPARE(hits.data(box(1), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // A protected picture's box cannot be clicked, nor set otherwise.
        QCOMPARE(hits.flags(box(0)) & ~hits.flags(box(2)), Qt::ItemIsUserCheckable);
        QVERIFY(!hits.setData(box(2), Qt::Checked, Qt::CheckStateRole));
        // Marking many rows tells the view once, not row by row.
        QSignalSpy changes(&hits, &QAbstractItemModel::dataChanged);
        marks.setMarked(hits.allPaths(), true);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(marks.marked(), (std::vector<std::string>{"/h/a", "/h/b"}));
        hits.removePaths({"/h/b"});
        QCOMPARE(marks.marked(), std::vector<std::string>{"/h/a"});
    }

    void makeReferenceComparesTheMembersAgain()
    {
        auto result = std::make_shared<LookAlikeResult>();
        result->table.count = 4;
        result->table.paths = {"/g/a", "/g/b", "/g/c"};
        // Each agrees with the one before in all but one of four pixels.
        for (const int differ : {0, 1, 2})
            for (int i = 0; i < 4; ++i)
                result->table.values.push_back(i >= 4 - differ ? 0x7FFF : 0);
        result->groups = {{0, {{1, 75, 0.0}, {2, 50, 0.0}}}};
        MarkSet marks;
        GroupTreeModel model;
        model.setMarks(&marks);
        model.setResult(result, 4);
        const QModelIndex top = model.index(0, 0);
        QPersistentModelIndex chosen = model.index(0, 0, top);
        marks.setMarked(std::vector<std::string>{"/g/a", "/g/b"}, true);
        QVERIFY(model.makeReference(chosen));
        QCOMPARE(model.path(top), std::string("/g/b"));
        QCOMPARE(QModelIndex(chosen), top); // the current row follows the picture
        for (const LookAlikeMember& member : model.groups()[0].members)
            QCOMPARE(member.rate, 75);
        QCOMPARE(marks.marked(), std::vector<std::string>{"/g/a"});
        QCOMPARE(model.memberPaths(), (std::vector<std::string>{"/g/a", "/g/c"}));
        // A reference gone to the trash is not listed again.
        model.removePaths({"/g/b"});
        QVERIFY(model.makeReference(model.index(1, 0, top)));
        QCOMPARE(model.groupPaths(top), (std::vector<std::string>{"/g/c", "/g/a"}));
        QCOMPARE(model.groups()[0].members[0].rate, 50);
    }

    void markCommands_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("protect");
        QTest::addColumn<QString>("marked"); // names under t/, by byte order
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* name, const char* steps, const char* protect,
                            const char* marked, const char* current, const char* says) {
            QTest::newRow(name) << QString::fromLatin1(steps) << QString::fromLatin1(protect)
                                << QString::fromLatin1(marked) << QString::fromLatin1(current)
                                << QString::fromUtf8(says);
        };
        row("all but the kept copies", "Ctrl+M", "", "b/1.png b/2.png b/3.png c/1.png", "",
            "Marked 4 pictures");
        row("all but kept, protected", "Ctrl+M", "b", "c/1.png", "",
            "Marked 1 picture; 3 under protected folders stay unmarked");
        row("all but kept follows Make Reference", "Alt+Down Down Ctrl+R Ctrl+M", "",
            "a/1.png b/2.png b/3.png c/1.png", "b/1.png", "Marked 4 pictures");
        row("invert in the group", "Alt+Down Alt+Down Ctrl+Shift+I", "", "a/2.png b/2.png",
            "a/2.png", "Marks inverted: 2 pictures marked, 0 unmarked");
        row("invert, protected", "Ctrl+M Alt+Down Ctrl+Shift+I", "a", "b/2.png b/3.png", "a/1.png",
            "1 under a protected folder stays unmarked");
        row("space on a selection", "Alt+Down Down Shift+Down Space", "", "b/1.png c/1.png",
            "c/1.png", "Marked 2 pictures");
        row("space, protected", "Alt+Down Down Shift+Down Space", "c", "b/1.png", "c/1.png",
            "Marked 1 picture; 1 under a protected folder stays unmarked");
        row("space twice", "Alt+Down Space Space", "", "", "a/1.png", "Unmarked 1 picture");
        row("in a folder, then out", "+b -c", "", "b/1.png b/2.png b/3.png", "",
            "Unmarked 0 pictures under ");
        row("in a protected folder", "+b", "b", "", "", "; 3 under protected folders stay");
        row("keep and next", "Alt+Down Down K K", "", "a/1.png b/2.png c/1.png", "a/3.png",
            "Kept “2.png”, marked 1 other");
        row("walk back", "Alt+Down Alt+Down Alt+Up Alt+Up", "", "", "a/1.png", "first group.");
    }
    void markCommands()
    {
        QFETCH(QString, steps);
        QFETCH(QString, protect);
        QFETCH(QString, marked);
        QFETCH(QString, current);
        QFETCH(QString, says);
        if (!protect.isEmpty()) { // through the dialog, kept for the next start
            Ovrin setter;
            ProtectedFoldersDlg* dialog = setter.protectedFoldersDlg();
            whenShown(dialog, [&] {
                UiHooks::setOpenFolder(
                    [&](QWidget*, const QString&) { return std::optional(path(protect + u'/')); });
                dialog->addAction();
                dialog->accept();
            });
            setter.menuProtectedFoldersAction();
        }
        Ovrin controller;
        controller.mainWindow()->show();
        QVERIFY(QTest::qWaitForWindowActive(controller.mainWindow()));
        GroupsDlg* dialog = controller.groupsDlg();
        whenShown(dialog, [&] {
            Ui::GroupsDlg& w = dialog->widgets();
            w.tfTopDirPath->setText(path({})); // a folder, as a fresh store has it
            w.cbxKeep->setCurrentIndex(w.cbxKeep->findData(static_cast<int>(KeepRule::Path)));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        QTRY_COMPARE(controller.groups()->rowCount(), 3);
        Ui::MainWindow& w = controller.widgets();
        for (const QString& step : steps.split(u' ')) {
            if (step[0] == u'+' || step[0] == u'-') { // (un)marking under a folder
                const QString folder = path(step.mid(1));
                UiHooks::setOpenFolder(
                    [folder](QWidget*, const QString&) { return std::optional(folder); });
                (step[0] == u'-' ? w.actionUnmarkInFolder : w.actionMarkInFolder)->trigger();
            } else {
                QTest::keySequence(w.tvGroups, QKeySequence(step));
            }
        }
        QStringList names;
        for (const std::string& file : controller.groupMarks()->marked())
            names << QString::fromStdString(file).mid(path({}).size());
        QCOMPARE(names.join(u' '), marked);
        if (!current.isEmpty())
            QCOMPARE(QString::fromStdString(controller.groups()->path(w.tvGroups->currentIndex())),
                     path(current));
        QVERIFY2(w.msgSummary->text().contains(says), qPrintable(w.msgSummary->text()));
    }

    // Opened, marked and saved, then opened again after one picture changed:
    // it is left out with its group, and the other marks come back.
    void saveAndOpenAgain()
    {
        UiHooks::setAlert([this](QWidget*, const QString& message, const QString& informative) {
            m_alerts << Alert{message, informative};
        });
        const QStringList names =
            QStringLiteral("a.png b.png c.png d.png e.png").split(QLatin1Char(' '));
        Review review;
        SignatureTable& table = review.result.table;
        table.count = 1;
        for (const QString& name : names) {
            // Only the stamp is looked at.
            QVERIFY(test::writeText(m_dir.filePath(name), name.toUtf8()));
            const auto stamp = ReviewFile::stampNow(raw(name));
            table.paths.push_back(raw(name));
            table.values.push_back(1);
            table.facts.push_back({1200, stamp->size, stamp->modifiedNs, stamp->changedNs});
        }
        review.result.groups = {{0, {{1, 90, 95.0}, {2, 80, 85.0}}}, {3, {{4, 75, 71.0}}}};
        review.referenceGone = {false, false};
        review.marked.assign(5, false);
        review.settings.matchRate = 85;
        const std::vector<std::uint8_t> bytes = ReviewFile::encode(review);
        const QString first = m_dir.filePath(QStringLiteral("first.ovr"));
        QVERIFY(test::writeText(first, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                  qsizetype(bytes.size()))));

        Ovrin controller;
        open(controller, first);
        QVERIFY(m_alerts.isEmpty());
        QCOMPARE(shown(controller), (QByteArrayList{"a.png: b.png c.png", "d.png: e.png"}));
        QVERIFY(controller.widgets().contextStrip->contextText().contains(QLatin1String("85")));
        QVERIFY(controller.widgets().actionSaveReview->isEnabled());

        controller.groupMarks()->setMarked({raw(names[1]), raw(names[3])}, true);
        UiHooks::setSaveFile([this](QWidget*, const QString&, const QString&, const QString&) {
            return m_dir.filePath(QStringLiteral("saved"));
        });
        controller.menuSaveReviewAction();
        QVERIFY(m_alerts.isEmpty());

        QVERIFY(test::writeText(m_dir.filePath(names[4]), "changed"));
        controller.groupMarks()->clear();
        open(controller, m_dir.filePath(QStringLiteral("saved.ovr")));
        QCOMPARE(shown(controller), (QByteArrayList{"a.png: b.png* c.png"}));
        QVERIFY(controller.widgets().msgSummary->text().endsWith(QLatin1String("; 1 left out")));
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].message,
                 QLatin1String("1 picture changed or moved since the review was saved and was "
                               "left out."));
        QCOMPARE(m_alerts[0].informative, m_dir.filePath(names[4]));
        m_alerts.clear();
        QCOMPARE(controller.groupMarks()->size(), std::size_t{1});

        // A file that is no review leaves the groups as they were.
        QVERIFY(test::writeText(m_dir.filePath(QStringLiteral("other.ovr")), "OVHD and more"));
        open(controller, m_dir.filePath(QStringLiteral("other.ovr")));
        QCOMPARE(m_alerts.size(), 1);
        QVERIFY(m_alerts[0].informative.contains(QLatin1String("not an Ovrin review")));
        QCOMPARE(shown(controller).size(), 1);
    }
};

QObject* ovrin::uitest::makeMarksTests()
{
    return new TestMarks;
}

#include "tst_marks.moc"
