#include "engine/TGraphicSearch.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/CompareView.h"
#include "ui/HitListModel.h"
#include "ui/Ovrin.h"
#include "ui/PictureLoader.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_MainWindow.h"

#include <QGraphicsView>
#include <QScrollBar>
#include <QTemporaryDir>

#include <cmath>

using namespace ovrin;
using namespace ovrin::ui;
using namespace ovrin::uitest;

namespace {

// Where the middle of a side's view lies, as a share of its picture's size.
QPointF middleOf(const QGraphicsView* view)
{
    const QPointF centre =
        view->viewportTransform().inverted().map(QRectF(view->viewport()->rect()).center());
    return {centre.x() / view->sceneRect().width(), centre.y() / view->sceneRect().height()};
}

} // namespace

class TestCompare : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    std::string file(const QString& name) const { return m_dir.filePath(name).toStdString(); }

    // A view of 800×600 and 400×300 copies of one picture.
    void openPair(CompareView& view)
    {
        view.resize(700, 500);
        view.show();
        view.showPair(CompareView::Mode::Groups,
                      {file(QStringLiteral("big.png")), QStringLiteral("big.png"), {}},
                      {file(QStringLiteral("small.png")), QStringLiteral("small.png"), {}});
        QTRY_VERIFY(view.hasPicture(CompareView::ReferenceSide) &&
                    view.hasPicture(CompareView::MemberSide));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Preferences::setStoreFileForTesting(file(QStringLiteral("settings.ini")));
        const QImage picture = test::photoLike(800, 600, 5);
        QVERIFY(test::writeImage(m_dir.filePath(QStringLiteral("big.png")), picture, "png"));
        QVERIFY(test::writeImage(m_dir.filePath(QStringLiteral("small.png")),
                                 picture.scaled(400, 300), "png"));
    }

    void zoomIsSharedAndStepsThroughOneToOne_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<double>("zoom");
        QTest::newRow("1:1") << QStringLiteral("1") << 1.0;
        QTest::newRow("in") << QStringLiteral("1+") << std::sqrt(2.0);
        QTest::newRow("in twice") << QStringLiteral("1++") << 2.0;
        QTest::newRow("out") << QStringLiteral("1-") << std::sqrt(0.5);
        QTest::newRow("back") << QStringLiteral("1+-") << 1.0;
    }

    void zoomIsSharedAndStepsThroughOneToOne()
    {
        QFETCH(QString, steps);
        QFETCH(double, zoom);
        CompareView view;
        openPair(view);
        for (const QChar step : steps) {
            if (step == QLatin1Char('1'))
                view.actualSize();
            else
                step == QLatin1Char('+') ? view.zoomIn() : view.zoomOut();
        }
        QVERIFY(std::abs(view.zoom() - zoom) < 1e-9);
        QVERIFY(!view.fitting());
        for (const auto side : {CompareView::ReferenceSide, CompareView::MemberSide})
            QCOMPARE(view.view(side)->transform().m11(), zoom);
    }

    void fitShowsBothAtTheZoomTheLargerNeeds()
    {
        CompareView view;
        openPair(view);
        QVERIFY(view.fitting());
        const QSize room = view.view(CompareView::ReferenceSide)->maximumViewportSize();
        QVERIFY(std::abs(view.zoom() - std::min(room.width() / 800.0, room.height() / 600.0)) <
                1e-9);
        QCOMPARE(view.view(CompareView::MemberSide)->transform(),
                 view.view(CompareView::ReferenceSide)->transform());
        view.actualSize();
        view.fit();
        QVERIFY(view.fitting() && view.zoom() < 1);
    }

    void panningEitherSideMovesTheOther()
    {
        CompareView view;
        openPair(view);
        view.actualSize();
        view.zoomIn(); // both larger than their sides
        QGraphicsView* big = view.view(CompareView::ReferenceSide);
        QGraphicsView* small = view.view(CompareView::MemberSide);
        big->horizontalScrollBar()->setValue(big->horizontalScrollBar()->maximum() / 4);
        small->verticalScrollBar()->setValue(small->verticalScrollBar()->maximum());
        const QPointF there = middleOf(big);
        QVERIFY(there.x() < 0.4 && there.y() > 0.55);
        // Within a pixel of the smaller copy at this zoom.
        QVERIFY(std::abs(middleOf(small).x() - there.x()) < 1.0 / 400 / 2 * 1.5);
        QVERIFY(std::abs(middleOf(small).y() - there.y()) < 1.0 / 300 / 2 * 1.5);
    }

    void aPictureThatCannotBeShownSaysWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QByteArray bmp;
        {
            QFile source(m_dir.filePath(QStringLiteral("seed.bmp")));
            QVERIFY(test::writeImage(source.fileName(), test::solid(4, 4, Qt::red), "bmp"));
            QVERIFY(source.open(QIODevice::ReadOnly));
            bmp = source.readAll();
            const qint32 huge = 16000; // 256 megapixels claimed by a file of a few bytes
            bmp.replace(18, 4, reinterpret_cast<const char*>(&huge), 4);
            bmp.replace(22, 4, reinterpret_cast<const char*>(&huge), 4);
        }
        QTest::newRow("damaged") << QByteArray("\x89PNG\r\n\x1a\n garbage")
                                 << QStringLiteral("Cannot show it: Not a picture Ovrin can read.");
        QTest::newRow("too large")
            << bmp
            << QStringLiteral("Cannot show it: Too large to decode within the "
                              "memory budget.");
        QTest::newRow("gone") << QByteArray() << QStringLiteral("This file no longer exists.");
    }

    void aPictureThatCannotBeShownSaysWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const QString path = m_dir.filePath(QStringLiteral("bad"));
        QFile::remove(path);
        if (!bytes.isEmpty())
            QVERIFY(test::writeText(path, bytes));
        CompareView view;
        view.show();
        view.showPair(CompareView::Mode::Hits,
                      {file(QStringLiteral("big.png")), QStringLiteral("big.png"), {}},
                      {path.toStdString(), QStringLiteral("bad"), {}});
        QTRY_COMPARE(view.messageText(CompareView::MemberSide), message);
        QTRY_VERIFY(view.hasPicture(CompareView::ReferenceSide));
    }

    void theWholePictureIsHeldToTheFullBudget()
    {
        // A JPEG's header claiming 7000 × 6000: decoded whole it would need 168 MB.
        QByteArray jpeg;
        {
            const QString seed = m_dir.filePath(QStringLiteral("seed.jpg"));
            QVERIFY(test::writeImage(seed, test::photoLike(64, 48, 3), "jpeg"));
            jpeg = contents(seed);
        }
        const qsizetype frame = jpeg.indexOf("\xff\xc0");
        QVERIFY(frame > 0);
        jpeg.replace(frame + 5, 4, QByteArray("\x17\x70\x1b\x58", 4));
        const QString path = m_dir.filePath(QStringLiteral("huge.jpg"));
        QVERIFY(test::writeText(path, jpeg));
        QCOMPARE(PictureLoader::load(path.toStdString(), QSize()).failure,
                 platform::LoadFailure::TooLarge);
        QCOMPARE(PictureLoader::load(path.toStdString(), QSize()).pixelSize, QSize(7000, 6000));
    }

    void compareFollowsTheSelectionAndTakesTheWindowsKeys()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        dropOn(controller.mainWindow(),
               {QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("big.png")))});
        QTRY_COMPARE(controller.engine().target().filePath(),
                     std::optional(file(QStringLiteral("big.png"))));
        controller.hits()->append(hitOf(file(QStringLiteral("small.png")), 90, {}));
        controller.hits()->append(hitOf(file(QStringLiteral("gone.png")), 80, {}));
        w.tvResult->selectRow(0);
        w.actionCompare->trigger();
        CompareView* view = controller.compareView();
        QVERIFY(view && view->isVisible());
        QTRY_VERIFY(view->captionText(CompareView::MemberSide)
                        .contains(QStringLiteral("Against the target:")));
        QVERIFY(view->captionText(CompareView::ReferenceSide)
                    .startsWith(QStringLiteral("big.png\n800 × 600")));
        QVERIFY(view->captionText(CompareView::MemberSide)
                    .startsWith(QStringLiteral("small.png\n400 × 300")));
        w.tvResult->selectRow(1);
        QTRY_COMPARE(view->messageText(CompareView::MemberSide),
                     QStringLiteral("This file no longer exists."));
        // The main window's commands reach it, but not on its own keys.
        QVERIFY(view->actions().contains(w.actionMoveToTrash));
        QVERIFY(!view->actions().contains(w.actionStop));
        // Its own keys, from the keyboard alone.
        QVERIFY(QTest::qWaitForWindowActive(view));
        QTest::keyClick(view->view(CompareView::ReferenceSide), Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(view->zoom(), 1.0);
        QList<QUrl> opened;
        UiHooks::setOpenUrl(
            [&](QWidget*, const QUrl& url, const UiHooks::Failed&) { opened << url; });
        UiHooks::setAlert([](QWidget*, const QString&, const QString&) {});
        w.tvResult->selectRow(0);
        QTest::keyClick(view->view(CompareView::ReferenceSide), Qt::Key_O, Qt::ControlModifier);
        UiHooks::setOpenUrl({});
        UiHooks::setAlert({});
        QVERIFY(opened.contains(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("small.png")))));
        QTest::keyClick(view->view(CompareView::ReferenceSide), Qt::Key_Escape);
        QVERIFY(!view->isVisible());
        controller.mainWindow()->close();
    }
};

QObject* ovrin::uitest::makeCompareTests()
{
    return new TestCompare;
}

#include "tst_compare.moc"
