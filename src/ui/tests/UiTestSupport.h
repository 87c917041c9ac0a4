#pragma once

// Fixtures shared by the window's test classes.

#include "engine/TGraphicSearch.h"
#include "signature/TFileInfo.h"
#include "ui/Ovrin.h"
#include "ui/TSearchDlg.h"
#include "ui_TSearchDlg.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMainWindow>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace ovrin::uitest {

using namespace ovrin;

QObject* makeUiTests();
QObject* makeMarksTests();
QObject* makeActionsTests();
QObject* makeStatesTests();

struct Alert {
    QString message;
    QString informative;
};

// Runs `steps` once the dialog is on screen (it runs its own modal loop).
inline void whenShown(QDialog* dialog, std::function<void()> steps)
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

// Fills the search dialog for a folder search once it is shown, and confirms it.
inline void confirmSearch(ui::Ovrin& controller, const QString& target, const QString& folder,
                          const QString& rate = QStringLiteral("70"))
{
    ui::TSearchDlg* dialog = controller.searchDlg();
    whenShown(dialog, [dialog, target, folder, rate] {
        Ui::TSearchDlg& w = dialog->widgets();
        w.tfTargetFilePath->setText(target);
        w.tfTopDirPath->setText(folder);
        w.rbSelectSearchDirectory->setChecked(true);
        w.cbxBits->setCurrentText(QStringLiteral("3"));
        w.cbxMatchRate->setCurrentText(rate);
        QTest::mouseClick(w.btnOk, Qt::LeftButton);
    });
}

inline void dropOn(QMainWindow* window, const QMimeData& data)
{
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    QVERIFY(drop.isAccepted());
}

inline void dropOn(QMainWindow* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    dropOn(window, data);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

inline QByteArray indexHead(int pixelNumber)
{
    QByteArray bytes("OVHD\0\0\x01\0", 8);
    QByteArray data(256, '\0');
    data[1] = 1;
    data[7] = static_cast<char>(pixelNumber);
    return bytes + data;
}

// Holds a started worker until opened, so a test can act while the engine works.
inline TGraphicSearch::ThreadStarter gated(const std::shared_ptr<std::atomic<bool>>& open,
                                           const std::function<void()>& first = {})
{
    return [open, first](const std::function<void()>& body) {
        std::thread([open, first, body] {
            while (!open->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (first)
                first();
            body();
        }).detach();
        return true;
    };
}

inline std::shared_ptr<TFileInfo> hitOf(const std::string& path, int rate,
                                        std::vector<std::int16_t> values)
{
    auto hit = std::make_shared<TFileInfo>(path);
    hit->setMatchRate(rate);
    hit->setThumbnail(std::move(values));
    return hit;
}

} // namespace ovrin::uitest
