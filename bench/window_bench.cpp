// Responsiveness of the main window under a flood of hits.
//
//   ovrin-window-bench [HITS [SECONDS]]      (defaults: 20,000 hits over 5 s)
//
// Runs the real window offscreen (1280 x 800) and starts a real search whose
// worker first hands HITS hits and as many progress reports to the window's
// callbacks, spread evenly over SECONDS (0: as fast as it can), then walks an
// empty folder and ends. Every
// 16 ms a Down key press is posted to the results table, as the window
// system would deliver it; the time from posting to the end of its handling
// is the key latency. Key presses go on for two seconds after the run ended,
// so the final ordering of all rows is measured too. Thumbnails are made for
// the rows in view from real files (hard links of one picture).
//
// Prints the latencies (median, 99th percentile, maximum), how long the hits
// took to reach the table, and whether every key press was answered within
// 100 ms.

#include "engine/TGraphicSearch.h"
#include "platform/Preferences.h"
#include "signature/TFileInfo.h"
#include "ui/HitListModel.h"
#include "ui/HitTableView.h"
#include "ui/Ovrin.h"
#include "ui/TSearchDlg.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Times posted key presses from posting to the end of their handling.
class KeyProbe : public QObject {
public:
    explicit KeyProbe(QWidget* target) : m_target(target) { target->installEventFilter(this); }

    void press()
    {
        m_posted.push_back(Clock::now());
        QCoreApplication::postEvent(m_target,
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
    }

    std::vector<double> latencies; // milliseconds

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_target || event->type() != QEvent::KeyPress || m_inside ||
            m_posted.empty())
            return false;
        // Handle it here, so the time includes what the table does with it.
        QKeyEvent copy(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        m_inside = true;
        QCoreApplication::sendEvent(m_target, &copy);
        m_inside = false;
        const auto done = Clock::now();
        latencies.push_back(
            std::chrono::duration<double, std::milli>(done - m_posted.front()).count());
        m_posted.pop_front();
        return true;
    }

private:
    QWidget* m_target;
    std::deque<Clock::time_point> m_posted;
    bool m_inside = false;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int hitCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    const double spread = argc > 2 ? std::max(0.0, std::atof(argv[2])) : 5.0;

    QTemporaryDir dir;
    ovrin::platform::Preferences::setStoreFileForTesting(
        dir.filePath(QStringLiteral("settings.ini")).toStdString());
    QDir(dir.path()).mkpath(QStringLiteral("empty"));
    QDir(dir.path()).mkpath(QStringLiteral("hits"));
    const QString target = dir.filePath(QStringLiteral("target.jpg"));
    {
        QImage picture(1200, 800, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient gradient(0, 0, 1200, 800);
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(240, 200, 120));
        painter.fillRect(picture.rect(), gradient);
        painter.end();
        picture.save(target, "JPEG", 85);
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(hitCount));
    for (int i = 0; i < hitCount; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("hits/photo-%1.jpg").arg(i, 5, 10, QLatin1Char('0')));
        if (::link(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) != 0)
            return std::fprintf(stderr, "cannot make %s\n", qPrintable(path)), 1;
        paths.push_back(path.toStdString());
    }

    ovrin::ui::Ovrin controller;
    QMainWindow* window = controller.mainWindow();
    window->resize(1280, 800);
    window->show();
    ovrin::TGraphicSearch& engine = controller.engine();
    engine.target().setFilePath(target.toStdString());
    engine.setTopDirPath(dir.filePath(QStringLiteral("empty")).toStdString());
    engine.setSearchMethod(ovrin::TGraphicSearch::kSearchDirectory);

    Clock::time_point started;
    Clock::time_point fed;
    engine.setThreadStarter([&](std::function<void()> body) {
        std::thread([&, body] {
            // The target's signature is made before the worker starts.
            const std::vector<std::int16_t> base = engine.target().thumbnail();
            QRandomGenerator random(7);
            started = Clock::now();
            for (int i = 0; i < hitCount; ++i) {
                auto info = std::make_shared<ovrin::TFileInfo>(paths[static_cast<std::size_t>(i)]);
                controller.progressCallback(info);
                std::vector<std::int16_t> values = base;
                for (auto& value : values)
                    if (random.bounded(8) == 0)
                        value = static_cast<std::int16_t>(value ^ 0x0011);
                info->setThumbnail(values);
                info->setMatchRate(70 + random.bounded(31));
                controller.hitItemCallback(info);
                if (spread > 0.0)
                    std::this_thread::sleep_until(
                        started + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(spread * (i + 1) / hitCount)));
            }
            fed = Clock::now();
            body();
        }).detach();
        return true;
    });

    KeyProbe probe(controller.widgets().tvResult);
    QTimer keys;
    keys.setInterval(16);
    QObject::connect(&keys, &QTimer::timeout, &probe, [&probe] { probe.press(); });

    Clock::time_point shown;
    bool ended = false;
    ovrin::ui::TSearchDlg* dialog = controller.searchDlg();
    QTimer::singleShot(200, dialog, [dialog] { dialog->okAction(); });
    QTimer::singleShot(0, &controller, [&] {
        controller.widgets().tvResult->setFocus();
        keys.start();
        controller.menuSearchAction();
    });
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, &controller, [&] {
        if (shown == Clock::time_point() && controller.hits()->rowCount() >= hitCount)
            shown = Clock::now();
        if (!ended && !engine.isWorking() && shown != Clock::time_point() &&
            controller.widgets().btnSearch->text() == ovrin::ui::Ovrin::searchTitle()) {
            ended = true;
            QTimer::singleShot(2000, &app, [&] {
                keys.stop();
                QApplication::quit();
            });
        }
    });
    watch.start();
    QTimer::singleShot(120000, &app, [] { QApplication::quit(); });
    QApplication::exec();
    window->close();

    const auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    const double worst = probe.latencies.empty()
                             ? 0.0
                             : *std::max_element(probe.latencies.begin(), probe.latencies.end());
    std::printf("hits handed over:           %d in %.0f ms\n", hitCount, ms(started, fed));
    std::printf("all hits in the table after %.0f ms\n", ms(started, shown));
    std::printf("rows shown at the end:      %d\n", controller.hits()->rowCount());
    std::printf("key presses answered:       %zu\n", probe.latencies.size());
    std::printf("key latency: median %.1f ms, 99th percentile %.1f ms, max %.1f ms\n",
                percentile(probe.latencies, 0.5), percentile(probe.latencies, 0.99), worst);
    std::printf("every key press answered within 100 ms: %s\n", worst <= 100.0 ? "yes" : "NO");
    return 0;
}
