#include "engine/ReviewFile.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/ContextStrip.h"
#include "ui/GroupTreeModel.h"
#include "ui/MarkSet.h"
#include "ui/Ovrin.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_MainWindow.h"

#include <QTemporaryDir>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

namespace {

class TestReviews : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<Alert> m_alerts;

    std::string raw(const QString& name) const { return m_dir.filePath(name).toStdString(); }

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
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Preferences::setStoreFileForTesting(raw(QStringLiteral("settings.ini")));
        UiHooks::setAlert([this](QWidget*, const QString& message, const QString& informative) {
            m_alerts << Alert{message, informative};
        });
    }
    void cleanupTestCase()
    {
        UiHooks::setOpenFile({});
        UiHooks::setSaveFile({});
        UiHooks::setAlert({});
    }

    // Opened, marked and saved, then opened again after one picture changed:
    // it is left out with its group, and the other marks come back.
    void saveAndOpenAgain()
    {
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

} // namespace

QObject* ovrin::uitest::makeReviewsTests()
{
    return new TestReviews;
}

#include "tst_reviews.moc"
