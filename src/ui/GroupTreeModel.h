#pragma once

#include "engine/LookAlikeGroups.h"
#include "indexfile/FileStamp.h"
#include "ui/PictureFacts.h"

#include <QAbstractItemModel>
#include <QItemSelection>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ovrin {
struct LookAlikeResult;
}

namespace ovrin::ui {

class MarkSet;
class ThumbnailCache;

// The look-alike groups of a grouping as a tree: each group's reference (the
// copy to keep) is a top-level row, its members the rows beneath it, in the engine's order
// (groups largest first, members best first), or sorted by a column: the
// members within each group, and the groups by their references, the engine's
// order between equals. The facts of members are told against their
// reference's. Rows leave the tree when their
// pictures go to the trash; a group keeps its reference row while members are
// left (marked as gone when the reference itself went), and leaves the tree
// with its last member, since a single picture is no group. Each picture's row
// carries a check box for its mark in a MarkSet.
class GroupTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    static constexpr int kPathColumn = 0;
    static constexpr int kRateColumn = 1;
    static constexpr int kLikenessColumn = 2;
    static constexpr int kDimensionsColumn = 3;
    static constexpr int kSizeColumn = 4;
    static constexpr int kModifiedColumn = 5;
    static constexpr int kFolderColumn = 6;
    static constexpr int kColumnCount = 7;

    explicit GroupTreeModel(QObject* parent = nullptr);
    ~GroupTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    // A column below 0 gives back the engine's order.
    void sort(int column, Qt::SortOrder order) override;

    // `bits`: those the grouping compared at, for comparing members again
    // with another reference. A new result drops every mark.
    void setResult(std::shared_ptr<const LookAlikeResult> result,
                   std::int32_t bits = search::kDefaultBits);
    // The groups of a saved review: per group whether its reference is gone.
    void setResult(std::shared_ptr<const LookAlikeResult> result, std::vector<bool> referenceGone,
                   std::int32_t bits);
    void clear();
    std::int32_t bits() const { return m_bits; }
    // How members are compared again with another reference: at the
    // grouping's similarity, in every form where it took any orientation.
    void compareAs(Similarity similarity, bool anyOrientation)
    {
        m_similarity = similarity;
        m_anyOrientation = anyOrientation;
    }
    bool anyOrientation() const { return m_anyOrientation; }

    // The groups as they stand, and the pictures they still hold.
    const std::vector<LookAlikeGroup>& groups() const { return m_groups; }
    std::int64_t picturesHeld() const;
    const std::vector<bool>& referenceGone() const { return m_referenceGone; }
    // Whether the reference of groups()[group] went (its members stay).
    bool referenceGone(std::size_t group) const { return m_referenceGone[group]; }
    // The result the groups came from; null before one.
    const LookAlikeResult* result() const { return m_result.get(); }

    bool isReference(const QModelIndex& index) const;
    // The row of the index's group reference (itself for a reference).
    QModelIndex referenceOf(const QModelIndex& index) const;
    // Empty for a reference that went to the trash.
    std::string path(const QModelIndex& index) const;
    // Of the rows named, once each, in tree order; none for a gone reference.
    std::vector<std::string> paths(const QModelIndexList& indexes) const;
    // The same for whole rows of a selection, taken range by range: a
    // selection model's selectedRows() slows down with the square of its
    // ranges, one per group after selecting every group's members.
    std::vector<std::string> paths(const QItemSelection& selection) const;
    // Every member row of every group, whole rows: what to select to clear
    // the look-alikes and keep one picture of each group.
    QItemSelection allMembers() const;

    // Every member of every group (all but the copies kept); every picture
    // of the index's group; every picture shown.
    std::vector<std::string> memberPaths() const;
    std::vector<std::string> groupPaths(const QModelIndex& index) const;
    std::vector<std::string> allPaths() const;
    // The reference row of the group `step` groups after (before, when
    // negative) the index's; none past either end. From no index, the first
    // group forward and the last backward.
    QModelIndex stepGroup(const QModelIndex& from, int step) const;

    // The member becomes the copy its group keeps: the former reference (if
    // still there) joins the members, and every member is compared again with
    // the new one, as the grouping compares them. The new reference loses its
    // mark. False for a reference row or no row.
    bool makeReference(const QModelIndex& member);

    // Removes the rows of these paths and their marks; answers how many
    // pictures went.
    int removePaths(const std::vector<std::string>& paths);
    // Puts back the rows of removed paths, as the result has them (an undo);
    // the tree is laid out anew.
    int restorePaths(const std::vector<std::string>& paths);
    // The stamp of a picture put back by an undo, whose move back stamped it
    // anew; none for the others, which keep the result's.
    std::optional<FileStamp> restamped(const std::string& path) const;
    // Takes the stamps the references of the groups holding these members
    // have now.
    void restampReferencesOf(const std::vector<std::string>& members);

    void setThumbnails(ThumbnailCache* thumbnails) { m_thumbnails = thumbnails; }
    void setMarks(MarkSet* marks);

private:
    // The group of a row and its member (-1 for the reference row); -1 for
    // no group.
    std::pair<int, int> locate(const QModelIndex& index) const;
    QModelIndex referenceIndex(std::size_t group, int column) const;
    QModelIndex memberIndex(std::size_t group, int member, int column) const;
    std::vector<std::string> paths(const std::set<std::pair<int, int>>& rows) const;
    const std::string& tablePath(std::size_t entry) const;
    // The other paths of an entry's file; empty for most.
    const std::vector<std::string>& aliasesOf(std::size_t entry) const;
    void renumber();
    void marksChanged();
    LookAlikeMember compared(std::size_t reference, std::size_t entry) const;
    void arrangeReference(std::size_t arranged, std::size_t chosen);
    void sortMembers(std::vector<LookAlikeMember>& members) const;
    PictureFacts factsOf(std::size_t entry) const;
    QVariant factData(std::size_t entry, std::size_t reference, bool isReference, int column,
                      int role) const;
    std::vector<std::int64_t> sortKeys() const;
    void applyOrder();

    std::shared_ptr<const LookAlikeResult> m_result;
    std::int32_t m_bits = search::kDefaultBits;
    Similarity m_similarity = Similarity::Normal;
    bool m_anyOrientation = false;
    MarkSet* m_marks = nullptr;
    std::vector<LookAlikeGroup> m_groups;
    // Per group: whether its reference went, and its number among the groups
    // as found (from 1), which its indexes carry, so that removing a group
    // never makes another group's indexes point elsewhere.
    std::vector<bool> m_referenceGone;
    std::vector<std::size_t> m_ids;
    std::vector<int> m_rowOfId; // by id - 1; -1 once removed
    // The groups as the result and Make Reference arranged them, removed
    // pictures included (by id - 1), and whose reference was gone when they
    // came: what an undo lays out again without the pictures still removed.
    std::vector<LookAlikeGroup> m_arranged;
    std::vector<bool> m_arrangedGone;
    // The pictures removed since the result came.
    std::set<std::string> m_removed;
    std::map<std::string, FileStamp> m_restamped;
    ThumbnailCache* m_thumbnails = nullptr;
    // By table entry: a member's place in its group as the engine gave it,
    // and the fact cells as shown, made when first asked for (a view asks
    // for the rows it paints, again at every paint).
    std::vector<std::uint32_t> m_engineRank;
    struct Cells {
        QString text[4];
    };
    mutable std::unordered_map<std::size_t, Cells> m_cells;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace ovrin::ui
