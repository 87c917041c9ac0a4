// Sorting the window's views by their columns.
//
//   ovrin-facts-bench [ROWS]      (default: 50,000)
//
// Fills the groups tree with ROWS pictures in groups of five (every group
// expanded, every member selected, as after "Select All Members") and the hits
// table with ROWS hits, both in real views offscreen, then sorts each by every
// column, ascending and descending, and back to the engine's order. Prints the
// seconds each sort takes, the view's handling of the new order included, and
// the time to paint a screenful of each view after it. NOSELECT=1 leaves the
// members unselected.

#include "engine/RunContext.h"
#include "signature/TFileInfo.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QRandomGenerator>
#include <QTableView>
#include <QTreeView>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string pathOf(std::size_t i, QRandomGenerator& random)
{
    return "/home/someone/Pictures/" + std::to_string(random.bounded(40)) + "/shoot " +
           std::to_string(random.bounded(400)) + "/IMG_" + std::to_string(i) + ".jpg";
}

double seconds(QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

template <typename View>
void measure(const char* name, View& view, int columns, int skip)
{
    for (int column = 0; column < columns; ++column) {
        if (column == skip)
            continue;
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            QElapsedTimer timer;
            timer.start();
            view.sortByColumn(column, order);
            QCoreApplication::processEvents();
            const double sorted = seconds(timer);
            timer.restart();
            view.viewport()->repaint();
            std::printf("%-6s column %d %-10s sort %.3f s, paint %.3f s, %lld selection ranges\n",
                        name, column, order == Qt::AscendingOrder ? "ascending" : "descending",
                        sorted, seconds(timer),
                        static_cast<long long>(view.selectionModel()->selection().size()));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t rows = argc > 1 ? std::stoul(argv[1]) : 50'000;
    QRandomGenerator random(17);

    auto result = std::make_shared<ovrin::LookAlikeResult>();
    auto& table = result->table;
    for (std::size_t i = 0; i < rows; ++i) {
        table.paths.push_back(pathOf(i, random));
        ovrin::FineSignature fine;
        fine.width = 800 + random.bounded(4000);
        fine.height = 600 + random.bounded(3000);
        table.fine.push_back(fine);
        table.facts.push_back(
            {std::int64_t{fine.width} * fine.height, random.bounded(100'000, 9'000'000),
             1'600'000'000'000'000'000 + random.bounded(1'000'000) * std::int64_t{100'000'000'000},
             0});
    }
    for (std::size_t first = 0; first + 5 <= rows; first += 5) {
        ovrin::LookAlikeGroup group{first, {}};
        for (std::size_t m = 1; m < 5; ++m)
            group.members.push_back({first + m, 90, 99.0 - static_cast<double>(m)});
        result->groups.push_back(std::move(group));
    }
    ovrin::ui::GroupTreeModel groups;
    ovrin::ui::GroupTreeView tree;
    tree.setUniformRowHeights(true);
    tree.resize(1000, 600);
    tree.setModel(&groups);
    tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree.setSelectionBehavior(QAbstractItemView::SelectRows);
    tree.header()->setSortIndicator(-1, Qt::AscendingOrder);
    tree.setSortingEnabled(true);
    groups.setResult(result);
    tree.expandAll();
    if (!qEnvironmentVariableIsSet("NOSELECT"))
        tree.selectionModel()->select(groups.allMembers(), QItemSelectionModel::Select);
    tree.show();
    QCoreApplication::processEvents();

    ovrin::ui::HitListModel hits;
    std::vector<ovrin::ui::HitRecord> records;
    for (std::size_t i = 0; i < rows; ++i) {
        auto info = std::make_shared<ovrin::TFileInfo>(table.paths[i]);
        info->setMatchRate(70 + static_cast<int>(random.bounded(31)));
        ovrin::ui::HitRecord record{info};
        record.width = table.fine[i].width;
        record.height = table.fine[i].height;
        record.stamp = ovrin::FileStamp{table.facts[i].size, table.facts[i].modifiedNs, 0};
        records.push_back(std::move(record));
    }
    hits.appendHits(std::move(records));
    QTableView list;
    list.resize(1000, 600);
    list.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list.setModel(&hits);
    list.setSortingEnabled(true);
    list.show();
    QCoreApplication::processEvents();

    std::printf("%zu pictures in %zu groups; %zu hits\n", rows, result->groups.size(), rows);
    QElapsedTimer before;
    before.start();
    tree.viewport()->repaint();
    std::printf("groups before sorting: paint %.3f s, %lld selection ranges\n", seconds(before),
                static_cast<long long>(tree.selectionModel()->selection().size()));
    measure("groups", tree, ovrin::ui::GroupTreeModel::kColumnCount, -1);
    QElapsedTimer timer;
    timer.start();
    tree.sortByColumn(-1, Qt::AscendingOrder);
    QCoreApplication::processEvents();
    std::printf("groups engine order  sort %.3f s\n", seconds(timer));
    measure("hits", list, ovrin::ui::HitListModel::kColumnCount, -1);
    return 0;
}
