#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

namespace ovrin {
class TFileInfo;
}

namespace ovrin::ui {

// The results table's data: one row per hit, in the order the engine reported
// them. Columns are identified by "MATCHRATE" and "FILEPATH" (asked through
// kIdentifierRole on the header); rows are never edited or sorted. A hit
// appends one row, so a run with very many hits never resets the view.
class HitListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kIdentifierRole = Qt::UserRole + 1;

    explicit HitListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The cell for a column identifier, as the table asks for it: no value
    // outside the hit list or for another identifier.
    QVariant objectValue(const QString& identifier, int row) const;

    void append(std::shared_ptr<TFileInfo> hit);
    void clear();
    std::shared_ptr<TFileInfo> hit(int row) const;

private:
    std::vector<std::shared_ptr<TFileInfo>> m_hits;
};

} // namespace ovrin::ui
