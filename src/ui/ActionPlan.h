#pragma once

#include "engine/ReviewActions.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace ovrin::ui {

class GroupTreeModel;
class HitListModel;
class MarkSet;
struct ActionConfirmation;

// What an action of the window is asked to do, built from the rows a person
// chose, with what its rules will refuse told beforehand. The journal checks
// the same rules again, and the files themselves, when it acts: the plan only
// lets the confirmation say what will happen.
struct ActionPlan {
    ActionRequest request;
    // Left out by the rules of the request (group, target, protection,
    // aliases), in the order asked.
    std::vector<ActionOutcome> refused;
    // The others, with their sizes as examined.
    struct Entry {
        std::string path;
        std::int64_t size = 0;
    };
    std::vector<Entry> acting;
    std::int64_t totalSize = 0;
    // Whether the pictures are the marked ones rather than the selection.
    bool marked = false;

    std::size_t asked() const { return request.items.size(); }
};

// Each member of a group asked for, examined as the grouping saw it; the kept
// pictures of its group are those it still holds (reference first, a gone
// reference not) and nobody asked for.
ActionPlan planForGroups(ActionKind kind, const GroupTreeModel& groups,
                         const std::vector<std::string>& paths, const MarkSet& marks);
// Each hit asked for, examined as the search reported it. The target is named
// only when it is the one picture asked for.
ActionPlan planForHits(ActionKind kind, const HitListModel& hits,
                       const std::vector<std::string>& paths, const std::string& target,
                       const MarkSet& marks);

// The deepest folder that holds every path; "/" when they share none.
std::string commonFolder(const std::vector<std::string>& paths);

// The texts of the actions, for menus, the confirmation and the reports.
class ActionText {
    Q_DECLARE_TR_FUNCTIONS(ActionText)

public:
    // As in the menu: "Move to Trash", "Move to Folder", "Replace with Hard Link".
    static QString name(ActionKind kind);
    // Why a picture was left as it was, for a line after its path.
    static QString refusal(const ActionOutcome& outcome);
    static ActionConfirmation confirmation(const ActionPlan& plan);
    // Busy text while the journal works.
    static QString working(ActionKind kind, std::size_t count, bool undo);
    // The status line after an action or its undo: what was done, and what
    // was refused with the first reasons.
    static QString line(const ActionReport& report);
    // An alert's message and details, for a report that refused something.
    static QString alertMessage(const ActionReport& report);
    static QString alertDetails(const ActionReport& report);
};

} // namespace ovrin::ui
