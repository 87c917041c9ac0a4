#include "engine/RunContext.h"
#include "platform/fs/FileHandle.h"
#include "settings/Preferences.h"
#include "support/TestImages.h"
#include "ui/CompareView.h"
#include "ui/ContextStrip.h"
#include "ui/GroupExport.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/PictureLoader.h"
#include "ui/PreviewPane.h"
#include "ui/RunBridge.h"
#include "ui/RunReport.h"
#include "ui/TCreateIndexFileDlg.h"
#include "ui/TargetCheck.h"
#include "ui/UiHooks.h"
#include "ui/tests/UiTestSupport.h"
#include "ui_GroupsDlg.h"
#include "ui_MainWindow.h"
#include "ui_TCreateIndexFileDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGraphicsView>
#include <QIcon>
#include <QListWidget>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>

#include <cmath>
#include <sys/time.h>
#include <unistd.h>

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

class TestUi : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_store;
    QList<Alert> m_alerts;

    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::string raw(const QString& name) const { return path(name).toStdString(); }

    // The grouping's choices as the groups dialog shows them when opened:
    // "similarity keep folder|folder".
    QString groupChoicesShown(Ovrin& controller)
    {
        QString shown;
        GroupsDlg* dialog = controller.groupsDlg();
        whenShown(dialog, [&] {
            Ui::GroupsDlg& w = dialog->widgets();
            QStringList folders;
            for (int row = 0; row < w.lstPreferred->count(); ++row)
                folders << QString::fromUtf8(
                    w.lstPreferred->item(row)->data(Qt::UserRole).toByteArray());
            shown = QStringLiteral("%1 %2 %3")
                        .arg(QLatin1String(similarityName(
                                 static_cast<Similarity>(w.cbxSimilarity->currentData().toInt()))),
                             QLatin1String(keepRuleName(
                                 static_cast<KeepRule>(w.cbxKeep->currentData().toInt()))),
                             folders.join(QLatin1Char('|')));
            QTest::mouseClick(w.btnCancel, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        return shown;
    }

    // A view of 800×600 and 400×300 copies of one picture.
    void openPair(CompareView& view)
    {
        view.resize(700, 500);
        view.show();
        view.showPair(CompareView::Mode::Groups,
                      {raw(QStringLiteral("big.png")), QStringLiteral("big.png"), {}, {}, {}},
                      {raw(QStringLiteral("small.png")), QStringLiteral("small.png"), {}, {}, {}});
        QTRY_VERIFY(view.hasPicture(CompareView::ReferenceSide) &&
                    view.hasPicture(CompareView::MemberSide));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_store = m_dir.filePath(QStringLiteral("settings.ini"));
        Preferences::setStoreFileForTesting(m_store.toStdString());
        QDir(m_dir.path()).mkpath(QStringLiteral("tree/sub"));
        for (int i = 0; i < 4; ++i)
            test::writeImage(path(QStringLiteral("tree/p%1.png").arg(i)),
                             test::photoLike(120, 90, 40u + static_cast<quint32>(i)), "png");
        test::writeImage(path(QStringLiteral("tree/sub/copy.png")), test::photoLike(120, 90, 41),
                         "png");
        QVERIFY(test::writeText(path(QStringLiteral("notes.txt")), "not a picture"));
        const QImage picture = test::photoLike(800, 600, 5);
        QVERIFY(test::writeImage(m_dir.filePath(QStringLiteral("big.png")), picture, "png"));
        QVERIFY(test::writeImage(m_dir.filePath(QStringLiteral("small.png")),
                                 picture.scaled(400, 300), "png"));
    }

    void init()
    {
        m_alerts.clear();
        UiHooks::setAlert([this](QWidget*, const QString& message, const QString& informative) {
            m_alerts << Alert{message, informative};
        });
        UiHooks::setConfirm(
            [](QWidget*, const QString&, const QString&, const QString&) { return true; });
    }

    void cleanup()
    {
        UiHooks::setConfirm({});
        UiHooks::setPreflight({});
        UiHooks::setOpenUrl({});
        UiHooks::setSaveFile({});
        UiHooks::setOpenFile({});
        UiHooks::setOpenFolder({});
    }

    void settingsAreSavedOnlyWhenSomethingChanged()
    {
        QFile::remove(m_store);
        Preferences::setStoreFileForTesting(m_store.toStdString());
        {
            Ovrin first; // nothing saved: defaults and the window, written at the close
            first.mainWindow()->close();
            QVERIFY(first.quited());
        }
        const QStringList keys = QSettings(m_store, QSettings::IniFormat).allKeys();
        QVERIFY(keys.contains(QLatin1String("version")) &&
                keys.contains(QLatin1String("Window/geometry")));

        const timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimes(m_store.toLocal8Bit().constData(), old);
        {
            Ovrin unchanged;
            unchanged.engine().setPixelNumber(16); // as an index head would: never saved
            unchanged.mainWindow()->close();
        }
        QCOMPARE(QFileInfo(m_store).lastModified().toSecsSinceEpoch(), 1000000000);

        {
            Ovrin changed;
            changed.engine().setMatchRate(85);
            // A run the engine refuses to start leaves the remembered paths alone.
            changed.engine().setThreadStarter([](const std::function<void()>&) { return false; });
            TCreateIndexFileDlg* dialog = changed.createIndexFileDlg();
            whenShown(dialog, [&] {
                dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
                dialog->widgets().tfIndexFilePath->setText(path(QStringLiteral("refused.ovi")));
                QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
            });
            changed.menuCreateIndexFileAction();
            QVERIFY(
                changed.widgets().msgSummary->text().startsWith(QStringLiteral("Not started.")));
            changed.mainWindow()->close();
            changed.mainWindow()->close(); // a second close runs the shutdown once only
        }
        const QSettings stored(m_store, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("matchRate")).toInt(), 85);
        QCOMPARE(stored.value(QStringLiteral("pixelNumber")).toInt(), 8);
        QCOMPARE(stored.value(QStringLiteral("indexFilePath")).toString(), QString());
    }

    void dropsAndArgumentsTakeFoldersIndexesAndPictures()
    {
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        const QString index = path(QStringLiteral("drop16.ovi"));
        QVERIFY(test::writeText(index, indexHead(16)));
        engine.setSearchMethod(SearchMethod::Directory);
        dropOn(controller.mainWindow(),
               {QUrl::fromLocalFile(path(QStringLiteral("tree"))), QUrl::fromLocalFile(index),
                QUrl::fromLocalFile(path(QStringLiteral("tree/p0.png"))),
                QUrl::fromLocalFile(path(QStringLiteral("tree/sub"))),
                QUrl::fromLocalFile(path(QStringLiteral("missing.png")))});
        QCOMPARE(engine.topDirPath(), std::optional(raw(QStringLiteral("tree/sub"))));
        QCOMPARE(engine.indexFilePath(), std::optional(index.toStdString()));
        QCOMPARE(engine.pixelNumber(), 16);
        QCOMPARE(engine.searchMethod(), SearchMethod::IndexFile);
        QTRY_COMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p0.png"))));
        const QString feedback = controller.widgets().contextStrip->feedbackText();
        QVERIFY2(feedback.contains(QStringLiteral("p0.png")) &&
                     feedback.contains(QStringLiteral("missing.png (No such file.)")),
                 qPrintable(feedback));

        // A file that is neither a picture nor an index is refused, not taken as the target.
        dropOn(controller.mainWindow(), {QUrl::fromLocalFile(path(QStringLiteral("notes.txt")))});
        QCOMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p0.png"))));
        QVERIFY(controller.widgets().contextStrip->feedbackText().contains(
            QStringLiteral("notes.txt (Not a picture Ovrin can read.)")));

        // Arguments: relative to the working folder, file URLs, names that are not UTF-8.
        const std::string odd = m_dir.path().toStdString() + "/\xe9t\xe9.png";
        QVERIFY(::link(raw(QStringLiteral("tree/p2.png")).c_str(), odd.c_str()) == 0);
        controller.openArguments({"tree", "file://" + m_dir.path().toStdString() + "/%E9t%E9.png"},
                                 m_dir.path().toStdString());
        QCOMPARE(engine.topDirPath(), std::optional(raw(QStringLiteral("tree"))));
        QCOMPARE(engine.searchMethod(), SearchMethod::Directory);
        QTRY_COMPARE(engine.target().filePath(), std::optional(odd));
        controller.openArguments({odd}, "/elsewhere");
        QCOMPARE(engine.target().filePath(), std::optional(odd));
        // A hit of that name opens the very same bytes.
        QList<QUrl> opened;
        UiHooks::setOpenUrl(
            [&](QWidget*, const QUrl& url, const UiHooks::Failed&) { opened << url; });
        controller.hits()->append(hitOf(odd, 90, {}));
        controller.widgets().tvResult->selectRow(0);
        controller.menuOpenGraphicFileAction();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromEncoded("file://" + QFile::encodeName(m_dir.path()) +
                                                       "/%E9t%E9.png")});
        ::unlink(odd.c_str());
        controller.mainWindow()->close();
    }

    void pastesAndDropsOfDataTakeAPictureOrFiles_data()
    {
        QTest::addColumn<QString>("offer");
        QTest::addColumn<bool>("drop");
        // "kept": the offered bytes themselves; "encoded": a PNG made of the
        // offered picture; a name: that file; empty: the target unchanged.
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("alert");
        const auto row = [](const char* name, const char* offer, bool drop, const char* taken,
                            const char* alert) {
            QTest::newRow(name) << QString::fromLatin1(offer) << drop << QString::fromLatin1(taken)
                                << QString::fromLatin1(alert);
        };
        const char* none = "The clipboard holds no picture.";
        row("PNG bytes", "png", false, "kept", "");
        row("picture only", "image", false, "encoded", "");
        row("file URL", "url", false, "tree/p2.png", "");
        row("path as text", "path", false, "tree/p2.png", "");
        row("text", "text", false, "", none);
        row("web address", "web", false, "", none);
        row("damaged PNG", "damaged", false, "", "The pasted picture cannot be read.");
        row("drop of PNG bytes", "png", true, "kept", "");
        row("drop of a web address", "web", true, "", "");
    }

    void pastesAndDropsOfDataTakeAPictureOrFiles()
    {
        QFETCH(QString, offer);
        QFETCH(bool, drop);
        QFETCH(QString, taken);
        QFETCH(QString, alert);
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        engine.target().setFilePath(raw(QStringLiteral("tree/p3.png")));
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        QVERIFY(!controller.widgets().actionPasteTarget->isEnabled());
        const QImage picture = test::photoLike(120, 90, 41);
        const QByteArray png = contents(path(QStringLiteral("tree/sub/copy.png")));
        auto data = std::make_unique<QMimeData>();
        if (offer == QLatin1String("png") || offer == QLatin1String("damaged"))
            data->setData(QStringLiteral("image/png"),
                          offer == QLatin1String("png") ? png : png.left(60));
        else if (offer == QLatin1String("image"))
            data->setImageData(picture);
        else if (offer == QLatin1String("url"))
            data->setUrls({QUrl::fromLocalFile(path(QStringLiteral("tree/p2.png")))});
        else if (offer == QLatin1String("path"))
            data->setText(path(QStringLiteral("tree/p2.png")));
        else if (offer == QLatin1String("web"))
            data->setUrls({QUrl(QStringLiteral("https://example.org/cat.png"))});
        else
            data->setText(QStringLiteral("a cat"));
        if (drop) {
            dropOn(controller.mainWindow(), *data);
        } else {
            clipboard->setMimeData(data.release());
            QVERIFY(controller.widgets().actionPasteTarget->isEnabled());
            controller.menuPasteTargetAction();
        }
        QTRY_VERIFY(!controller.isCheckingTarget());
        const auto held = engine.targetPicture();
        const QString strip = controller.widgets().contextStrip->contextText();
        if (taken == QLatin1String("kept") || taken == QLatin1String("encoded")) {
            QVERIFY(held);
            const QByteArray bytes(reinterpret_cast<const char*>(held->data()),
                                   static_cast<qsizetype>(held->size()));
            QVERIFY(taken == QLatin1String("kept") ? bytes == png
                                                   : bytes.startsWith("\x89PNG") && bytes != png);
            QCOMPARE(engine.target().filePath(), std::optional(std::string()));
            QVERIFY2(strip.contains(QStringLiteral("(pasted picture), 120 × 90 pixels")),
                     qPrintable(strip));
        } else {
            QVERIFY(!held);
            QCOMPARE(engine.target().filePath(),
                     std::optional(raw(taken.isEmpty() ? QStringLiteral("tree/p3.png") : taken)));
        }
        QCOMPARE(m_alerts.isEmpty() ? QString() : m_alerts.front().message, alert);
        if (offer == QLatin1String("web"))
            QVERIFY((drop ? controller.widgets().contextStrip->feedbackText()
                          : m_alerts.front().informative)
                        .contains(QStringLiteral("on the web")));
        controller.mainWindow()->close();
    }

    // The search reads the pasted picture from memory; the settings say it
    // was pasted, and the next start shows no target and no error.
    void aPastedTargetIsSearchedAndNotKept()
    {
        QFile::remove(m_store);
        Preferences::setStoreFileForTesting(m_store.toStdString());
        const auto pasteAndSearch = [this](Ovrin& controller, const QString& chosen) {
            auto* data = new QMimeData;
            data->setData(QStringLiteral("image/png"),
                          contents(path(QStringLiteral("tree/sub/copy.png"))));
            QGuiApplication::clipboard()->setMimeData(data);
            controller.menuPasteTargetAction();
            QTRY_VERIFY(controller.engine().holdsTargetPicture());
            TSearchDlg* dialog = controller.searchDlg();
            QString shown;
            UiHooks::setOpenFile([chosen](QWidget*, const QString&, const QString&,
                                          const QString&) { return std::optional(chosen); });
            whenShown(dialog, [&] {
                Ui::TSearchDlg& w = dialog->widgets();
                shown = w.tfTargetFilePath->text();
                if (!chosen.isEmpty())
                    QTest::mouseClick(w.btnTargetFilePathRef, Qt::LeftButton);
                w.tfTopDirPath->setText(path(QStringLiteral("tree")));
                w.rbSelectSearchDirectory->setChecked(true);
                QTest::mouseClick(w.btnOk, Qt::LeftButton);
            });
            controller.menuSearchAction();
            QCOMPARE(shown, QStringLiteral("(pasted picture)"));
            QTRY_VERIFY(!controller.widgets().msgSummary->isHidden());
        };
        {
            Ovrin controller;
            pasteAndSearch(controller, {});
            // p1 and its copy, neither of them the target.
            QCOMPARE(controller.hits()->rowCount(), 2);
            QVERIFY(!controller.hits()->isTarget(0) && !controller.hits()->isTarget(1));
            QVERIFY(controller.widgets().contextStrip->contextText().contains(
                QStringLiteral("(pasted picture)")));
            controller.mainWindow()->close();
        }
        {
            const QSettings stored(m_store, QSettings::IniFormat);
            QCOMPARE(stored.value(QStringLiteral("targetPasted")).toInt(), 1);
            QCOMPARE(stored.value(QStringLiteral("targetFilePath")).toString(), QString());
        }
        {
            Ovrin controller;
            QVERIFY(!controller.engine().holdsTargetPicture());
            QVERIFY(controller.widgets().contextStrip->contextText().startsWith(
                QStringLiteral("Target: —")));
            QVERIFY(controller.widgets().contextStrip->feedbackText().contains(
                QStringLiteral("pasted picture")));
            // A file chosen in the dialog replaces the pasted picture.
            pasteAndSearch(controller, path(QStringLiteral("tree/p2.png")));
            QVERIFY(!controller.engine().holdsTargetPicture());
            QCOMPARE(controller.engine().target().filePath(),
                     std::optional(raw(QStringLiteral("tree/p2.png"))));
            controller.mainWindow()->close();
        }
        const QSettings stored(m_store, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("targetPasted")).toInt(), 0);
        QCOMPARE(stored.value(QStringLiteral("targetFilePath")).toString(),
                 path(QStringLiteral("tree/p2.png")));
        QVERIFY(m_alerts.isEmpty());
    }

    void searchDialogTakesOnlyWholeNumbersInRange_data()
    {
        QTest::addColumn<QString>("bits");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char* name, const char* bits, const char* rate, bool accepted) {
            QTest::newRow(name) << QString::fromUtf8(bits) << QString::fromUtf8(rate) << accepted;
        };
        row("in range", "4", "0", true);
        row("bounds and blanks", " 1 ", "100", true);
        row("letters", "abc", "70", false);
        row("bits 0", "0", "70", false);
        row("bits 68", "68", "70", false);
        row("rate 150", "3", "150", false);
        row("rate -5", "3", "-5", false);
        row("rate +-3", "3", "+-3", false);
    }

    void searchDialogTakesOnlyWholeNumbersInRange()
    {
        QFETCH(QString, bits);
        QFETCH(QString, rate);
        QFETCH(bool, accepted);
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        engine.setBits(68); // a stored value out of range is shown as it is
        TSearchDlg* dialog = controller.searchDlg();
        dialog->setup(&engine);
        QCOMPARE(dialog->widgets().cbxBits->currentText(), QStringLiteral("68"));
        whenShown(dialog, [&] {
            Ui::TSearchDlg& w = dialog->widgets();
            w.tfTargetFilePath->setText(path(QStringLiteral("tree/p1.png")));
            w.tfTopDirPath->setText(path(QStringLiteral("tree")));
            w.rbSelectSearchDirectory->setChecked(true);
            w.cbxBits->setCurrentText(bits);
            w.cbxMatchRate->setCurrentText(rate);
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            if (dialog->isVisible())
                dialog->close();
        });
        QCOMPARE(dialog->doModal(), accepted);
        QCOMPARE(m_alerts.size(), accepted ? 0 : 1);
        if (accepted) {
            QCOMPARE(engine.bits(), bits.trimmed().toInt());
            QCOMPARE(engine.matchRate(), rate.toInt());
        } else {
            QCOMPARE(engine.bits(), 68);
        }
        controller.mainWindow()->close();
    }

    void dialogsSayWhyTheyRefuse()
    {
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        TSearchDlg* search = controller.searchDlg();
        Ui::TSearchDlg& w = search->widgets();
        search->setup(&engine);
        const QString odd = path(QStringLiteral("100% %s.png"));
        QVERIFY(test::writeText(odd, "no picture"));
        const QString index12 = path(QStringLiteral("dlg12.ovi"));
        QVERIFY(test::writeText(index12, indexHead(12)));
        UiHooks::setPreflight([](UiHooks::Check check, const std::string& where) {
            if (where.find("refused") != std::string::npos)
                return StartResult{check == UiHooks::Check::IndexDestination
                                       ? Refusal::IndexFileUnusable
                                       : Refusal::TopFolderUnusable,
                                   "It is refused here."};
            return StartResult{};
        });
        whenShown(search, [&] {
            w.cbxBits->setCurrentText(QStringLiteral("2"));
            w.cbxMatchRate->setCurrentText(QStringLiteral("80"));
            w.chkAnyOrientation->setChecked(true);
            w.rbSelectSearchDirectory->setChecked(true);
            w.tfTargetFilePath->clear(); // an empty field is named
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            w.tfTargetFilePath->setText(odd); // the alert shows the path as it is, and why
            w.tfTopDirPath->clear();
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            w.tfTopDirPath->setText(path(QStringLiteral("tree")));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            w.tfTargetFilePath->setText(path(QStringLiteral("tree/p1.png")));
            w.tfTopDirPath->setText(path(QStringLiteral("refused")));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            w.rbSelectSearchIndexFile->setChecked(true);
            w.tfIndexFilePath->setText(path(QStringLiteral("notes.txt")));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            w.tfIndexFilePath->setText(index12);
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
        });
        QVERIFY(search->doModal());
        QCOMPARE(m_alerts.size(), 5);
        QCOMPARE(m_alerts[0].message, QStringLiteral("No target picture was chosen."));
        QVERIFY(m_alerts[0].informative.contains(QStringLiteral("“Target picture”")));
        QCOMPARE(m_alerts[1].message, QStringLiteral("No folder was chosen."));
        m_alerts.remove(0, 2);
        QCOMPARE(m_alerts[0].message, QStringLiteral("File load error."));
        QCOMPARE(m_alerts[0].informative, odd + QStringLiteral("\nNot a picture Ovrin can read."));
        QCOMPARE(m_alerts[1].informative,
                 path(QStringLiteral("refused")) + QStringLiteral("\nIt is refused here."));
        QCOMPARE(m_alerts[2].message, QStringLiteral("File load error."));
        QVERIFY(m_alerts[2].informative.endsWith(QStringLiteral("\nNot an index file.")));
        QCOMPARE(engine.searchMethod(), SearchMethod::IndexFile);
        QCOMPARE(engine.pixelNumber(), 12);
        QCOMPARE(engine.bits(), 2);
        QVERIFY(engine.anyOrientation());

        m_alerts.clear();
        TCreateIndexFileDlg* create = controller.createIndexFileDlg();
        create->setup(&engine);
        whenShown(create, [&] {
            Ui::TCreateIndexFileDlg& c = create->widgets();
            c.tfTopDirPath->setText(path(QStringLiteral("refused-folder")));
            c.tfIndexFilePath->setText(path(QStringLiteral("new.ovi")));
            QTest::mouseClick(c.btnOk, Qt::LeftButton);
            c.tfTopDirPath->setText(path(QStringLiteral("tree")));
            c.tfIndexFilePath->setText(path(QStringLiteral("refused.jpg")));
            QTest::mouseClick(c.btnOk, Qt::LeftButton);
            c.tfIndexFilePath->setText(QStringLiteral("typed by hand.ovi"));
            c.chkRebuildIndex->setChecked(true);
            QTest::mouseClick(c.btnOk, Qt::LeftButton);
        });
        QVERIFY(create->doModal());
        QCOMPARE(m_alerts.size(), 2);
        QVERIFY(m_alerts[0].informative.startsWith(path(QStringLiteral("refused-folder"))));
        QCOMPARE(m_alerts[1].informative,
                 path(QStringLiteral("refused.jpg")) + QStringLiteral("\nIt is refused here."));
        QCOMPARE(engine.indexFilePath(), std::optional<std::string>("typed by hand.ovi"));
        QVERIFY(engine.rebuildIndex());
        QCOMPARE(engine.bits(), 2); // only the paths and the rebuild choice are copied
        controller.mainWindow()->close();
    }

    void browsePanelsStartFromTheFields()
    {
        Ovrin controller;
        QStringList asked;
        UiHooks::setOpenFile(
            [&](QWidget*, const QString& folder, const QString& name, const QString& filter) {
                asked << folder << name << filter.section(QStringLiteral(";;"), 0, 0);
                return std::optional<QString>();
            });
        UiHooks::setSaveFile(
            [&](QWidget*, const QString& folder, const QString& name, const QString&) {
                asked << folder << name;
                return std::optional<QString>(QStringLiteral("/chosen/new.ovi"));
            });
        TSearchDlg* search = controller.searchDlg();
        search->widgets().tfIndexFilePath->clear();
        search->widgets().tfTargetFilePath->setText(path(QStringLiteral("tree/p2.png")));
        search->indexFilePathRefAction();
        search->targetFilePathRefAction();
        QCOMPARE(asked.mid(0, 5),
                 (QStringList{QString(), QStringLiteral("index.ovi"),
                              QStringLiteral("Index files (*.ovi)"), path(QStringLiteral("tree")),
                              QStringLiteral("p2.png")}));
        QVERIFY(asked[5].contains(QStringLiteral("*.png")) &&
                asked[5].contains(QStringLiteral("*.jpg")));
        QCOMPARE(search->widgets().tfTargetFilePath->text(), path(QStringLiteral("tree/p2.png")));

        TCreateIndexFileDlg* create = controller.createIndexFileDlg();
        create->widgets().tfIndexFilePath->clear();
        create->indexFilePathRefAction();
        QCOMPARE(asked.mid(6), (QStringList{QString(), QStringLiteral("index.ovi")}));
        QCOMPARE(create->widgets().tfIndexFilePath->text(), QStringLiteral("/chosen/new.ovi"));
        controller.mainWindow()->close();
    }

    void searchRunFillsTheTableAndTheWindowFollows()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        HitListModel* hits = controller.hits();
        QVERIFY(!w.tvResult->placeholderText().isEmpty()); // the first start's hint
        QVERIFY(!w.actionStop->isEnabled() && !w.actionOpen->isEnabled());
        confirmSearch(controller, path(QStringLiteral("tree/p1.png")),
                      path(QStringLiteral("tree")));
        QTest::mouseClick(w.btnSearch, Qt::LeftButton);
        QCOMPARE(w.btnSearch->text(), Ovrin::stopTitle());
        QTRY_COMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        QCOMPARE(hits->rowCount(), 2); // p1 itself, marked as the target, and its copy
        const int marked = hits->isTarget(0) ? 0 : 1;
        QVERIFY(hits->isTarget(marked) && !hits->isTarget(1 - marked));
        QCOMPARE(hits->path(marked), raw(QStringLiteral("tree/p1.png")));
        QCOMPARE(hits->objectValue(QStringLiteral("MATCHRATE"), 0).toInt(), 100);
        QCOMPARE(hits->headerData(1, Qt::Horizontal, HitListModel::kIdentifierRole).toString(),
                 QStringLiteral("FILEPATH"));
        QVERIFY(!hits->objectValue(QStringLiteral("OTHER"), 0).isValid());
        QVERIFY(!hits->objectValue(QStringLiteral("FILEPATH"), 2).isValid());
        QVERIFY(w.msgCurrentFilePath->text().isEmpty());
        QCOMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin"));

        // A refused start puts the title back and says why; the table is cleared first.
        controller.engine().setPixelNumber(0);
        confirmSearch(controller, path(QStringLiteral("tree/p1.png")),
                      path(QStringLiteral("tree")));
        controller.menuSearchAction();
        QCOMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        QCOMPARE(hits->rowCount(), 0);
        QVERIFY(w.msgSummary->text().startsWith(QStringLiteral("Not started.")));

        // The selection opens through the desktop; a failure is shown with its reason.
        controller.engine().setPixelNumber(8);
        confirmSearch(controller, path(QStringLiteral("tree/p1.png")),
                      path(QStringLiteral("tree")));
        controller.menuSearchAction();
        QTRY_COMPARE(hits->rowCount(), 2);
        QList<QUrl> opened;
        UiHooks::setOpenUrl([&](QWidget*, const QUrl& url, const UiHooks::Failed& failed) {
            opened << url;
            failed(QStringLiteral("No viewer."));
        });
        w.tvResult->clearSelection();
        controller.doubleClickTvResultAction();
        QVERIFY(opened.isEmpty());
        w.tvResult->selectRow(1);
        QVERIFY(w.actionOpen->isEnabled());
        QTest::keyClick(w.tvResult, Qt::Key_Return);
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(
                             hits->objectValue(QStringLiteral("FILEPATH"), 1).toString())});
        QCOMPARE(m_alerts.size(), 1);
        QVERIFY(m_alerts[0].informative.endsWith(QStringLiteral("\nNo viewer.")));
        QTRY_VERIFY(!controller.engine().isWorking());
        controller.mainWindow()->close();
    }

    void hitsAreOrderedBestFirstAndExportedAsShown()
    {
        Ovrin controller;
        HitListModel* hits = controller.hits();
        const std::vector<std::int16_t> target(64, 0x0888);
        auto near = target;
        near[0] = 0x0889; // one channel one step away
        auto far = target;
        far[0] = 0x0FFF;
        controller.engine().target().setThumbnail(target);
        // Arrival order: worse first. Equal rates are settled by likeness.
        RunBridge& bridge = controller.bridge();
        bridge.hitItemCallback(hitOf("/b/far,\"quoted\".png", 90, far));
        bridge.hitItemCallback(hitOf("/a/low.png", 75, target));
        bridge.hitItemCallback(hitOf("/c/near.png", 90, near));
        bridge.hitItemCallback(hitOf("/d/same.png", 90, target));
        bridge.searchEndCallback();
        QCOMPARE(hits->rowCount(), 4);
        QCOMPARE(hits->path(0), std::string("/d/same.png"));
        QCOMPARE(hits->path(1), std::string("/c/near.png"));
        QCOMPARE(hits->path(2), std::string("/b/far,\"quoted\".png"));
        QCOMPARE(hits->path(3), std::string("/a/low.png"));
        QVERIFY(hits->likeness(1) > hits->likeness(2));

        // While a run goes on new hits join at the end; its end sorts them in.
        hits->setLive(true);
        hits->append(hitOf("/e/best.png", 100, target));
        QCOMPARE(hits->path(4), std::string("/e/best.png"));
        hits->setLive(false);
        QCOMPARE(hits->path(0), std::string("/e/best.png"));

        hits->sort(HitListModel::kPathColumn, Qt::AscendingOrder);
        QCOMPARE(hits->path(0), std::string("/a/low.png"));
        const QString file = path(QStringLiteral("hits.csv"));
        UiHooks::setSaveFile([&](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>(file);
        });
        controller.menuExportHitsAction();
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll(), QByteArray("rate,path,likeness\n"
                                                "75,/a/low.png,100.00\n"
                                                "90,\"/b/far,\"\"quoted\"\".png\",99.27\n"
                                                "90,/c/near.png,99.97\n"
                                                "90,/d/same.png,100.00\n"
                                                "100,/e/best.png,0.00\n"));
        controller.mainWindow()->close();
    }

    void aRunsHitsComeBeforeItsEndAndAnEarlierRunsAreDropped()
    {
        RunBridge bridge;
        std::vector<std::string> told;
        QObject::connect(&bridge, &RunBridge::hitsArrived, [&](const std::vector<HitRecord>& hits) {
            for (const HitRecord& record : hits)
                told.push_back(*record.hit->filePath());
        });
        QObject::connect(&bridge, &RunBridge::runEnded, [&](const RunSummary& summary, auto&&) {
            told.push_back("end, hits: " + std::to_string(summary.hits));
        });
        const auto run = [&bridge](int first, int count) {
            bridge.beginRun({}, std::nullopt);
            std::thread([&bridge, first, count] {
                for (int hit = first; hit < first + count; ++hit)
                    bridge.hitItemCallback(hitOf(std::to_string(hit), 90, {}));
                bridge.searchEndCallback();
            }).join();
        };
        // The second run begins before the first one's hits and end are taken.
        run(0, 3);
        run(3, 2);
        QCoreApplication::sendPostedEvents(&bridge);
        QCOMPARE(told, (std::vector<std::string>{"3", "4", "end, hits: 2"}));
    }

    void exportsNeverReplaceAPictureOrAnIndex_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // after the path; none where the export goes in
        QTest::newRow("earlier export") << QStringLiteral("export") << QString();
        QTest::newRow("picture") << QStringLiteral("picture")
                                 << QStringLiteral(" is a picture; an export never replaces it.");
        QTest::newRow("index") << QStringLiteral("index")
                               << QStringLiteral(" is an index file; an export never replaces it.");
        QTest::newRow("full disk") << QStringLiteral("full") << qt_error_string(ENOSPC);
    }
    void exportsNeverReplaceAPictureOrAnIndex()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString file = folder.filePath(kind + QStringLiteral(".csv"));
        if (kind == QLatin1String("picture"))
            test::writeImage(file, test::photoLike(40, 30, 7), "png");
        else
            QVERIFY(test::writeText(file, kind == QLatin1String("index") ? indexHead(8)
                                                                         : QByteArray("old")));
        const QByteArray before = contents(file);
        Ovrin controller;
        controller.hits()->append(hitOf("/a.png", 80, {}));
        UiHooks::setSaveFile([&](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>(file);
        });
        platform::FileHandle::setWriteBudgetForTesting(kind == QLatin1String("full") ? 0 : -1);
        controller.menuExportHitsAction();
        platform::FileHandle::setWriteBudgetForTesting(-1);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{kind + QStringLiteral(".csv")}); // no temporary left
        if (reason.isEmpty()) {
            QCOMPARE(m_alerts.size(), 0);
            QCOMPARE(contents(file), QByteArray("rate,path,likeness\n80,/a.png,0.00\n"));
        } else {
            QCOMPARE(contents(file), before);
            QCOMPARE(m_alerts.size(), 1);
            QCOMPARE(m_alerts[0].message, QStringLiteral("The hits could not be exported."));
            QCOMPARE(m_alerts[0].informative,
                     file + QLatin1Char('\n') +
                         (kind == QLatin1String("full") ? reason : file + reason));
        }
        controller.mainWindow()->close();
    }

    void summariesSayHowTheRunEnded_data()
    {
        QTest::addColumn<RunSummary>("run");
        QTest::addColumn<QString>("text");
        using K = RunSummary::Kind;
        using O = RunSummary::Outcome;
        using I = RunSummary::IndexResult;
        const auto run = [](K kind, O outcome, I index, std::int64_t examined, std::int64_t hits,
                            std::int64_t indexed, double seconds) {
            RunSummary s;
            s.kind = kind;
            s.outcome = outcome;
            s.index = index;
            s.examined = examined;
            s.hits = hits;
            s.indexed = indexed;
            s.seconds = seconds;
            return s;
        };
        QTest::newRow("finished") << run(K::FolderSearch, O::Finished, I::None, 376, 9, 0, 0.8)
                                  << "9 hits among 376 pictures in 0.8 s";
        RunSummary stopped = run(K::FolderSearch, O::Stopped, I::None, 913, 1, 0, 2.14);
        stopped.estimated = 1240;
        stopped.estimateSettled = true;
        QTest::newRow("stopped") << stopped
                                 << "Stopped after 913 of about 1,240 files: 1 hit in 2.1 s";
        RunSummary failed = run(K::FolderSearch, O::Failed, I::None, 0, 0, 0, 0);
        failed.error = "the disk went away";
        QTest::newRow("failed") << failed << "Search failed: the disk went away";
        QTest::newRow("index search") << run(K::IndexSearch, O::Finished, I::None, 4880, 1, 0, 0.1)
                                      << "Index search: 1 hit among 4,880 entries in 0.1 s";
        RunSummary stale = run(K::IndexSearch, O::Finished, I::None, 4880, 2, 0, 0.1);
        stale.redecoded = 3;
        stale.leftOut = 1;
        QTest::newRow("index search, stale entries")
            << stale
            << "Index search: 2 hits among 4,880 entries in 0.1 s; 3 decoded again (changed "
               "since indexed), 1 left out (vanished or unreadable)";
        RunSummary written = run(K::IndexCreation, O::Finished, I::Written, 4892, 0, 4880, 9);
        written.skipped[static_cast<std::size_t>(SkipReason::NotAnImage)] = 8;
        written.skipped[static_cast<std::size_t>(SkipReason::NameNotUtf8)] = 4;
        QTest::newRow("index written") << written
                                       << "Index written: 4,880 pictures, 12 files skipped (8 not "
                                          "pictures, 4 unreadable names)";
        RunSummary updated = run(K::IndexCreation, O::Finished, I::Written, 4880, 0, 4880, 2);
        updated.reused = 4800;
        updated.decoded = 80;
        updated.removed = 3;
        QTest::newRow("index updated")
            << updated << "Index written: 4,880 pictures (4,800 reused, 80 decoded, 3 removed)";
        QTest::newRow("partial")
            << run(K::IndexCreation, O::Stopped, I::Partial, 913, 0, 913, 2)
            << "Index creation stopped; the index is partial (there was none before): 913 pictures";
        RunSummary refused = run(K::IndexCreation, O::Failed, I::KeptExisting, 0, 0, 0, 0);
        refused.error = "No space left on device";
        QTest::newRow("failed, index kept")
            << refused
            << "Index not written: No space left on device. The existing index was kept unchanged.";
        QTest::newRow("kept")
            << run(K::IndexCreation, O::Stopped, I::KeptExisting, 913, 0, 913, 2)
            << "Index creation stopped after 913 files; the existing index was kept unchanged.";
        QTest::newRow("grouping stopped")
            << run(K::Groups, O::Stopped, I::None, 913, 0, 0, 2.14)
            << "Grouping stopped after 913 pictures read in 2.1 s; no groups are shown";
        RunSummary staleGroups = run(K::Groups, O::Finished, I::None, 40, 2, 0, 1);
        staleGroups.redecoded = 1;
        staleGroups.leftOut = 3;
        QTest::newRow("grouping with stale entries")
            << staleGroups
            << "2 groups among 40 pictures in 1.0 s; 1 changed picture decoded again; 3 entries "
               "left out as their files are gone or unreadable";
        RunSummary groupingFailed = run(K::Groups, O::Failed, I::None, 0, 0, 0, 0);
        groupingFailed.error = "The index file /x.ovi cannot be read: not an index file";
        QTest::newRow("grouping failed")
            << groupingFailed
            << "Grouping failed: The index file /x.ovi cannot be read: not an index file";
    }

    void summariesSayHowTheRunEnded()
    {
        QFETCH(RunSummary, run);
        QFETCH(QString, text);
        QCOMPARE(RunReport::summary(run), text);
    }

    void groupsAreReferenceFirstWithTheirAliases()
    {
        auto result = std::make_shared<LookAlikeResult>();
        result->table.paths = {"/g/a.png", "/g/b,\"q\".png", "/g/c.png",
                               "/g/d.png", "/g/\xff.png",    "/g/single.png"};
        result->groups = {{0, {{1, 98, 99.46}, {2, 90, 97.25, Orientation::Turned90}}},
                          {3, {{4, 80, 95.0}}}};
        // The other paths of a file are told with it, never rows to select.
        result->aliases = {{"/l/a.png"}, {}, {"/l/c.png", "/m/c.png"}, {}, {}, {}};
        GroupTreeModel model;
        model.setResult(result);
        QCOMPARE(model.rowCount(), 2);
        const QModelIndex first = model.index(0, 0);
        QVERIFY(model.isReference(first) && !model.isReference(model.index(0, 0, first)));
        QCOMPARE(model.path(first), std::string("/g/a.png"));
        QCOMPARE(model.path(model.index(1, 0, first)), std::string("/g/c.png"));
        QCOMPARE(model.referenceOf(model.index(1, 2, first)), first);
        QCOMPARE(model.paths(model.allMembers().indexes()),
                 (std::vector<std::string>{"/g/b,\"q\".png", "/g/c.png", "/g/\xff.png"}));
        QCOMPARE(model.rowCount(first), 2);
        QCOMPARE(model.data(model.index(1, 0, first)).toString(),
                 QStringLiteral("/g/c.png (also at 2 other paths)"));
        // A turned member says how it lies, as a turned hit does.
        QVERIFY(model.data(model.index(1, 0, first), Qt::ToolTipRole)
                    .toString()
                    .contains(QString::fromUtf8("\nLike the reference turned 90\u00b0\n")));
        QVERIFY(model.data(first, Qt::ToolTipRole)
                    .toString()
                    .endsWith(QStringLiteral("\nAlso at: /l/a.png")));
        QCOMPARE(model.picturesHeld(), 5);

        // JSON Lines for such a name whatever its case.
        QCOMPARE(GroupExport::formatFor(QStringLiteral("x.JSONL")), GroupExport::Format::JsonLines);

        // The trash takes a reference (its members stay under it, marked) and
        // the last member of a group (the group goes).
        QCOMPARE(model.removePaths({"/g/a.png", "/g/\xff.png", "/elsewhere.png"}), 2);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rowCount(model.index(0, 0)), 2);
        QCOMPARE(model.path(model.index(0, 0)), std::string());
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable));
        QCOMPARE(model.picturesHeld(), 2);
    }

    void groupsDialogSaysWhyItRefuses_data()
    {
        QTest::addColumn<bool>("byFolder");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QStringList>("alert"); // message and reason; none: accepted
        const auto alert = [](const char* message, const char* reason) {
            return QStringList{QString::fromUtf8(message), QString::fromUtf8(reason)};
        };
        QTest::newRow("accepted") << true << "tree" << 2 << 80 << QStringList();
        QTest::newRow("bits 5") << true << "tree" << 5 << 80
                                << alert("Colour bits must be a whole number from 1 to 4.",
                                         "“5” cannot be used");
        QTest::newRow("rate 101") << true << "tree" << 2 << 101
                                  << alert("The match rate must be a whole number from 0 to 100.",
                                           "“101” cannot be used");
        QTest::newRow("missing folder") << true << "gone" << 2 << 80
                                        << alert("The folder cannot be grouped.", "does not exist");
        QTest::newRow("file as folder")
            << true << "notes.txt" << 2 << 80
            << alert("The folder cannot be grouped.", "is not a folder");
        QTest::newRow("not an index")
            << false << "notes.txt" << 2 << 80
            << alert("The index file cannot be grouped.", "not an index file");
        QTest::newRow("preferred folder gone")
            << true << "tree|gone" << 2 << 80
            << alert("A preferred folder cannot be used.", "It does not exist or is no folder");
    }

    void groupsDialogSaysWhyItRefuses()
    {
        QFETCH(bool, byFolder);
        QFETCH(int, bits);
        QFETCH(int, rate);
        QFETCH(QString, source); // "folder|preferred folder"
        QFETCH(QStringList, alert);
        const QString preferred = source.section(QLatin1Char('|'), 1);
        source = source.section(QLatin1Char('|'), 0, 0);
        GroupsRequest request;
        if (!preferred.isEmpty())
            request.preferred = {raw(preferred)};
        GroupsDlg dialog;
        dialog.setup(request);
        Ui::GroupsDlg& w = dialog.widgets();
        whenShown(&dialog, [&] {
            (byFolder ? w.tfTopDirPath : w.tfIndexFilePath)->setText(path(source));
            (byFolder ? w.rbSelectSearchDirectory : w.rbSelectSearchIndexFile)->setChecked(true);
            w.cbxBits->setCurrentText(QString::number(bits));
            w.cbxMatchRate->setCurrentText(QString::number(rate));
            QTest::mouseClick(w.btnOk, Qt::LeftButton);
            if (dialog.isVisible())
                dialog.close();
        });
        QCOMPARE(dialog.doModal(), alert.isEmpty());
        if (alert.isEmpty()) {
            QVERIFY(m_alerts.isEmpty());
            QCOMPARE(dialog.values().folder, std::optional(raw(source)));
            QCOMPARE(dialog.values().bits, 2);
            QCOMPARE(dialog.values().matchRate, 80);
            return;
        }
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts[0].message, alert[0]);
        QVERIFY2(m_alerts[0].informative.contains(alert[1]), qPrintable(m_alerts[0].informative));
        if (!alert[1].startsWith(QStringLiteral("“"))) // the path once, with the reason
            QCOMPARE(m_alerts[0].informative.count(path(preferred.isEmpty() ? source : preferred)),
                     1);
    }

    void groupingRunShowsTheGroupsAndActsOnThem()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        GroupTreeModel* groups = controller.groups();
        const std::int32_t searchBits = controller.engine().bits();
        GroupsDlg* dialog = controller.groupsDlg();
        whenShown(dialog, [&] {
            dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
            dialog->widgets().rbSelectSearchDirectory->setChecked(true);
            dialog->widgets().cbxBits->setCurrentText(QStringLiteral("2"));
            dialog->widgets().cbxMatchRate->setCurrentText(QStringLiteral("90"));
            dialog->widgets().cbxSimilarity->setCurrentIndex(2);
            dialog->widgets().cbxKeep->setCurrentIndex(2);
            UiHooks::setOpenFolder([this](QWidget*, const QString&) {
                return std::optional(path(QStringLiteral("tree/")));
            });
            QTest::mouseClick(dialog->widgets().btnPreferredAdd, Qt::LeftButton);
            QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuFindGroupsAction();
        QVERIFY(w.contextStrip->contextText().endsWith(
            QStringLiteral("match rate 90 % · similarity Loose · keep Oldest")));
        QCOMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin — grouping…"));
        QCOMPARE(w.resultStack->currentWidget(), w.tvGroups);
        QTRY_COMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin"));
        // the search's values stay
        QCOMPARE(controller.engine().bits(), searchBits);
        QCOMPARE(controller.engine().keepRule(), KeepRule::Pixels);
        // p1 and its copy differ only in age and path, and p1 comes first by both.
        const QModelIndex reference = groups->index(0, 0);
        QCOMPARE(groups->rowCount(reference), 1);
        QCOMPARE(groups->path(reference), raw(QStringLiteral("tree/p1.png")));
        const QModelIndex member = groups->index(0, 0, reference);
        QCOMPARE(groups->path(member), raw(QStringLiteral("tree/sub/copy.png")));

        // The preview compares the member with its reference.
        w.tvGroups->setCurrentIndex(member);
        QTRY_VERIFY(w.previewPane->infoText(PreviewPane::TargetSlot)
                        .startsWith(QStringLiteral("p1.png\n")));
        QTRY_VERIFY(
            w.previewPane->infoText(PreviewPane::HitSlot).startsWith(QStringLiteral("copy.png\n")));

        const QString file = path(QStringLiteral("groups.jsonl"));
        UiHooks::setSaveFile([&](QWidget*, const QString&, const QString&, const QString&) {
            return std::optional<QString>(file);
        });
        controller.menuExportGroupsAction();
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        QVERIFY(exported.readAll().startsWith(
            "{\"reference\":\"" + QFile::encodeName(path(QStringLiteral("tree/p1.png")))));

        // A search shows the hits again.
        confirmSearch(controller, path(QStringLiteral("tree/p1.png")),
                      path(QStringLiteral("tree")));
        controller.menuSearchAction();
        QCOMPARE(w.resultStack->currentWidget(), w.tvResult);
        QTRY_COMPARE(controller.hits()->rowCount(), 2);
        controller.mainWindow()->close();
        const QSettings stored(m_store, QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("Groups/bits")).toInt(), 2);
        QCOMPARE(stored.value(QStringLiteral("bits")).toInt(), searchBits);
        Ovrin again;
        QCOMPARE(groupChoicesShown(again),
                 QStringLiteral("loose oldest ") + path(QStringLiteral("tree")));
    }

    void aSlowTargetLeavesTheWindowWorkingAndStops()
    {
        // Pictures named "slow" decode only once released, and then succeed
        // whatever the stop said: a verdict that must be dropped.
        auto release = std::make_shared<std::atomic<bool>>(false);
        auto finished = std::make_shared<std::atomic<int>>(0);
        TargetCheck::setDecoder([release, finished](const std::string& file, std::int32_t n,
                                                    const std::atomic<bool>&,
                                                    std::vector<std::int16_t>& signature,
                                                    std::optional<FineSignature>&) {
            if (file.find("slow") != std::string::npos) {
                while (!release->load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                finished->fetch_add(1);
            }
            signature.assign(static_cast<std::size_t>(n) * static_cast<std::size_t>(n), 7);
            return platform::LoadFailure::None;
        });
        const QString slow = path(QStringLiteral("slow.png"));
        QVERIFY(QFile::copy(path(QStringLiteral("tree/p0.png")), slow) || QFile::exists(slow));
        const auto releaseAll = [release, finished](int count) {
            release->store(true);
            QTRY_COMPARE(finished->load(), count);
            QTest::qWait(30); // the verdict's delivery, which must change nothing
            release->store(false);
        };
        Ovrin controller;
        // Destroyed before the controller, whose check joins its thread.
        const std::shared_ptr<void> unblock(nullptr, [release](void*) {
            release->store(true);
            TargetCheck::setDecoder({});
        });
        Ui::MainWindow& w = controller.widgets();
        TGraphicSearch& engine = controller.engine();
        controller.mainWindow()->show();
        QVERIFY(QTest::qWaitForWindowActive(controller.mainWindow()));
        const auto p1 = QUrl::fromLocalFile(path(QStringLiteral("tree/p1.png")));
        dropOn(controller.mainWindow(), {p1});
        QCOMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p1.png"))));

        // The drop returns while the decode is held: the window stays live,
        // says what it does, and Escape stops it.
        dropOn(controller.mainWindow(),
               {QUrl::fromLocalFile(path(QStringLiteral("tree"))), QUrl::fromLocalFile(slow)});
        QVERIFY(controller.isCheckingTarget());
        QVERIFY2(w.contextStrip->feedbackText().startsWith(
                     QStringLiteral("Checking the target “slow.png”…")),
                 qPrintable(w.contextStrip->feedbackText()));
        QCOMPARE(w.btnSearch->text(), Ovrin::stopTitle());
        QVERIFY(w.actionStop->isEnabled() && !w.actionSearch->isEnabled());
        QTest::keyClick(controller.mainWindow(), Qt::Key_Escape);
        QVERIFY(!controller.isCheckingTarget());
        QVERIFY2(w.contextStrip->feedbackText().contains(QStringLiteral("was stopped")),
                 qPrintable(w.contextStrip->feedbackText()));
        QCOMPARE(w.btnSearch->text(), Ovrin::searchTitle());
        QCOMPARE(engine.topDirPath(), std::optional(raw(QStringLiteral("tree"))));
        releaseAll(1);
        QCOMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p1.png"))));

        // A newer drop replaces a check still running.
        dropOn(controller.mainWindow(), {QUrl::fromLocalFile(slow)});
        dropOn(controller.mainWindow(), {QUrl::fromLocalFile(path(QStringLiteral("tree/p2.png")))});
        QVERIFY(!controller.isCheckingTarget());
        releaseAll(2);
        QCOMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p2.png"))));

        // The dialog's check: Escape stops it and leaves the dialog open.
        TSearchDlg* dialog = controller.searchDlg();
        dialog->setup(&engine);
        bool stoppedInPlace = false;
        whenShown(dialog, [&] {
            Ui::TSearchDlg& d = dialog->widgets();
            d.tfTargetFilePath->setText(slow);
            QTest::mouseClick(d.btnOk, Qt::LeftButton);
            QVERIFY(dialog->isChecking() && !d.btnOk->isEnabled());
            QVERIFY(dialog->checkingText().startsWith(QStringLiteral("Checking the target")));
            QTest::keyClick(dialog, Qt::Key_Escape);
            stoppedInPlace = !dialog->isChecking() && dialog->isVisible() && d.btnOk->isEnabled();
            releaseAll(3);
            stoppedInPlace = stoppedInPlace && dialog->isVisible();
            d.tfTargetFilePath->setText(path(QStringLiteral("tree/p3.png")));
            QTest::mouseClick(d.btnOk, Qt::LeftButton);
        });
        QVERIFY(dialog->doModal());
        QVERIFY(stoppedInPlace);
        QCOMPARE(engine.target().filePath(), std::optional(raw(QStringLiteral("tree/p3.png"))));
        QCOMPARE(dialog->takeSignature().size(), std::size_t{64});
        QVERIFY(m_alerts.isEmpty());
        controller.mainWindow()->close();
    }

    void workWhileTheEngineRunsAndCloseSavesFirst()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        TGraphicSearch& engine = controller.engine();
        auto open = std::make_shared<std::atomic<bool>>(false);
        auto sawSaved = std::make_shared<std::atomic<bool>>(false);
        const QString store = m_store;
        // The worker waits (at most 5 s) for the settings to be written, so a
        // close that joined before saving is caught.
        engine.setThreadStarter(gated(open, [store, sawSaved] {
            for (int i = 0; i < 500 && !sawSaved->load(); ++i) {
                QFile file(store);
                sawSaved->store(file.open(QIODevice::ReadOnly) &&
                                file.readAll().contains("matchRate=71"));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }));
        confirmSearch(controller, path(QStringLiteral("tree/p1.png")), path(QStringLiteral("tree")),
                      QStringLiteral("71"));
        controller.menuSearchAction();
        QVERIFY(engine.isWorking());
        QCOMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin — searching…"));
        QVERIFY(w.actionStop->isEnabled() && !w.actionSearch->isEnabled());

        // Progress shows the file in hand in the status line.
        std::thread([&controller, file = raw(QStringLiteral("tree/p3.png"))] {
            controller.bridge().progressCallback(std::make_shared<TFileInfo>(file));
        }).join();
        QTRY_COMPARE(w.msgCurrentFilePath->text(), path(QStringLiteral("tree/p3.png")));

        // The commands are ignored while the engine works; the button stops it.
        bool opened = false;
        for (QDialog* d : {static_cast<QDialog*>(controller.searchDlg()),
                           static_cast<QDialog*>(controller.createIndexFileDlg())})
            whenShown(d, [&opened, d] {
                opened = true;
                d->close();
            });
        controller.menuSearchAction();
        controller.menuCreateIndexFileAction();
        QTest::qWait(20);
        QVERIFY(!opened);
        QTest::mouseClick(w.btnSearch, Qt::LeftButton); // a stop: the worker finds nothing
        QVERIFY(!opened);

        open->store(true);
        controller.mainWindow()->close(); // saves, then joins the worker
        QVERIFY(controller.quited() && !engine.isWorking());
        QVERIFY(sawSaved->load());
        QTest::qWait(20);
        QCOMPARE(controller.hits()->rowCount(), 0);
    }

    void quittingDuringIndexCreationAsksFirst()
    {
        Ovrin controller;
        TGraphicSearch& engine = controller.engine();
        auto open = std::make_shared<std::atomic<bool>>(false);
        engine.setThreadStarter(gated(open));
        TCreateIndexFileDlg* dialog = controller.createIndexFileDlg();
        whenShown(dialog, [&] {
            dialog->widgets().tfTopDirPath->setText(path(QStringLiteral("tree")));
            dialog->widgets().tfIndexFilePath->setText(path(QStringLiteral("quit.ovi")));
            QTest::mouseClick(dialog->widgets().btnOk, Qt::LeftButton);
        });
        controller.menuCreateIndexFileAction();
        QCOMPARE(controller.mainWindow()->windowTitle(), QStringLiteral("Ovrin — indexing…"));
        int asked = 0;
        UiHooks::setConfirm(
            [&](QWidget*, const QString&, const QString&, const QString&) { return ++asked > 1; });
        controller.mainWindow()->close();
        QCOMPARE(asked, 1);
        QVERIFY(!controller.quited() && engine.isWorking());
        open->store(true);
        controller.mainWindow()->close();
        QCOMPARE(asked, 2);
        QVERIFY(controller.quited() && !engine.isWorking());
    }

    void previewsAreReduced()
    {
        const QString large = path(QStringLiteral("large.jpg"));
        QVERIFY(test::writeImage(large, test::photoLike(1600, 1200, 7), "jpeg"));
        const PictureInfo shown = PictureLoader::load(large.toStdString(), QSize(200, 200));
        QCOMPARE(shown.pixelSize, QSize(1600, 1200));
        QCOMPARE(shown.image.size(), QSize(200, 150));
        QCOMPARE(shown.format, QStringLiteral("JPEG"));
        // Its header claiming 7000 × 6000: asked for whole (168 MB), it comes reduced.
        QByteArray jpeg = contents(large);
        jpeg.replace(jpeg.indexOf("\xff\xc0") + 5, 4, QByteArray("\x17\x70\x1b\x58", 4));
        QVERIFY(test::writeText(large, jpeg));
        const PictureInfo whole = PictureLoader::load(large.toStdString(), QSize());
        QCOMPARE(whole.pixelSize, QSize(7000, 6000));
        QCOMPARE(whole.image.size(), QSize(2048, 1755));

        // A TGA without the footer the toolkit's reader looks for is shown as
        // the search reads it, at its size within the box.
        const QString strip = path(QStringLiteral("strip.tga"));
        QVERIFY(test::writeText(strip,
                                QByteArray("\0\0\x02\0\0\0\0\0\0\0\0\0\x08\0\x04\0\x18\x20", 18) +
                                    QByteArray(8 * 4, '\x10').repeated(3)));
        const PictureInfo tga = PictureLoader::load(strip.toStdString(), QSize(100, 200));
        QCOMPARE(tga.format, QStringLiteral("TGA"));
        QCOMPARE(tga.image.size(), QSize(8, 4));
        QCOMPARE(tga.image.pixelColor(7, 3), QColor(16, 16, 16));

        // A drawing is shown without the pictures it names by path.
        const QString blue = path(QStringLiteral("blue.png"));
        QImage solid(8, 8, QImage::Format_RGB32);
        solid.fill(Qt::blue);
        QVERIFY(solid.save(blue));
        const QString drawing = path(QStringLiteral("names.svg"));
        QVERIFY(test::writeText(drawing,
                                "<svg xmlns='http://www.w3.org/2000/svg' "
                                "xmlns:xlink='http://www.w3.org/1999/xlink' width='40' height='40'>"
                                "<rect width='40' height='40' fill='red'/><image xlink:href='" +
                                    blue.toUtf8() + "' width='40' height='40'/></svg>"));
        const PictureInfo svg = PictureLoader::load(drawing.toStdString(), QSize(200, 200));
        QCOMPARE(svg.format, QStringLiteral("SVG"));
        QCOMPARE(svg.image.pixelColor(20, 20), QColor(Qt::red));
    }

    void everyWindowHasTheIcon()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("icon|svg|png"),
                                                QRegularExpression::CaseInsensitiveOption));
        Ovrin controller;
        const QIcon icon = controller.searchDlg()->windowIcon();
        QVERIFY(!icon.pixmap(32).isNull());
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)) &&
                icon.availableSizes().contains(QSize(256, 256)));
        controller.mainWindow()->close();
    }

    void titlesFollowTheLocale()
    {
        const auto german = Ovrin::loadTranslation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        QCoreApplication::installTranslator(german.get());
        QCOMPARE(Ovrin::searchTitle(), QStringLiteral("Suchen"));
        QCOMPARE(Ovrin::stopTitle(), QStringLiteral("Stopp"));
        QCOMPARE(QCoreApplication::translate("ovrin::ui::TSearchDlg", "File load error."),
                 QStringLiteral("Fehler beim Laden der Datei."));
        QCoreApplication::removeTranslator(german.get());
        QCOMPARE(Ovrin::searchTitle(), QStringLiteral("Search"));
        QVERIFY(!Ovrin::loadTranslation(QLocale(QLocale::Japanese)));
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
            const qint32 huge = 70000; // 4.9 gigapixels claimed by a file of a few bytes
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
                      {raw(QStringLiteral("big.png")), QStringLiteral("big.png"), {}, {}, {}},
                      {path.toStdString(), QStringLiteral("bad"), {}, {}, {}});
        QTRY_COMPARE(view.messageText(CompareView::MemberSide), message);
        QTRY_VERIFY(view.hasPicture(CompareView::ReferenceSide));
    }

    // A hit turned or mirrored against its target is shown lying as the target lies.
    void aTurnedHitIsShownAsTheTargetLies_data()
    {
        QTest::addColumn<int>("form");
        for (int k = 0; k < kOrientations; ++k)
            QTest::newRow(orientationName(Orientation(k))) << k;
    }
    void aTurnedHitIsShownAsTheTargetLies()
    {
        QFETCH(int, form);
        // no two corners alike, wider than high
        QImage target(3, 2, QImage::Format_RGB32);
        target.fill(Qt::white);
        target.setPixel(0, 0, qRgb(255, 0, 0));
        target.setPixel(2, 0, qRgb(0, 255, 0));
        target.setPixel(0, 1, qRgb(0, 0, 255));
        PictureInfo info;
        info.image =
            target.mirrored(form >= 4, false).transformed(QTransform().rotate(90.0 * (form % 4)));
        PreviewPane pane;
        pane.showPicture(PreviewPane::HitSlot, QStringLiteral("hit.png"), info, Orientation(form));
        QCOMPARE(pane.shownImage(PreviewPane::HitSlot), target);
        QCOMPARE(pane.infoText(PreviewPane::HitSlot)
                     .endsWith(QStringLiteral(", shown as the "
                                              "target lies")),
                 form != 0);
    }

    void compareFollowsTheSelectionAndTakesTheWindowsKeys()
    {
        Ovrin controller;
        Ui::MainWindow& w = controller.widgets();
        dropOn(controller.mainWindow(),
               {QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("big.png")))});
        QTRY_COMPARE(controller.engine().target().filePath(),
                     std::optional(raw(QStringLiteral("big.png"))));
        const auto turned = hitOf(raw(QStringLiteral("small.png")), 90, {});
        turned->setOrientation(Orientation::Turned90);
        controller.hits()->append(turned);
        controller.hits()->append(hitOf(raw(QStringLiteral("gone.png")), 80, {}));
        w.tvResult->selectRow(0);
        w.actionCompare->trigger();
        CompareView* view = controller.compareView();
        QVERIFY(view && view->isVisible());
        QTRY_VERIFY(view->captionText(CompareView::MemberSide)
                        .contains(QStringLiteral("Against the target:")));
        QVERIFY(view->captionText(CompareView::ReferenceSide)
                    .startsWith(QStringLiteral("big.png\n800 × 600")));
        // turned back, with the file's own size
        QVERIFY(view->captionText(CompareView::MemberSide)
                    .startsWith(QStringLiteral("small.png\n400 × 300")));
        QVERIFY(view->captionText(CompareView::MemberSide)
                    .contains(QStringLiteral("\nturned 90°, shown as the target lies\n")));
        QCOMPARE(view->view(CompareView::MemberSide)->sceneRect().size(), QSizeF(300, 400));
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

QObject* ovrin::uitest::makeUiTests()
{
    return new TestUi;
}

#include "tst_ui.moc"
