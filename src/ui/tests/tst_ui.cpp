#include "engine/TGraphicSearch.h"
#include "indexfile/TChunk.h"
#include "platform/Preferences.h"
#include "signature/TFileInfo.h"
#include "support/TestImages.h"
#include "ui/HitListModel.h"
#include "ui/Ovrin.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui_MainWindow.h"
#include "ui_TCreateIndexFileDlg.h"
#include "ui_TSearchDlg.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMainWindow>
#include <QMimeData>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <sys/time.h>
#include <unistd.h>

using namespace ovrin;
using namespace ovrin::ui;

namespace {

struct Alert {
    QString message;
    QString informative;
};

// Receives the URLs the desktop would have opened.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

// Runs `steps` once the dialog is on screen (it runs its own modal loop), and
// rejects it after a while should the steps leave it open.
void whenShown(QDialog* dialog, std::function<void()> steps)
{
    auto* poll = new QTimer(dialog);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, steps = std::move(steps)] {
        if (!dialog->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        steps();
    });
    poll->start();
}

void dropOn(QMainWindow* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    QVERIFY(drop.isAccepted());
}

QByteArray indexHead(int pixelNumber)
{
    QByteArray bytes("OVHD\0\0\x01\0", 8);
    QByteArray data(256, '\0');
    data[1] = 1;
    data[7] = static_cast<char>(pixelNumber);
    return bytes + data;
}

void setModificationTime(const QString& path, time_t when)
{
    const timeval times[2] = {{when, 0}, {when, 0}};
    ::utimes(path.toLocal8Bit().constData(), times);
}

} // namespace

class TestUi : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_store;
    QList<Alert> m_alerts;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString picture(const QString& name, quint32 seed)
    {
        ovrin::test::writeImage(path(name), ovrin::test::photoLike(120, 90, seed), "png");
        return path(name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_store = m_dir.filePath(QStringLiteral("settings.ini"));
        platform::Preferences::setStoreFileForTesting(m_store.toStdString());
        UiHooks::setAlert([this](QWidget*, const QString& message, const QString& informative) {
            m_alerts << Alert{message, informative};
        });
        QDir(m_dir.path()).mkpath(QStringLiteral("tree/sub"));
        for (int i = 0; i < 4; ++i)
            picture(QStringLiteral("tree/p%1.png").arg(i), 40u + static_cast<quint32>(i));
        picture(QStringLiteral("tree/sub/copy.png"), 41); // a copy of p1
    }

    void init() { m_alerts.clear(); }

    void settingsAreSavedOnlyWhenSomethingChanged()
    {
        QFile::remove(m_store);
        platform::Preferences::setStoreFileForTesting(m_store.toStdString());
        {
            Ovrin first; // nothing saved: defaults, written at the close
            QCOMPARE(first.engine().bits(), 3);
            first.mainWindow()->close();
            QVERIFY(first.quited());
        }
        QCOMPARE(QSettings(m_store, QSettings::IniFormat).allKeys().size(), 8);

        setModificationTime(m_store, 1000000000);
        {
            Ovrin unchanged;
            unchanged.engine().setPixelNumber(16); // as an index head would: never saved
            unchanged.mainWindow()->close();
        }
        QCOMPARE(QFileInfo(m_store).lastModified().toSecsSinceEpoch(), 1000000000);

        {
            Ovrin changed;
            changed.engine().setMatchRate(85);
            changed.mainWindow()->close();
            changed.mainWindow()->close(); // a second close runs the shutdown once only
        }
        const QSettings stored(m_store, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("matchRate")).toInt(), 85);
        QCOMPARE(stored.value(QStringLiteral("pixelNumber")).toInt(), 8);
        Ovrin next;
        QCOMPARE(next.engine().matchRate(), 85);
        next.mainWindow()->close();
    }

    void oneDropSetsFolderIndexAndTarget()
    {
        Ovrin controller;
        const QString index = path(QStringLiteral("drop16.ovi"));
        QVERIFY(ovrin::test::writeText(index, indexHead(16)));
        const QString text = path(QStringLiteral("notes.txt"));
        QVERIFY(ovrin::test::writeText(text, "not a picture"));
        dropOn(controller.mainWindow(),
               {QUrl::fromLocalFile(path(QStringLiteral("tree"))), QUrl::fromLocalFile(index),
                QUrl::fromLocalFile(path(QStringLiteral("tree/p0.png"))),
                QUrl::fromLocalFile(path(QStringLiteral("tree/sub"))),
                QUrl::fromLocalFile(path(QStringLiteral("missing.png")))});
        TGraphicSearch& engine = controller.engine();
        QCOMPARE(engine.topDirPath(),
                 std::optional(path(QStringLiteral("tree/sub")).toStdString()));
        QCOMPARE(engine.indexFilePath(), std::optional(index.toStdString()));
        QCOMPARE(engine.pixelNumber(), 16);
        QCOMPARE(engine.target().filePath(),
                 std::optional(path(QStringLiteral("tree/p0.png")).toStdString()));

        dropOn(controller.mainWindow(), {QUrl::fromLocalFile(text)}); // any other file: the target
        QCOMPARE(engine.target().filePath(), std::optional(text.toStdString()));
        controller.mainWindow()->close();
    }

    void searchDialogTestsBeforeItCopies()
    {
        Ovrin controller;
        TSearchDlg* dialog = controller.searchDlg();
        TGraphicSearch& engine = controller.engine();
        Ui::TSearchDlg& w = dialog->widgets();
        engine.setSearchMethod(7);
        dialog->setup(&engine);
        QVERIFY(!w.rbSelectSearchDirectory->isChecked() && !w.rbSelectSearchIndexFile->isChecked());

        // an unreadable target: the alert names it as it is, the dialog stays open
        const QString odd = path(QStringLiteral("100% %s %d.png"));
        QVERIFY(ovrin::test::writeText(odd, "no picture"));
        whenShown(dialog, [&] {
            w.tfTargetFilePath->setText(odd);
            w.tfTopDirPath->setText(path(QStringLiteral("tree")));
            w.rbSelectSearchDirectory->setChecked(true);
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            QVERIFY(dialog->isVisible());
            dialog->close(); // the close control counts as cancel
        });
        QVERIFY(!dialog->doModal());
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].message, QStringLiteral("File load error."));
        QCOMPARE(m_alerts[0].informative, odd);
        QVERIFY(engine.target().filePath() != std::optional(odd.toStdString()));

        // the index method tests the index file, and a good one brings its pixel number
        const QString index = path(QStringLiteral("dlg12.ovi"));
        QVERIFY(ovrin::test::writeText(index, indexHead(12)));
        whenShown(dialog, [&] {
            w.tfTargetFilePath->setText(path(QStringLiteral("tree/p1.png")));
            w.rbSelectSearchIndexFile->setChecked(true);
            w.tfIndexFilePath->setText(odd);
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            QCOMPARE(m_alerts.size(), 2);
            QCOMPARE(m_alerts[1].informative, odd);
            w.tfIndexFilePath->setText(index);
            w.tfTopDirPath->clear(); // copied even empty
            w.cbxBits->setCurrentText(QStringLiteral("2 bits"));
            w.cbxMatchRate->setCurrentText(QStringLiteral("many"));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
        });
        QVERIFY(dialog->doModal());
        QCOMPARE(engine.searchMethod(), 1);
        QCOMPARE(engine.pixelNumber(), 12);
        QCOMPARE(engine.indexFilePath(), std::optional(index.toStdString()));
        QCOMPARE(engine.topDirPath(), std::optional(std::string()));
        QCOMPARE(engine.bits(), 2);
        QCOMPARE(engine.matchRate(), 0);
        QCOMPARE(TSearchDlg::intValue(QStringLiteral("  -42abc")), -42);
        QCOMPARE(TSearchDlg::intValue(QStringLiteral("99999999999")), 2147483647);
        controller.mainWindow()->close();
    }

    void browsePanelsStartFromTheFields()
    {
        Ovrin controller;
        QStringList asked;
        UiHooks::setOpenFile([&](QWidget*, const QString& folder, const QString& name) {
            asked << folder << name;
            return std::optional<QString>();
        });
        UiHooks::setSaveFile([&](QWidget*, const QString& folder, const QString& name) {
            asked << folder << name;
            return std::optional<QString>(QStringLiteral("/chosen/new.ovi"));
        });
        TSearchDlg* search = controller.searchDlg();
        search->widgets().tfIndexFilePath->clear();
        search->widgets().tfTargetFilePath->setText(path(QStringLiteral("tree/p2.png")));
        search->indexFilePathRefAction();
        search->targetFilePathRefAction();
        QCOMPARE(asked, (QStringList{QString(), QStringLiteral("index.ovi"),
                                     path(QStringLiteral("tree")), QStringLiteral("p2.png")}));
        QCOMPARE(search->widgets().tfTargetFilePath->text(), path(QStringLiteral("tree/p2.png")));

        TCreateIndexFileDlg* create = controller.createIndexFileDlg();
        create->widgets().tfIndexFilePath->clear();
        create->indexFilePathRefAction();
        QCOMPARE(asked.mid(4), (QStringList{QString(), QStringLiteral("index.ovi")}));
        QCOMPARE(create->widgets().tfIndexFilePath->text(), QStringLiteral("/chosen/new.ovi"));
        UiHooks::setOpenFile({});
        UiHooks::setSaveFile({});
        controller.mainWindow()->close();
    }

    void createIndexDialogCopiesOnlyThePaths()
    {
        Ovrin controller;
        TCreateIndexFileDlg* dialog = controller.createIndexFileDlg();
        TGraphicSearch& engine = controller.engine();
        engine.setBits(4);
        const auto before = engine.indexFilePath();
        dialog->setup(&engine);
        whenShown(dialog, [&] {
            dialog->widgets().tfTopDirPath->setText(QStringLiteral("/somewhere"));
            dialog->widgets().tfIndexFilePath->setText(QStringLiteral("/somewhere.ovi"));
            QTest::mouseClick(dialog->widgets().btnCancel, Qt::LeftButton);
        });
        QVERIFY(!dialog->doModal());
        QCOMPARE(engine.indexFilePath(), before);
        whenShown(dialog, [&] {
            dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
            dialog->widgets().tfIndexFilePath->clear();
            QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton); // empty: nothing
            QVERIFY(dialog->isVisible());
            dialog->widgets().tfIndexFilePath->setText(QStringLiteral("typed by hand.ovi"));
            QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
        });
        QVERIFY(dialog->doModal());
        QCOMPARE(engine.indexFilePath(), std::optional<std::string>("typed by hand.ovi"));
        QCOMPARE(engine.topDirPath(), std::optional(path(QStringLiteral("tree")).toStdString()));
        QCOMPARE(engine.bits(), 4);
        controller.mainWindow()->close();
    }

    void searchRunFillsTheTableAndTheButtonFollows()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        TSearchDlg* dialog = controller.searchDlg();
        QCOMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        const auto confirmSearch = [&] {
            whenShown(dialog, [&] {
                dialog->widgets().tfTargetFilePath->setText(path(QStringLiteral("tree/p1.png")));
                dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
                dialog->widgets().rbSelectSearchDirectory->setChecked(true);
                dialog->widgets().cbxBits->setCurrentText(QStringLiteral("3"));
                dialog->widgets().cbxMatchRate->setCurrentText(QStringLiteral("70"));
                QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
            });
        };
        confirmSearch();
        QTest::mouseClick(w.btnSearch, Qt::LeftButton);
        QCOMPARE(w.btnSearch->text(), Ovrin::stopTitle());
        QTRY_COMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        QVERIFY(!controller.engine().isWorking());
        HitListModel* hits = controller.hits();
        QCOMPARE(hits->rowCount(), 2); // p1 and its copy
        QCOMPARE(hits->headerData(0, Qt::Horizontal, HitListModel::kIdentifierRole).toString(),
                 QStringLiteral("MATCHRATE"));
        QCOMPARE(hits->objectValue(QStringLiteral("MATCHRATE"), 0).toInt(), 100);
        QVERIFY(hits->objectValue(QStringLiteral("FILEPATH"), 1)
                    .toString()
                    .endsWith(QStringLiteral(".png")));
        QVERIFY(!hits->objectValue(QStringLiteral("OTHER"), 0).isValid());
        QVERIFY(!hits->objectValue(QStringLiteral("FILEPATH"), 2).isValid());
        QVERIFY(!(hits->flags(hits->index(0, 1)) & Qt::ItemIsEditable));
        QVERIFY(w.msgCurrentFilePath->text().isEmpty());

        // a start the engine refuses puts the title straight back
        controller.engine().setPixelNumber(0);
        confirmSearch();
        controller.menuSearchAction();
        QCOMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        QCOMPARE(hits->rowCount(), 0); // a confirmed search clears the table first

        // the selected hit opens through the desktop; no selection opens nothing
        controller.engine().setPixelNumber(8);
        confirmSearch();
        controller.menuSearchAction();
        QTRY_COMPARE(hits->rowCount(), 2);
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
        w.tvResult->clearSelection();
        controller.doubleClickTvResultAction();
        QVERIFY(catcher.opened.isEmpty());
        controller.mainWindow()->show();
        QVERIFY(QTest::qWaitForWindowExposed(controller.mainWindow()));
        const QPoint cell = w.tvResult->visualRect(hits->index(1, 1)).center();
        QTest::mouseClick(w.tvResult->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(w.tvResult->viewport(), Qt::LeftButton, {}, cell);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(
                                     hits->objectValue(QStringLiteral("FILEPATH"), 1).toString())});
        QTRY_VERIFY(!controller.engine().isWorking());
        controller.mainWindow()->close();
    }

    void failedIndexCreationIsShownOnce()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        controller.hits()->append(std::make_shared<TFileInfo>(std::string("/kept.png")));
        TCreateIndexFileDlg* dialog = controller.createIndexFileDlg();
        const auto create = [&](const QString& index) {
            whenShown(dialog, [&, index] {
                dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
                dialog->widgets().tfIndexFilePath->setText(index);
                QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
            });
            controller.menuCreateIndexFileAction();
            QTRY_COMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        };
        create(path(QStringLiteral("no/such/folder/index.ovi")));
        QCOMPARE(m_alerts.size(), 1);
        QVERIFY(m_alerts[0].informative.contains(QStringLiteral("no/such/folder/index.ovi")));
        create(path(QStringLiteral("made.ovi")));
        QCOMPARE(m_alerts.size(), 1);
        QVERIFY(controller.engine().checkIndexFile(path(QStringLiteral("made.ovi")).toStdString()));
        QCOMPARE(controller.hits()->rowCount(), 1); // an index creation leaves the table alone
        controller.mainWindow()->close();
    }

    void closingDuringARunStopsAndSaves()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("many"));
        const QByteArray source = path(QStringLiteral("tree/p0.png")).toLocal8Bit();
        for (int i = 0; i < 3000; ++i)
            ::link(source.constData(),
                   path(QStringLiteral("many/c%1.png").arg(i)).toLocal8Bit().constData());
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        engine.target().setFilePath(path(QStringLiteral("tree/p0.png")).toStdString());
        engine.setTopDirPath(path(QStringLiteral("many")).toStdString());
        engine.setSearchMethod(0);
        engine.setMatchRate(71);
        QVERIFY(engine.beginSearch());
        QTRY_VERIFY(controller.hits()->rowCount() > 0);
        controller.mainWindow()->close();
        QVERIFY(controller.quited());
        QVERIFY(!engine.isWorking());
        QCOMPARE(
            QSettings(m_store, QSettings::IniFormat).value(QStringLiteral("matchRate")).toInt(),
            71);
    }

    void titlesFollowTheLocale()
    {
        const auto german = Ovrin::loadTranslation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        QCoreApplication::installTranslator(german.get());
        QCOMPARE(Ovrin::searchTitle(), QStringLiteral("Suchen"));
        QCOMPARE(Ovrin::stopTitle(), QStringLiteral("Stopp"));
        QCoreApplication::removeTranslator(german.get());
        QCOMPARE(Ovrin::searchTitle(), QStringLiteral("Search"));
        QVERIFY(!Ovrin::loadTranslation(QLocale(QLocale::Japanese)));
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
