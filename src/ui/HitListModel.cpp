#include "ui/HitListModel.h"

#include "engine/ReviewActions.h"
#include "output/NameText.h"
#include "signature/TFileInfo.h"
#include "ui/MarkSet.h"
#include "ui/PathDelegate.h"
#include "ui/PathText.h"
#include "ui/ThumbnailCache.h"

#include <QCollator>
#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <iterator>
#include <limits>
#include <numeric>
#include <set>

namespace ovrin::ui {

namespace {

const QString kColumns[] = {QStringLiteral("MATCHRATE"),  QStringLiteral("FILEPATH"),
                            QStringLiteral("DIMENSIONS"), QStringLiteral("FILESIZE"),
                            QStringLiteral("MODIFIED"),   QStringLiteral("FOLDER")};

} // namespace

// NOLINTNEXTLINE(bugprone-reserved-identifier): __i0 is clang's own, copying cells[]
struct HitListModel::Row {
    HitRecord record;
    std::string path;
    QString display;
    std::uint64_t arrival = 0;
    PictureFacts facts;
    QString folder;
    // The fact cells as shown, made when first asked for: a view asks again
    // for every row it paints.
    mutable QString cells[3];
    mutable bool formatted = false;

    std::int32_t rate() const { return record.hit->matchRate(); }
};

HitListModel::HitListModel(QObject* parent) : QAbstractTableModel(parent) {}

QString HitListModel::orientationText(Orientation orientation)
{
    switch (orientation) {
    case Orientation::Upright:
        break;
    case Orientation::Turned90:
        return tr("turned 90°");
    case Orientation::Turned180:
        return tr("turned 180°");
    case Orientation::Turned270:
        return tr("turned 270°");
    case Orientation::Mirrored:
        return tr("mirrored");
    case Orientation::MirroredTurned90:
        return tr("mirrored, turned 90°");
    case Orientation::Flipped:
        return tr("flipped");
    case Orientation::MirroredTurned270:
        return tr("mirrored, turned 270°");
    }
    return {};
}

HitListModel::~HitListModel() = default;

int HitListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int HitListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant HitListModel::objectValue(const QString& identifier, int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return {};
    const Row& hit = m_rows[static_cast<std::size_t>(row)];
    if (identifier == kColumns[kRateColumn]) {
        if (const auto rate = hit.record.hit->matchRateNumber())
            return *rate;
        return {};
    }
    if (identifier == kColumns[kPathColumn]) {
        if (hit.record.hit->filePath())
            return hit.display;
        return {};
    }
    if (identifier == kColumns[kDimensionsColumn]) {
        if (hit.facts.width > 0)
            return QSize(static_cast<int>(hit.facts.width), static_cast<int>(hit.facts.height));
        return {};
    }
    if (identifier == kColumns[kSizeColumn]) {
        if (hit.facts.size >= 0)
            return static_cast<qlonglong>(hit.facts.size);
        return {};
    }
    if (identifier == kColumns[kModifiedColumn]) {
        if (hit.facts.timeKnown)
            return QDateTime::fromMSecsSinceEpoch(hit.facts.modifiedNs / 1'000'000);
        return {};
    }
    if (identifier == kColumns[kFolderColumn]) {
        if (hit.record.hit->filePath())
            return hit.folder;
        return {};
    }
    return {};
}

PictureFacts HitListModel::factsOf(const HitRecord& record)
{
    PictureFacts facts = PictureFacts::of(record.width, record.height);
    if (record.stamp) {
        facts.size = record.stamp->size;
        facts.modifiedNs = record.stamp->modifiedNs;
        facts.timeKnown = true;
    }
    return facts;
}

const QString& HitListModel::factCell(const Row& row, int column) const
{
    if (!row.formatted) {
        // The target is not told against itself.
        const bool against = !row.record.isTarget;
        row.cells[0] =
            FactText::cell(FactText::dimensions(row.facts),
                           against ? FactText::pixelNote(row.facts, m_target) : QString());
        row.cells[1] =
            FactText::cell(FactText::size(row.facts),
                           against ? FactText::sizeNote(row.facts, m_target) : QString());
        row.cells[2] = FactText::cell(FactText::modified(row.facts),
                                      against ? FactText::ageNote(row.facts, m_target) : QString());
        row.formatted = true;
    }
    return row.cells[column - kDimensionsColumn];
}

QVariant HitListModel::factData(const Row& row, int column, int role) const
{
    if (column == kFolderColumn) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole:
        case PathDelegate::kPathRole:
            return row.folder;
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return factCell(row, column);
    case Qt::ToolTipRole: {
        const QString& cell = factCell(row, column);
        const qsizetype line = cell.indexOf(QLatin1Char('\n'));
        if (line < 0)
            return cell;
        return tr("%1\nAgainst the target: %2").arg(cell.left(line), cell.mid(line + 1));
    }
    case Qt::AccessibleTextRole:
        return QString(factCell(row, column)).replace(QLatin1Char('\n'), QStringLiteral(", "));
    case Qt::FontRole:
        if (row.record.isTarget) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (column == kModifiedColumn)
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant HitListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() < 0 || index.column() >= kColumnCount ||
        index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_rows.size())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    if (index.column() >= kDimensionsColumn)
        return factData(row, index.column(), role);
    const bool rateColumn = index.column() == kRateColumn;
    switch (role) {
    case Qt::CheckStateRole:
        if (rateColumn || m_marks == nullptr)
            return {};
        return m_marks->isMarked(row.path) ? Qt::Checked : Qt::Unchecked;
    case Qt::DisplayRole:
        if (!rateColumn && row.record.isTarget)
            return tr("%1 (the target)").arg(row.display);
        return objectValue(kColumns[index.column()], index.row());
    case Qt::ToolTipRole:
        if (rateColumn) {
            const QString rate = tr("Match rate %1 %, likeness %2 %")
                                     .arg(row.rate())
                                     .arg(QLocale().toString(row.record.likeness, 'f', 1));
            const QString form = orientationText(row.record.hit->orientation());
            return form.isEmpty() ? rate : tr("%1, %2").arg(rate, form);
        }
        return row.record.isTarget ? tr("%1\nThis is the target picture.").arg(row.display)
                                   : row.display;
    case Qt::AccessibleTextRole:
        if (rateColumn)
            return tr("%1 percent").arg(row.rate());
        return row.record.isTarget ? tr("%1, the target").arg(row.display) : row.display;
    case PathDelegate::kPathRole:
        return rateColumn ? QVariant() : QVariant(row.display);
    case Qt::FontRole:
        if (row.record.isTarget) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::DecorationRole:
        if (!rateColumn && m_thumbnails != nullptr)
            return m_thumbnails->thumbnail(row.path);
        return {};
    case Qt::TextAlignmentRole:
        if (rateColumn)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == kIdentifierRole)
        return kColumns[section];
    if (role == Qt::DisplayRole) {
        switch (section) {
        case kRateColumn:
            return tr("Rate (%)");
        case kPathColumn:
            return tr("File");
        case kDimensionsColumn:
            return tr("Pixels");
        case kSizeColumn:
            return tr("Size");
        case kModifiedColumn:
            return tr("Modified");
        default:
            return tr("Folder");
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (section) {
        case kRateColumn:
            return tr("Match rate in percent; equal rates are ordered by likeness");
        case kPathColumn:
            return tr("Full path of the picture");
        case kDimensionsColumn:
            return tr("Width × height of the picture, and how many more or fewer pixels it has "
                      "than the target");
        case kSizeColumn:
            return tr("Size of the file, and how much larger or smaller it is than the target");
        case kModifiedColumn:
            return tr("When the file was last changed, and how much older or newer it is than "
                      "the target");
        default:
            return tr("The folder that holds the picture");
        }
    }
    return {};
}

Qt::ItemFlags HitListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    // A picture under a protected folder shows its box, never to be ticked.
    if (index.column() == kPathColumn && m_marks != nullptr &&
        !m_marks->isProtected(path(index.row())))
        return flags | Qt::ItemIsUserCheckable;
    return flags;
}

bool HitListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != kPathColumn || m_marks == nullptr ||
        index.row() < 0 || static_cast<std::size_t>(index.row()) >= m_rows.size())
        return false;
    return m_marks->setMarked(m_rows[static_cast<std::size_t>(index.row())].path,
                              value.toInt() == Qt::Checked);
}

void HitListModel::setMarks(MarkSet* marks)
{
    if (m_marks != nullptr)
        disconnect(m_marks, nullptr, this, nullptr);
    m_marks = marks;
    if (marks != nullptr)
        connect(marks, &MarkSet::changed, this,
                [this] { everyRowChanged(kPathColumn, kPathColumn, {Qt::CheckStateRole}); });
}

QStringList HitListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* HitListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    QStringList lines;
    for (const std::string& path : paths(indexes)) {
        urls << PathText::toUrl(path);
        lines << PathText::display(path);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(lines.join(QLatin1Char('\n')));
    return data;
}

Qt::DropActions HitListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

void HitListModel::appendHits(std::vector<HitRecord> hits)
{
    if (hits.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(hits.size()) - 1);
    m_rows.reserve(m_rows.size() + hits.size());
    std::optional<PictureFacts> targetCame;
    for (HitRecord& record : hits) {
        Row row;
        row.path = record.hit->filePath().value_or(std::string());
        row.display = PathText::display(row.path);
        row.folder = FactText::folderOf(row.path);
        row.facts = factsOf(record);
        if (record.isTarget)
            targetCame = row.facts;
        row.arrival = m_arrivals++;
        row.record = std::move(record);
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
    if (targetCame)
        setTargetFacts(*targetCame);
    if (!m_live && m_rows.size() > static_cast<std::size_t>(first))
        applyOrder();
}

void HitListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_removed.clear();
    m_arrivals = 0;
    endResetModel();
    if (m_marks != nullptr)
        m_marks->clear();
}

void HitListModel::setLive(bool live)
{
    m_live = live;
    if (!live)
        applyOrder();
}

void HitListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    applyOrder();
}

void HitListModel::applyOrder()
{
    if (m_rows.size() < 2)
        return;
    std::vector<std::size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    if (m_sortColumn == kRateColumn) {
        // Best first when descending: the rate, then the finer likeness; the
        // engine's order settles what is still equal.
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const Row& x = m_rows[a];
            const Row& y = m_rows[b];
            if (x.rate() != y.rate())
                return descending ? x.rate() > y.rate() : x.rate() < y.rate();
            if (x.record.likeness != y.record.likeness)
                return descending ? x.record.likeness > y.record.likeness
                                  : x.record.likeness < y.record.likeness;
            return x.arrival < y.arrival;
        });
    } else if (m_sortColumn != kPathColumn) {
        std::vector<std::int64_t> keys = factKeys();
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (keys[a] != keys[b])
                return descending ? keys[a] > keys[b] : keys[a] < keys[b];
            return m_rows[a].arrival < m_rows[b].arrival;
        });
    } else {
        QCollator collator;
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> keys;
        keys.reserve(m_rows.size());
        for (const Row& row : m_rows)
            keys.push_back(collator.sortKey(row.display));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const int c = keys[a].compare(keys[b]);
            if (c != 0)
                return descending ? c > 0 : c < 0;
            if (m_rows[a].path != m_rows[b].path)
                return descending ? m_rows[a].path > m_rows[b].path
                                  : m_rows[a].path < m_rows[b].path;
            return m_rows[a].arrival < m_rows[b].arrival;
        });
    }
    bool moved = false;
    for (std::size_t i = 0; i < order.size() && !moved; ++i)
        moved = order[i] != i;
    if (!moved)
        return;

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        newRow[order[i]] = static_cast<int>(i);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const std::size_t from : order)
        sorted.push_back(std::move(m_rows[from]));
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after << index.sibling(newRow[static_cast<std::size_t>(index.row())], index.column());
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int HitListModel::removePaths(const std::vector<std::string>& paths)
{
    if (m_marks != nullptr)
        m_marks->forget(paths);
    const std::set<std::string> gone(paths.begin(), paths.end());
    int removed = 0;
    for (int row = static_cast<int>(m_rows.size()) - 1; row >= 0; --row) {
        if (gone.count(m_rows[static_cast<std::size_t>(row)].path) == 0)
            continue;
        beginRemoveRows({}, row, row);
        m_removed.push_back(std::move(m_rows[static_cast<std::size_t>(row)]));
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
        ++removed;
    }
    return removed;
}

int HitListModel::restorePaths(const std::vector<std::string>& paths)
{
    const std::set<std::string> back(paths.begin(), paths.end());
    const auto stays = std::stable_partition(m_removed.begin(), m_removed.end(),
                                             [&](const Row& row) { return !back.count(row.path); });
    const auto count = static_cast<int>(m_removed.end() - stays);
    if (count == 0)
        return 0;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + count - 1);
    std::move(stays, m_removed.end(), std::back_inserter(m_rows));
    m_removed.erase(stays, m_removed.end());
    // The undo moved back the very file the action had checked as examined,
    // and the move itself stamps it anew: the new stamp is the one to check.
    for (auto row = m_rows.begin() + first; row != m_rows.end(); ++row)
        row->record.stamp = currentStamp(row->path);
    endInsertRows();
    // Back where they were in the order shown, by their arrival among equals.
    if (!m_live)
        applyOrder();
    return count;
}

const HitRecord* HitListModel::record(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return nullptr;
    return &m_rows[static_cast<std::size_t>(row)].record;
}

std::shared_ptr<TFileInfo> HitListModel::hit(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return nullptr;
    return m_rows[static_cast<std::size_t>(row)].record.hit;
}

std::string HitListModel::path(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return {};
    return m_rows[static_cast<std::size_t>(row)].path;
}

double HitListModel::likeness(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size())
        return 0.0;
    return m_rows[static_cast<std::size_t>(row)].record.likeness;
}

bool HitListModel::isTarget(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() &&
           m_rows[static_cast<std::size_t>(row)].record.isTarget;
}

std::vector<std::string> HitListModel::paths(const QModelIndexList& rows) const
{
    std::vector<int> numbers;
    for (const QModelIndex& index : rows)
        if (index.isValid() && static_cast<std::size_t>(index.row()) < m_rows.size())
            numbers.push_back(index.row());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<std::string> result;
    result.reserve(numbers.size());
    for (const int row : numbers)
        result.push_back(m_rows[static_cast<std::size_t>(row)].path);
    return result;
}

std::vector<std::string> HitListModel::allPaths(bool withTarget) const
{
    std::vector<std::string> result;
    result.reserve(m_rows.size());
    for (const Row& row : m_rows)
        if (withTarget || !row.record.isTarget)
            result.push_back(row.path);
    return result;
}

QByteArray HitListModel::toCsv() const
{
    QByteArray csv("rate,path,likeness\n");
    for (const Row& row : m_rows) {
        csv += QByteArray::number(row.rate()) + ',' +
               QByteArray::fromStdString(output::csvField(row.path)) + ',' +
               QByteArray::number(row.record.likeness, 'f', 2) + '\n';
    }
    return csv;
}

std::vector<std::int64_t> HitListModel::factKeys() const
{
    // Unknown facts come before every known one.
    constexpr std::int64_t unknown = std::numeric_limits<std::int64_t>::min();
    std::vector<std::int64_t> keys(m_rows.size(), unknown);
    if (m_sortColumn == kFolderColumn) {
        // Folders by their collation, the same folders by their files'.
        QCollator collator;
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<QCollatorSortKey> folders;
        std::vector<QCollatorSortKey> paths;
        folders.reserve(m_rows.size());
        paths.reserve(m_rows.size());
        for (const Row& row : m_rows) {
            folders.push_back(collator.sortKey(row.folder));
            paths.push_back(collator.sortKey(row.display));
        }
        std::vector<std::size_t> byFolder(m_rows.size());
        std::iota(byFolder.begin(), byFolder.end(), std::size_t{0});
        const auto before = [&](std::size_t a, std::size_t b) {
            const int c = folders[a].compare(folders[b]);
            return c != 0 ? c < 0 : paths[a].compare(paths[b]) < 0;
        };
        std::sort(byFolder.begin(), byFolder.end(), before);
        std::int64_t rank = 0;
        for (std::size_t i = 0; i < byFolder.size(); ++i) {
            if (i > 0 && before(byFolder[i - 1], byFolder[i]))
                ++rank;
            keys[byFolder[i]] = rank;
        }
        return keys;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const PictureFacts& facts = m_rows[i].facts;
        if (m_sortColumn == kDimensionsColumn && facts.pixels > 0)
            keys[i] = facts.pixels;
        else if (m_sortColumn == kSizeColumn && facts.size >= 0)
            keys[i] = facts.size;
        else if (m_sortColumn == kModifiedColumn && facts.timeKnown)
            keys[i] = facts.modifiedNs;
    }
    return keys;
}

void HitListModel::everyRowChanged(int first, int last, const QList<int>& roles)
{
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, first), index(static_cast<int>(m_rows.size()) - 1, last),
                           roles);
}

void HitListModel::setTargetFacts(const PictureFacts& facts)
{
    m_target = facts;
    for (const Row& row : m_rows)
        row.formatted = false;
    everyRowChanged(kDimensionsColumn, kModifiedColumn);
}

void HitListModel::setThumbnails(ThumbnailCache* thumbnails)
{
    if (m_thumbnails != nullptr)
        disconnect(m_thumbnails, nullptr, this, nullptr);
    m_thumbnails = thumbnails;
    if (thumbnails != nullptr)
        connect(thumbnails, &ThumbnailCache::changed, this,
                [this] { everyRowChanged(kPathColumn, kPathColumn, {Qt::DecorationRole}); });
}

} // namespace ovrin::ui
