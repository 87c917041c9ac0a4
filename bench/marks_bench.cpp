// Marking and unmarking every row at once in the groups tree and the hits
// table, shown on screen: 50,000 rows each by default.
#include "engine/RunContext.h"
#include "signature/TFileInfo.h"
#include "ui/GroupTreeModel.h"
#include "ui/GroupTreeView.h"
#include "ui/HitListModel.h"
#include "ui/HitTableView.h"
#include "ui/MarkSet.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows =
        argc > 1 ? std::max(2, static_cast<int>(std::strtol(argv[1], nullptr, 10))) : 50000;
    using namespace ovrin;
    using namespace ovrin::ui;

    // Pairs: a reference and one member each, as a large collection of
    // duplicates gives them.
    auto result = std::make_shared<LookAlikeResult>();
    for (int i = 0; i < rows; ++i)
        result->table.paths.push_back("/photos/" + std::to_string(i / 1000) + "/p" +
                                      std::to_string(i) + ".jpg");
    for (int g = 0; g + 1 < rows; g += 2)
        result->groups.push_back(
            {static_cast<std::size_t>(g), {{static_cast<std::size_t>(g + 1), 90, 95.0}}});
    MarkSet groupMarks;
    GroupTreeModel groups;
    groups.setMarks(&groupMarks);
    groups.setResult(result);
    GroupTreeView tree;
    tree.setModel(&groups);
    tree.setUniformRowHeights(true);
    tree.expandAll();
    tree.resize(1000, 700);
    tree.show();

    MarkSet hitMarks;
    HitListModel hits;
    hits.setMarks(&hitMarks);
    std::vector<HitRecord> records;
    for (const std::string& path : result->table.paths) {
        auto hit = std::make_shared<TFileInfo>(path);
        hit->setMatchRate(80);
        records.push_back(HitRecord{hit});
    }
    hits.appendHits(std::move(records));
    HitTableView table;
    table.setModel(&hits);
    table.resize(1000, 700);
    table.show();
    QApplication::processEvents();

    const auto timed = [](const char* what, const auto& step) {
        QElapsedTimer clock;
        clock.start();
        step();
        QApplication::processEvents();
        std::printf("%-40s %8.1f ms\n", what, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    };
    std::printf("%d rows in each view\n", rows);
    timed("groups: mark all but the kept copies",
          [&] { groupMarks.setMarked(groups.memberPaths(), true); });
    timed("groups: mark every row", [&] { groupMarks.setMarked(groups.allPaths(), true); });
    timed("groups: unmark all", [&] { groupMarks.setMarked(groupMarks.marked(), false); });
    timed("hits: mark every row", [&] { hitMarks.setMarked(hits.allPaths(), true); });
    timed("hits: sort by path with every row marked",
          [&] { hits.sort(HitListModel::kPathColumn, Qt::AscendingOrder); });
    timed("hits: unmark all", [&] { hitMarks.clear(); });
    return 0;
}
