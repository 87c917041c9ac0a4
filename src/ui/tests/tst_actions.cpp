#include "cli/CliRunner.h"
#include "platform/fs/FileManager.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/ActionConfirmDlg.h"
#include "ui/ActionPlan.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/MarkSet.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

namespace {

// What a confirmation showed, kept beyond it.
struct Shown {
    ActionConfirmation confirmation;
    ActionRequest request;
    QStringList acting;  // file names
    QStringList refused; // "name: reason", sorted
};

QString nameOf(const std::string& path)
{
    return QString::fromStdString(path).section(QLatin1Char('/'), -1);
}

class TestActions : public QObject {
    Q_OBJECT

    // The home folder with its trash, the settings and the pictures: one file system.
    QTemporaryDir m_dir;
    QByteArray m_savedHome;
    QByteArray m_savedData;
    QList<Alert> m_alerts;
    QList<Shown> m_shown;
    bool m_agree = true;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::string raw(const QString& name) const { return path(name).toStdString(); }

    // A search for `target` in `folder`, or without one a grouping of the folder.
    static void run(Ovrin& controller, const QString& folder, const QString& target = {},
                    bool anyOrientation = false)
    {
        if (target.isEmpty()) {
            whenShown(controller.groupsDlg(), [&controller, folder, anyOrientation] {
                Ui::GroupsDlg& w = controller.groupsDlg()->widgets();
                w.tfTopDirPath->setText(folder);
                w.rbSelectSearchDirectory->setChecked(true);
                w.cbxBits->setCurrentText(QStringLiteral("2"));
                w.cbxMatchRate->setCurrentText(QStringLiteral("90"));
                w.chkAnyOrientation->setChecked(anyOrientation);
                QTest::mouseClick(w.btnOk, Qt::LeftButton);
            });
        } else {
            confirmSearch(controller, target, folder);
        }
        target.isEmpty() ? controller.menuFindGroupsAction() : controller.menuSearchAction();
        QTRY_COMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin"));
    }

    static void trigger(Ovrin& controller, QAction* action)
    {
        action->trigger();
        QTRY_VERIFY(!controller.isActing());
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Preferences::setStoreFileForTesting(raw(QStringLiteral("settings.ini")));
        m_savedHome = qgetenv("HOME");
        m_savedData = qgetenv("XDG_DATA_HOME");
        QDir folder(m_dir.path());
        for (const char* name : {"home", "photos/sub", "groups"})
            QVERIFY(folder.mkpath(QString::fromUtf8(name)));
        qputenv("HOME", QFile::encodeName(path(QStringLiteral("home"))));
        qunsetenv("XDG_DATA_HOME");
        // Three copies of one photograph, and in the groups three of another and two of a third.
        const char* const names[] = {"photos/a.png",  "photos/a2.png", "photos/sub/a3.png",
                                     "groups/x1.png", "groups/x2.png", "groups/x3.png",
                                     "groups/y1.png", "groups/y2.png"};
        for (quint32 i = 0; i < 8; ++i)
            QVERIFY(test::writeImage(path(QString::fromUtf8(names[i])),
                                     test::photoLike(120, 90,
                                                     i < 3   ? 40
                                                     : i < 6 ? 50
                                                             : 60),
                                     "png"));
    }

    void cleanupTestCase()
    {
        qputenv("HOME", m_savedHome);
        if (m_savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedData);
    }

    void init()
    {
        m_alerts.clear();
        m_shown.clear();
        m_agree = true;
        UiHooks::setAlert([this](QWidget*, const QString& message, const QString& informative) {
            m_alerts << Alert{message, informative};
        });
        UiHooks::setConfirmAction([this](QWidget*, const ActionConfirmation& confirmation) {
            Shown shown{confirmation, *confirmation.request, {}, {}};
            shown.confirmation.request = nullptr;
            for (const auto& entry : confirmation.acting)
                shown.acting << nameOf(entry.path);
            for (const auto& entry : confirmation.refused)
                shown.refused << nameOf(entry.path) + QStringLiteral(": ") + entry.reason;
            shown.acting.sort();
            shown.refused.sort();
            m_shown << shown;
            return m_agree;
        });
    }

    void cleanup()
    {
        UiHooks::setAlert({});
        UiHooks::setConfirmAction({});
        UiHooks::setOpenFolder({});
    }

    void confirmationSaysWhatAndHowMany()
    {
        ActionPlan plan;
        for (const char* name : {"/p/a.png", "/p/b.png", "/p/c.png"})
            plan.request.items.push_back({ExaminedPicture{name, std::nullopt, {}, 8}, 0});
        plan.acting = {{"/p/a.png", 1500}, {"/p/b.png", 2500}};
        plan.totalSize = 4000;
        plan.refused = {{"/p/c.png", ActionRefusal::LastOfGroup, 0, {}, {}}};
        plan.marked = true;
        const ActionConfirmation marked = ActionText::confirmation(plan);
        QCOMPARE(marked.question, QStringLiteral("Move 3 marked pictures to the trash?"));
        QCOMPARE(marked.actingTitle,
                 QStringLiteral("2 pictures, %1 in all:").arg(QLocale().formattedDataSize(4000)));
        QCOMPARE(marked.refusedTitle, QStringLiteral("1 picture is left as it is:"));

        // Enter acts on a move to the trash, Escape cancels.
        const auto answer = [](const ActionConfirmation& confirmation, Qt::Key key) {
            ActionConfirmDlg dialog(confirmation);
            whenShown(&dialog, [&dialog, key] { QTest::keyClick(&dialog, key); });
            return dialog.exec() == QDialog::Accepted;
        };
        QVERIFY(answer(marked, Qt::Key_Return));
        QVERIFY(!answer(marked, Qt::Key_Escape));
        ActionConfirmDlg dialog(marked);
        QCOMPARE(dialog.actingList()->topLevelItemCount(), 2);
        QCOMPARE(dialog.actingList()->topLevelItem(1)->toolTip(0), QStringLiteral("/p/b.png"));
        QCOMPARE(dialog.refusedList()->item(0)->text(),
                 QStringLiteral("c.png — every other remaining copy of its group was asked for "
                                "too, and one must stay"));

        // A hard link gives the picture's name to another: Enter alone does not.
        plan.request.kind = ActionKind::HardLink;
        plan.marked = false;
        const ActionConfirmation linked = ActionText::confirmation(plan);
        QCOMPARE(linked.question,
                 QStringLiteral("Replace 3 selected pictures with hard links to the kept copies?"));
        QVERIFY(!answer(linked, Qt::Key_Return));
    }

    void hitsSpareTheTargetAndProtectedFoldersUntilUndone()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        HitListModel* hits = controller.hits();
        run(controller, path(QStringLiteral("photos")), path(QStringLiteral("photos/a.png")));
        QCOMPARE(hits->rowCount(), 3);
        controller.hitMarks()->setProtectedFolders({raw(QStringLiteral("photos/sub"))});

        // Ctrl+A and Delete: the target and the protected copy stay.
        w.tvResult->selectAll();
        trigger(controller, w.actionMoveToTrash);
        QCOMPARE(m_shown.size(), 1);
        const Shown& all = m_shown[0];
        QCOMPARE(all.confirmation.question,
                 QStringLiteral("Move 3 selected pictures to the trash?"));
        QCOMPARE(all.acting, QStringList{QStringLiteral("a2.png")});
        QCOMPARE(all.refused,
                 (QStringList{QStringLiteral("a.png: it is the search's target, which is only "
                                             "acted on when chosen alone"),
                              QStringLiteral("a3.png: it lies in the protected folder ") +
                                  path(QStringLiteral("photos/sub"))}));
        QCOMPARE(all.request.target, std::optional(raw(QStringLiteral("photos/a.png"))));
        QVERIFY(!all.request.targetNamed);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("photos/a2.png"))));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("photos/a.png"))));
        QVERIFY(QFileInfo::exists(path(QStringLiteral("photos/sub/a3.png"))));
        QCOMPARE(hits->rowCount(), 2);
        QVERIFY2(w.msgSummary->text().startsWith(
                     QStringLiteral("Moved 1 picture to the trash; refused 2: ")),
                 qPrintable(w.msgSummary->text()));
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(
            m_alerts[0].message,
            QStringLiteral("Moved 1 picture to the trash; 2 pictures were left as they were."));

        // Undo brings the file and its row back.
        QCOMPARE(w.actionUndo->text(), QStringLiteral("&Undo Move to Trash"));
        trigger(controller, w.actionUndo);
        QVERIFY(QFileInfo::exists(path(QStringLiteral("photos/a2.png"))));
        QCOMPARE(hits->rowCount(), 3);
        QVERIFY(!w.actionUndo->isEnabled());

        // What came back, stamped anew by its move, can be acted on again.
        for (int row = 0; row < hits->rowCount(); ++row)
            if (hits->path(row) == raw(QStringLiteral("photos/a2.png")))
                w.tvResult->selectRow(row);
        trigger(controller, w.actionMoveToTrash);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("photos/a2.png"))));
        QCOMPARE(hits->rowCount(), 2);

        // The target alone is named as such.
        int target = 0;
        while (!hits->isTarget(target))
            ++target;
        w.tvResult->selectRow(target);
        m_agree = false;
        trigger(controller, w.actionMoveToTrash);
        QCOMPARE(m_shown.last().confirmation.question,
                 QStringLiteral("Move the search's target %1 to the trash?")
                     .arg(path(QStringLiteral("photos/a.png"))));
        QVERIFY(m_shown.last().request.targetNamed);
        QVERIFY(m_shown.last().refused.isEmpty());
        QCOMPARE(hits->rowCount(), 2);
        controller.mainWindow()->close();
    }

    void groupsKeepTheirLastCopyAndChangedFiles()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        GroupTreeModel* groups = controller.groups();
        run(controller, path(QStringLiteral("groups")));
        QCOMPARE(groups->rowCount(), 2);
        QCOMPARE(groups->rowCount(groups->index(0, 0)), 2);
        const std::string reference = groups->path(groups->index(0, 0));
        w.tvGroups->selectionModel()->select(
            groups->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        trigger(controller, w.actionMoveToTrash);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(reference)));
        QCOMPARE(groups->path(groups->index(0, 0)), std::string()); // shown as gone

        // The member of the other group changes after the grouping.
        const std::string changed = groups->path(groups->index(0, 0, groups->index(1, 0)));
        QVERIFY(
            test::writeImage(QString::fromStdString(changed), test::photoLike(120, 90, 60), "png"));
        w.actionSelectMembers->trigger();
        trigger(controller, w.actionMoveToTrash);
        const Shown& members = m_shown.last();
        QCOMPARE(members.confirmation.question,
                 QStringLiteral("Move 3 selected pictures to the trash?"));
        QCOMPARE(members.acting, QStringList{nameOf(changed)});
        const QString last = QStringLiteral(": every other remaining copy of its group was asked "
                                            "for too, and one must stay");
        QCOMPARE(members.refused.size(), 2);
        for (const QString& line : members.refused)
            QVERIFY2(line.endsWith(last), qPrintable(line));
        QVERIFY(members.request.kept[0].empty()); // a gone reference is not kept
        QCOMPARE(members.request.kept[1].size(), std::size_t{1});
        QCOMPARE(groups->rowCount(), 2);
        QCOMPARE(groups->rowCount(groups->index(0, 0)), 2);
        QVERIFY(QFileInfo::exists(QString::fromStdString(changed)));
        QCOMPARE(m_alerts.size(), 1);
        QVERIFY2(m_alerts[0].informative.contains(QString::fromStdString(changed) +
                                                  QStringLiteral(": the file changed since it "
                                                                 "was examined")),
                 qPrintable(m_alerts[0].informative));
        QVERIFY(w.msgSummary->text().startsWith(
            QStringLiteral("Nothing was moved to the trash; refused 3: ")));

        // What did nothing leaves the reference's trash to be undone.
        QCOMPARE(w.actionUndo->text(), QStringLiteral("&Undo Move to Trash"));
        trigger(controller, w.actionUndo);
        QVERIFY(QFileInfo::exists(QString::fromStdString(reference)));
        QCOMPARE(groups->path(groups->index(0, 0)), reference);

        // Hard links to the reference take the members' place, until undone.
        const auto inode = [](const std::string& file) {
            const auto status = platform::FileManager::fileStatus(file);
            return status ? status->identity.inode : 0;
        };
        const std::string member = groups->path(groups->index(1, 0, groups->index(0, 0)));
        w.tvGroups->selectionModel()->select(groups->index(1, 0, groups->index(0, 0)),
                                             QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
        trigger(controller, w.actionHardLink);
        QVERIFY(!m_shown.last().confirmation.enterActs);
        QCOMPARE(m_shown.last().request.kept[0].front().path, reference);
        QCOMPARE(inode(member), inode(reference));
        QCOMPARE(groups->rowCount(groups->index(0, 0)), 1);
        trigger(controller, w.actionUndo);
        QVERIFY(inode(member) != inode(reference));
        QCOMPARE(groups->rowCount(groups->index(0, 0)), 2);
        w.tvGroups->selectionModel()->select(groups->index(1, 0, groups->index(0, 0)),
                                             QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
        trigger(controller, w.actionHardLink);
        QCOMPARE(inode(member), inode(reference));

        // A move keeps paths below the grouped folder.
        UiHooks::setOpenFolder([this](QWidget*, const QString&) {
            return std::optional(path(QStringLiteral("moved")));
        });
        m_agree = false;
        w.tvGroups->setCurrentIndex(groups->index(0, 0, groups->index(1, 0)));
        trigger(controller, w.actionMoveToFolder);
        QCOMPARE(m_shown.last().request.root, raw(QStringLiteral("groups")));
        QCOMPARE(m_shown.last().request.destination, raw(QStringLiteral("moved")));
        controller.mainWindow()->close();
    }

    // Names that can break a line, a field, a JSON string or a terminal: the
    // window's export and `ovrin-cli groups` still give the same bytes, with
    // the orientation where the grouping took any (a turned copy joins then).
    void groupsExportAsTheCommandLineWrites()
    {
        const std::string folder = raw(QStringLiteral("hostile"));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("hostile")));
        QVERIFY(test::writeImage(path(QStringLiteral("hostile/a.png")),
                                 test::photoLike(120, 90, 70), "png"));
        for (const char* name : {"\xff", "c1\xc2\x85", "\xe2\x80\xaegpj", "t\tn\nq\"c,"})
            std::filesystem::copy_file(folder + "/a.png", folder + "/" + name + ".png");
        std::filesystem::create_symlink(folder + "/a.png", folder + "/link\xfe.png");
        QVERIFY(test::writeImage(path(QStringLiteral("hostile/turned.png")),
                                 test::photoLike(120, 90, 70).transformed(QTransform().rotate(90)),
                                 "png"));
        Ovrin controller;
        for (const bool any : {false, true}) {
            run(controller, path(QStringLiteral("hostile")), {}, any);
            for (const char* format : {"csv", "json"}) {
                const QString file = path(QStringLiteral("export.") + QLatin1String(format));
                UiHooks::setSaveFile([&](QWidget*, const QString&, const QString&, const QString&) {
                    return std::optional(file);
                });
                trigger(controller, controller.widgets().actionExportGroups);
                std::FILE* out = std::tmpfile();
                const std::atomic<bool> interrupted{false};
                QCOMPARE(cli::CliRunner(out, out, false)
                             .groups(cli::CommandLine::parse(
                                         {"groups", "--dir", folder, "--bits", "2", "--match-rate",
                                          "90", "--format", format,
                                          any ? "--any-orientation" : "--similarity=normal"})
                                         .options,
                                     interrupted),
                         cli::ExitCode::Ok);
                QByteArray written(static_cast<qsizetype>(std::ftell(out)), '\0');
                std::rewind(out);
                QCOMPARE(std::fread(written.data(), 1, written.size(), out),
                         std::size_t(written.size()));
                std::fclose(out);
                QCOMPARE(contents(file), written);
                QVERIFY(written.contains("link") && written.count("hostile/") == (any ? 7 : 6));
                QCOMPARE(written.contains("orientation"), any);
            }
        }
        UiHooks::setSaveFile({});
        controller.mainWindow()->close();
    }
};

} // namespace

QObject* ovrin::uitest::makeActionsTests()
{
    return new TestActions;
}

#include "tst_actions.moc"
