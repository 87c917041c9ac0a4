// Responsiveness of the main window under a flood of hits.
//
//   ovrin-window-bench [HITS [SECONDS]]      (defaults: 20,000 hits over 5 s)
//
// Runs the real window offscreen (1280 x 800) and starts a real search whose
// worker first hands HITS hits and as many progress reports to the window's
// RunBridge, spread evenly over SECONDS (0: as fast as it can), then walks an
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
//
//   ovrin-window-bench groups [PICTURES [GROUPS]]   (defaults: 50,000 in 20,000 groups)
//
// The same while the window opens a saved review of PICTURES pictures in
// GROUPS groups (hard links of one picture, so that each stamp still holds),
// as File → Open Review does, and then for five seconds while the tree is
// scrolled: every 16 ms a key press goes to the groups, Down, Down, Page Down
// and Space in turn, posted from a thread of its own, so that a UI thread busy
// opening the review still receives them on time. Prints how long the opening
// took and the latencies, in all, of the keys posted once the groups were
// shown, and per key, each also as the time the view took to handle it
// alone, apart from its wait in the queue.

#include "engine/ReviewFile.h"
#include "engine/TGraphicSearch.h"
#include "settings/Preferences.h"
#include "signature/TFileInfo.h"
#include "ui/GroupTreeModel.h"
#include "ui/HitListModel.h"
#include "ui/HitTableView.h"
#include "ui/Ovrin.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMainWindow>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Times posted key presses from posting to the end of their handling.
class KeyProbe : public QObject {
public:
    explicit KeyProbe(QWidget* target) : m_target(target) { target->installEventFilter(this); }

    // From any thread: the window system delivers keys while the UI thread is busy.
    void press(Qt::Key key = Qt::Key_Down)
    {
        {
            const std::lock_guard lock(m_lock);
            m_posted.push_back({Clock::now(), key});
        }
        QCoreApplication::postEvent(m_target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    }

    std::vector<double> latencies;         // milliseconds
    std::vector<Clock::time_point> posted; // when each was posted
    std::vector<double> handling;          // milliseconds the view took with it
    std::vector<Qt::Key> keysHandled;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_target || event->type() != QEvent::KeyPress || m_inside)
            return false;
        std::pair<Clock::time_point, Qt::Key> entry;
        {
            const std::lock_guard lock(m_lock);
            if (m_posted.empty())
                return false;
            entry = m_posted.front();
            m_posted.pop_front();
        }
        // Handle it here, so the time includes what the view does with it.
        QKeyEvent copy(QEvent::KeyPress, entry.second, Qt::NoModifier);
        const auto start = Clock::now();
        m_inside = true;
        QCoreApplication::sendEvent(m_target, &copy);
        m_inside = false;
        const auto done = Clock::now();
        latencies.push_back(std::chrono::duration<double, std::milli>(done - entry.first).count());
        posted.push_back(entry.first);
        handling.push_back(std::chrono::duration<double, std::milli>(done - start).count());
        keysHandled.push_back(entry.second);
        return true;
    }

private:
    QWidget* m_target;
    std::mutex m_lock;
    std::deque<std::pair<Clock::time_point, Qt::Key>> m_posted;
    bool m_inside = false;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto at =
        static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
    return values[std::min(at, values.size() - 1)];
}

void printLatencies(const char* what, const std::vector<double>& latencies)
{
    const double worst =
        latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end());
    std::printf("%s: %zu key presses, median %.1f ms, 99th percentile %.1f ms, max %.1f ms\n", what,
                latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99), worst);
}

int groupsBench(QApplication& app, int pictureCount, int groupCount)
{
    groupCount = std::min(groupCount, pictureCount / 2);
    QTemporaryDir dir;
    ovrin::Preferences::setStoreFileForTesting(
        dir.filePath(QStringLiteral("settings.ini")).toStdString());
    QDir(dir.path()).mkpath(QStringLiteral("photos"));
    const QString picture = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QImage image(800, 600, QImage::Format_RGB32);
        image.fill(QColor(90, 140, 200));
        image.save(picture, "JPEG", 85);
    }
    constexpr int kCount = 64; // values of a signature at pixel number 8
    ovrin::Review review;
    ovrin::SignatureTable& table = review.result.table;
    table.count = kCount;
    QRandomGenerator random(11);
    for (int i = 0; i < pictureCount; ++i) {
        const QString path = dir.filePath(QStringLiteral("photos/folder-%1/IMG_%2.jpg")
                                              .arg(i / 1000)
                                              .arg(i, 6, 10, QLatin1Char('0')));
        if (i % 1000 == 0)
            QDir().mkpath(QFileInfo(path).absolutePath());
        if (::link(QFile::encodeName(picture).constData(), QFile::encodeName(path).constData()) !=
            0)
            return std::fprintf(stderr, "cannot make %s\n", qPrintable(path)), 1;
        table.paths.push_back(path.toStdString());
        for (int v = 0; v < kCount; ++v)
            table.values.push_back(static_cast<std::int16_t>(random.bounded(4096)));
        ovrin::FineSignature fine;
        fine.width = 4000;
        fine.height = 3000;
        fine.mean = 120;
        fine.spread = 90;
        fine.hash = {random.generate64(), random.generate64() & 0x3FFFFFFull};
        table.fine.push_back(fine);
    }
    // Every link moved the shared inode's status change time: stamps are
    // taken once all are made.
    const auto stamp = ovrin::ReviewFile::stampNow(table.paths.front());
    if (!stamp)
        return std::fprintf(stderr, "cannot look at the pictures\n"), 1;
    table.facts.assign(table.paths.size(),
                       {12'000'000, stamp->size, stamp->modifiedNs, stamp->changedNs});
    std::size_t next = 0;
    for (int g = 0; g < groupCount; ++g) {
        // Sizes as even as the counts allow, the larger groups first.
        const std::size_t size = static_cast<std::size_t>(pictureCount / groupCount) +
                                 (g < pictureCount % groupCount ? 1U : 0U);
        ovrin::LookAlikeGroup group;
        group.reference = next++;
        for (std::size_t m = 1; m < size; ++m)
            group.members.push_back({next++, 90 - static_cast<int>(m), 99.0 - double(m)});
        review.result.groups.push_back(std::move(group));
    }
    review.referenceGone.assign(review.result.groups.size(), false);
    review.marked.assign(table.paths.size(), false);
    const std::vector<std::uint8_t> bytes = ovrin::ReviewFile::encode(review);
    const QString file = dir.filePath(QStringLiteral("review.ovr"));
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) !=
                qint64(bytes.size()))
            return std::fprintf(stderr, "cannot write %s\n", qPrintable(file)), 1;
    }
    ovrin::ui::UiHooks::setOpenFile(
        // NOLINTNEXTLINE(performance-no-automatic-move): called for every export, each gets a copy
        [file](QWidget*, const QString&, const QString&, const QString&) { return file; });

    ovrin::ui::Ovrin controller;
    QMainWindow* window = controller.mainWindow();
    window->resize(1280, 800);
    window->show();
    QWidget* tree = controller.widgets().tvGroups;
    KeyProbe probe(tree);
    // Keys come from a thread of their own, so that they keep coming while
    // the UI thread opens the review.
    std::atomic<bool> typing{true};
    std::thread typist([&] {
        static constexpr Qt::Key kinds[] = {Qt::Key_Down, Qt::Key_Down, Qt::Key_PageDown,
                                            Qt::Key_Space};
        auto due = Clock::now();
        for (int pressed = 0; typing.load(); ++pressed) {
            probe.press(kinds[pressed % 4]);
            due += std::chrono::milliseconds(16);
            std::this_thread::sleep_until(due);
        }
    });
    Clock::time_point opening;
    Clock::time_point opened;
    QTimer::singleShot(0, &controller, [&] { tree->setFocus(); });
    QTimer::singleShot(300, &controller, [&] {
        opening = Clock::now();
        controller.menuOpenReviewAction();
    });
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, &controller, [&] {
        if (opening == Clock::time_point() || opened != Clock::time_point() ||
            controller.groups()->rowCount() == 0)
            return;
        opened = Clock::now();
        QTimer::singleShot(5000, &app, [&] {
            typing.store(false);
            QApplication::quit();
        });
    });
    watch.start();
    QTimer::singleShot(120000, &app, [&] {
        typing.store(false);
        QApplication::quit();
    });
    QApplication::exec();
    typist.join();
    QCoreApplication::processEvents(); // the keys still on their way
    window->close();

    std::vector<double> after;
    for (std::size_t i = 0; i < probe.latencies.size(); ++i)
        if (probe.posted[i] > opened)
            after.push_back(probe.latencies[i]);
    std::printf("review of %d pictures in %d groups: %zu bytes\n", pictureCount, groupCount,
                bytes.size());
    std::printf("opened in %.0f ms; groups shown: %d, pictures held: %lld\n",
                std::chrono::duration<double, std::milli>(opened - opening).count(),
                controller.groups()->rowCount(),
                static_cast<long long>(controller.groups()->picturesHeld()));
    printLatencies("all key presses", probe.latencies);
    printLatencies("posted once shown", after);
    printLatencies("handling alone", probe.handling);
    for (const auto& [key, name] :
         {std::pair{Qt::Key_Down, "Down"}, std::pair{Qt::Key_PageDown, "Page Down"},
          std::pair{Qt::Key_Space, "Space"}}) {
        std::vector<double> ofKey;
        std::vector<double> handled;
        for (std::size_t i = 0; i < probe.latencies.size(); ++i)
            if (probe.posted[i] > opened && probe.keysHandled[i] == key) {
                ofKey.push_back(probe.latencies[i]);
                handled.push_back(probe.handling[i]);
            }
        printLatencies(name, ofKey);
        printLatencies("  handling alone", handled);
    }
    const double worst = probe.latencies.empty()
                             ? 0.0
                             : *std::max_element(probe.latencies.begin(), probe.latencies.end());
    std::printf("every key press answered within 100 ms: %s\n", worst <= 100.0 ? "yes" : "NO");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "groups") == 0)
        return groupsBench(
            app,
            argc > 2 ? std::max(2, static_cast<int>(std::strtol(argv[2], nullptr, 10))) : 50000,
            argc > 3 ? std::max(1, static_cast<int>(std::strtol(argv[3], nullptr, 10))) : 20000);
    const int hitCount =
        argc > 1 ? std::max(1, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 20000;
    const double spread = argc > 2 ? std::max(0.0, std::strtod(argv[2], nullptr)) : 5.0;

    QTemporaryDir dir;
    ovrin::Preferences::setStoreFileForTesting(
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
    engine.setSearchMethod(ovrin::SearchMethod::Directory);

    Clock::time_point started;
    Clock::time_point fed;
    engine.setThreadStarter([&](const std::function<void()>& body) {
        std::thread([&, body] {
            // The target's signature is made before the worker starts.
            const std::vector<std::int16_t> base = engine.target().thumbnail();
            QRandomGenerator random(7);
            started = Clock::now();
            for (int i = 0; i < hitCount; ++i) {
                auto info = std::make_shared<ovrin::TFileInfo>(paths[static_cast<std::size_t>(i)]);
                controller.bridge().progressCallback(info);
                std::vector<std::int16_t> values = base;
                for (auto& value : values)
                    if (random.bounded(8) == 0)
                        value = static_cast<std::int16_t>(value ^ 0x0011);
                info->setThumbnail(values);
                info->setMatchRate(70 + random.bounded(31));
                controller.bridge().hitItemCallback(info);
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
