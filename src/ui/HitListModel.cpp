#include "ui/HitListModel.h"

#include "signature/TFileInfo.h"

namespace ovrin::ui {

namespace {

const QString kColumns[] = {QStringLiteral("MATCHRATE"), QStringLiteral("FILEPATH")};

} // namespace

HitListModel::HitListModel(QObject* parent) : QAbstractTableModel(parent) {}

int HitListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_hits.size());
}

int HitListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant HitListModel::objectValue(const QString& identifier, int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_hits.size())
        return {};
    const TFileInfo& info = *m_hits[static_cast<std::size_t>(row)];
    if (identifier == kColumns[0]) {
        if (const auto rate = info.matchRateNumber())
            return *rate;
        return {};
    }
    if (identifier == kColumns[1]) {
        if (const auto& path = info.filePath())
            return QString::fromStdString(*path);
        return {};
    }
    return {};
}

QVariant HitListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.column() > 1)
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return objectValue(kColumns[index.column()], index.row());
    if (role == Qt::TextAlignmentRole && index.column() == 0)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 1)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == kIdentifierRole)
        return kColumns[section];
    if (role == Qt::DisplayRole)
        return section == 0 ? tr("Match rate (%)") : tr("File");
    return {};
}

Qt::ItemFlags HitListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void HitListModel::append(std::shared_ptr<TFileInfo> hit)
{
    const int row = static_cast<int>(m_hits.size());
    beginInsertRows({}, row, row);
    m_hits.push_back(std::move(hit));
    endInsertRows();
}

void HitListModel::clear()
{
    beginResetModel();
    m_hits.clear();
    endResetModel();
}

std::shared_ptr<TFileInfo> HitListModel::hit(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_hits.size())
        return nullptr;
    return m_hits[static_cast<std::size_t>(row)];
}

} // namespace ovrin::ui
