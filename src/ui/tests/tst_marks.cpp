#include "engine/RunContext.h"
#include "platform/Preferences.h"
#include "support/TestImages.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/MarkSet.h"
#include "ui/Ovrin.h"
#include "ui/ProtectedFoldersDlg.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

namespace {

// Pictures that agree in all but the last `differ` of four pixels.
std::vector<std::int16_t> pixels(int differ)
{
    std::vector<std::int16_t> values(4, 0);
    for (int i = 4 - differ; i < 4; ++i)
        values[static_cast<std::size_t>(i)] = 0x7FFF;
    return values;
}

} // namespace

class TestMarks : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::string raw(const QString& name) const
    {
        return path(QStringLiteral("t/") + name).toStdString();
    }

    // Groups of the tree by path: a/1 b/1 c/1, a/2 b/2, a/3 b/3.
    void group(Ovrin& controller)
    {
        GroupsDlg* dialog = controller.groupsDlg();
        whenShown(dialog, [&] {
            Ui::GroupsDlg& w = dialog->widgets();
            w.tfTopDirPath->setText(path(QStringLiteral("t")));
            w.rbSelectSearchDirectory->setChecked(true);
            w.cbxKeep->setCurrentIndex(w.cbxKeep->findData(static_cast<int>(KeepRule::Path)));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        QTRY_COMPARE(controller.groups()->rowCount(), 3);
    }

    QStringList markedNames(const MarkSet* marks) const
    {
        QStringList names;
        for (const std::string& file : marks->marked())
            names << QString::fromStdString(file).mid(path(QStringLiteral("t/")).size());
        return names;
    }

private Q_SLOTS:
    void initTestCase()
    {
        platform::Preferences::setStoreFileForTesting(
            m_dir.filePath(QStringLiteral("settings.ini")).toStdString());
        for (const auto& [name, seed] : {std::pair{"a/1", 11u},
                                         {"b/1", 11u},
                                         {"c/1", 11u},
                                         {"a/2", 22u},
                                         {"b/2", 22u},
                                         {"a/3", 33u},
                                         {"b/3", 33u}}) {
            const QString file = path(QStringLiteral("t/%1.png").arg(QLatin1String(name)));
            QDir().mkpath(QFileInfo(file).path());
            QVERIFY(test::writeImage(file, test::photoLike(120, 90, seed), "png"));
        }
    }

    void cleanup()
    {
        UiHooks::setOpenFolder({});
        platform::Preferences::standard().setString("Review/protectedFolders", "");
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
        QCOMPARE(hits.data(box(0), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        // A protected picture's box cannot be clicked, nor set otherwise.
        QVERIFY(!(hits.flags(box(2)) & Qt::ItemIsUserCheckable));
        QVERIFY(hits.flags(box(0)) & Qt::ItemIsUserCheckable);
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
        for (const int differ : {0, 1, 2})
            for (const std::int16_t value : pixels(differ))
                result->table.values.push_back(value);
        result->groups = {{0, {{1, 75, 0.0}, {2, 50, 0.0}}}};
        MarkSet marks;
        GroupTreeModel model;
        model.setMarks(&marks);
        model.setResult(result, 4);
        const QModelIndex top = model.index(0, 0);
        QPersistentModelIndex chosen = model.index(0, 0, top);
        QCOMPARE(model.path(chosen), std::string("/g/b"));
        marks.setMarked(std::vector<std::string>{"/g/a", "/g/b"}, true);
        QVERIFY(!model.makeReference(top));
        QVERIFY(model.makeReference(chosen));
        QCOMPARE(model.path(top), std::string("/g/b"));
        QCOMPARE(QModelIndex(chosen), top); // the current row follows the picture
        std::map<std::string, int> rates;
        for (const LookAlikeMember& member : model.groups()[0].members)
            rates[result->table.paths[member.index]] = member.rate;
        QCOMPARE(rates, (std::map<std::string, int>{{"/g/a", 75}, {"/g/c", 75}}));
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
        row("in a folder, then out", "folder:b folder:-c", "", "b/1.png b/2.png b/3.png", "",
            "Unmarked 0 pictures under ");
        row("in a protected folder", "folder:b", "b", "", "",
            "; 3 under protected folders stay unmarked");
        row("keep and next", "Alt+Down Down K K", "", "a/1.png b/2.png c/1.png", "a/3.png",
            "Kept “2.png”, marked 1 other");
        row("walk back", "Alt+Down Alt+Down Alt+Down Alt+Up Alt+Up Alt+Up", "", "", "a/1.png",
            "This is the first group.");
    }
    void markCommands()
    {
        QFETCH(QString, steps);
        QFETCH(QString, protect);
        QFETCH(QString, marked);
        QFETCH(QString, current);
        QFETCH(QString, says);
        if (!protect.isEmpty())
            platform::Preferences::standard().setString(
                "Review/protectedFolders", QUrl::fromLocalFile(path(QStringLiteral("t/") + protect))
                                               .toEncoded()
                                               .toStdString());
        Ovrin controller;
        controller.mainWindow()->show();
        QVERIFY(QTest::qWaitForWindowActive(controller.mainWindow()));
        group(controller);
        Ui::MainWindow& w = controller.widgets();
        for (const QString& step : steps.split(u' ')) {
            if (step.startsWith(QStringLiteral("folder:"))) {
                const bool unmark = step[7] == u'-';
                const QString folder = path(QStringLiteral("t/") + step.mid(unmark ? 8 : 7));
                UiHooks::setOpenFolder(
                    [folder](QWidget*, const QString&) { return std::optional(folder); });
                (unmark ? w.actionUnmarkInFolder : w.actionMarkInFolder)->trigger();
            } else {
                QTest::keySequence(w.tvGroups, QKeySequence(step));
            }
        }
        QCOMPARE(markedNames(controller.groupMarks()).join(u' '), marked);
        if (!current.isEmpty())
            QCOMPARE(controller.groups()->path(w.tvGroups->currentIndex()), raw(current));
        QVERIFY2(w.msgSummary->text().contains(says), qPrintable(w.msgSummary->text()));
    }

    void protectedFoldersAreKeptByteForByte()
    {
        const QString odd = path(QStringLiteral("t/b/\u00e9 %1"));
        QVERIFY(QDir().mkpath(odd));
        {
            Ovrin controller;
            controller.groupMarks()->setMarked(raw(QStringLiteral("b/\u00e9 %1/x.png")), true);
            ProtectedFoldersDlg* dialog = controller.protectedFoldersDlg();
            whenShown(dialog, [&] {
                UiHooks::setOpenFolder(
                    [odd](QWidget*, const QString&) { return std::optional(odd + u'/'); });
                dialog->addAction();
                dialog->addAction(); // once only
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            });
            controller.menuProtectedFoldersAction();
            QVERIFY(controller.groupMarks()->empty());
            QCOMPARE(controller.widgets().msgSummary->text(),
                     QStringLiteral("1 mark under a protected folder was dropped"));
        }
        Ovrin again;
        const std::vector<std::string> folders{odd.toStdString()};
        QCOMPARE(again.hitMarks()->protectedFolders(), folders);
        QCOMPARE(again.groupMarks()->protectedFolders(), folders);
    }
};

QObject* ovrin::uitest::makeMarksTests()
{
    return new TestMarks;
}

#include "tst_marks.moc"
