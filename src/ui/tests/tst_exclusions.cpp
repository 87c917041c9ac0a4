#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/ExclusionsDlg.h"
#include "ui/Ovrin.h"
#include "ui/RunReport.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace ovrin::uitest {

class TestExclusions : public QObject {
    Q_OBJECT

private Q_SLOTS:
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

QObject* makeExclusionsTests()
{
    return new TestExclusions;
}

} // namespace ovrin::uitest

#include "tst_exclusions.moc"
