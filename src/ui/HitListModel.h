#pragma once

#include "indexfile/FileStamp.h"
#include "signature/Orientation.h"
#include "ui/PictureFacts.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovrin {
class TFileInfo;
}

namespace ovrin::ui {

class MarkSet;
class ThumbnailCache;

// One hit as the window keeps it: the engine's record, how alike it is to the
// target beyond its rate, and whether it is the target itself.
struct HitRecord {
    std::shared_ptr<TFileInfo> hit;
    double likeness = 0.0;
    bool isTarget = false;
    // The file as it was when the hit was reported: an action on it checks
    // the stamp again first. None where it could not be looked at.
    std::optional<FileStamp> stamp = std::nullopt;
    // The picture's pixels as seen (orientation applied); 0 where unknown.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The results table's data: one row per hit. Columns are identified by
// "MATCHRATE", "FILEPATH", "DIMENSIONS", "FILESIZE", "MODIFIED" and "FOLDER"
// (asked through kIdentifierRole on the header). The facts are told against
// the target's where both are known. The engine's order and rates are kept on
// the records; the rows are a view order: best first (rate, then likeness),
// or by a column with the engine's order between equals. While a run goes on,
// new hits join at the end so that nothing moves under the pointer; when it
// ends, the chosen order takes in every row. The path cell carries a check
// box for the hit's mark in a MarkSet, which keeps it by path.
class HitListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kIdentifierRole = Qt::UserRole + 1;
    static constexpr int kRateColumn = 0;
    static constexpr int kPathColumn = 1;
    static constexpr int kDimensionsColumn = 2;
    static constexpr int kSizeColumn = 3;
    static constexpr int kModifiedColumn = 4;
    static constexpr int kFolderColumn = 5;
    static constexpr int kColumnCount = 6;

    explicit HitListModel(QObject* parent = nullptr);
    ~HitListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // The cell for a column identifier, as the table asks for it: no value
    // outside the hit list or for another identifier.
    QVariant objectValue(const QString& identifier, int row) const;

    void appendHits(std::vector<HitRecord> hits);
    void append(std::shared_ptr<TFileInfo> hit) { appendHits({HitRecord{std::move(hit)}}); }
    // Drops every row and every mark.
    void clear();
    void setLive(bool live);
    // Removes the rows of these paths and their marks; answers how many went.
    // They are kept aside until the list is cleared, so that an undo can put
    // them back.
    int removePaths(const std::vector<std::string>& paths);
    int restorePaths(const std::vector<std::string>& paths);

    std::shared_ptr<TFileInfo> hit(int row) const;
    // Null outside the list.
    const HitRecord* record(int row) const;
    std::string path(int row) const;
    double likeness(int row) const;
    bool isTarget(int row) const;
    std::vector<std::string> paths(const QModelIndexList& rows) const;
    // Every hit shown, in row order, the target's row only `withTarget`.
    std::vector<std::string> allPaths(bool withTarget = true) const;

    // The rows in the order shown: rate, path (escaped as the command line's
    // CSV escapes it) and likeness.
    QByteArray toCsv() const;

    void setThumbnails(ThumbnailCache* thumbnails);
    void setMarks(MarkSet* marks);

    // The target's facts, which the hits are told against; a hit that is the
    // target itself gives them where it comes.
    void setTargetFacts(const PictureFacts& facts);
    const PictureFacts& targetFacts() const { return m_target; }
    static PictureFacts factsOf(const HitRecord& record);
    // How a hit lies against the target, as the rate's tooltip tells it;
    // empty for a hit as the target lies.
    static QString orientationText(Orientation orientation);

private:
    struct Row;
    void applyOrder();
    // One notice for the columns first..last of every row.
    void everyRowChanged(int first, int last, const QList<int>& roles = {});
    QVariant factData(const Row& row, int column, int role) const;
    const QString& factCell(const Row& row, int column) const;
    std::vector<std::int64_t> factKeys() const;

    std::vector<Row> m_rows;
    std::vector<Row> m_removed;
    std::uint64_t m_arrivals = 0;
    int m_sortColumn = kRateColumn;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    bool m_live = false;
    ThumbnailCache* m_thumbnails = nullptr;
    MarkSet* m_marks = nullptr;
    PictureFacts m_target;
};

} // namespace ovrin::ui
