#include "ui/GroupTreeModel.h"

#include "engine/ReviewActions.h"
#include "engine/RunContext.h"
#include "signature/TFileInfo.h"
#include "ui/HitListModel.h"
#include "ui/MarkSet.h"
#include "ui/PathDelegate.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
#include "ui/ThumbnailCache.h"

#include <QCollator>
#include <QFont>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <limits>
#include <numeric>
#include <set>

namespace ovrin::ui {

namespace {

// Above this many rows a removal resets the model instead of removing row by
// row: every single removal renumbers the groups after it.
constexpr std::size_t kRowByRowLimit = 64;

QString percent(double value)
{
    return QLocale().toString(value, 'f', 1);
}

// The internal id of an index names its group by a number that stays with the
// group while others leave the tree; reference rows carry kReferenceRow too.
// Qt hashes an index as row * 16 + column + id and buckets it by the low bits
// alone, so with plain group numbers the persistent indexes of many expanded
// or selected groups crowd into a few buckets and every insertion slows down
// with the tree's size. The numbers are scattered by an invertible
// multiplication modulo 2^31.
constexpr quintptr kReferenceRow = quintptr{1} << 31;
constexpr std::uint32_t kIdMask = 0x7FFFFFFF;
constexpr std::uint32_t kScatter = 0x9E3779B1u;

constexpr std::uint32_t inverse(std::uint32_t odd)
{
    std::uint32_t x = odd; // Newton's iteration: each step doubles the correct low bits
    for (int i = 0; i < 5; ++i)
        x *= 2 - odd * x;
    return x;
}
constexpr std::uint32_t kGather = inverse(kScatter);
static_assert(kScatter * kGather == 1);

quintptr scatter(std::size_t id)
{
    return (static_cast<std::uint32_t>(id) * kScatter) & kIdMask;
}

std::size_t gather(quintptr code)
{
    return (static_cast<std::uint32_t>(code) * kGather) & kIdMask;
}

} // namespace

GroupTreeModel::GroupTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

GroupTreeModel::~GroupTreeModel() = default;

void GroupTreeModel::setResult(std::shared_ptr<const LookAlikeResult> result, std::int32_t bits)
{
    setResult(std::move(result), {}, bits);
}

void GroupTreeModel::setResult(std::shared_ptr<const LookAlikeResult> result,
                               std::vector<bool> referenceGone, std::int32_t bits)
{
    beginResetModel();
    m_result = std::move(result);
    m_bits = bits;
    if (m_marks != nullptr)
        m_marks->clear();
    m_groups = m_result ? m_result->groups : std::vector<LookAlikeGroup>{};
    m_referenceGone = std::move(referenceGone);
    m_referenceGone.resize(m_groups.size(), false);
    m_ids.resize(m_groups.size());
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        m_ids[g] = g + 1;
    m_rowOfId.assign(m_groups.size(), -1);
    m_arranged = m_groups;
    m_arrangedGone = m_referenceGone;
    m_removed.clear();
    m_restamped.clear();
    const std::size_t entries = m_result ? m_result->table.paths.size() : 0;
    m_engineRank.assign(entries, 0);
    for (const LookAlikeGroup& group : m_groups)
        for (std::size_t m = 0; m < group.members.size(); ++m)
            m_engineRank[group.members[m].index] = static_cast<std::uint32_t>(m);
    m_cells.clear();
    renumber();
    if (m_sortColumn >= 0)
        applyOrder();
    endResetModel();
}

int GroupTreeModel::restorePaths(const std::vector<std::string>& paths)
{
    std::set<std::string> removed = m_removed;
    std::size_t back = 0;
    for (const std::string& file : paths)
        back += removed.erase(file);
    if (back == 0)
        return 0;
    std::map<std::string, FileStamp> restamped = std::move(m_restamped);
    for (const std::string& file : paths)
        if (const auto stamp = currentStamp(file))
            restamped[file] = *stamp;
    m_restamped = std::move(restamped);
    m_removed = std::move(removed);
    // Laid out again as arranged (references made included), without what
    // is still gone; the marks stay as they are.
    beginResetModel();
    m_groups.clear();
    m_referenceGone.clear();
    m_ids.clear();
    m_rowOfId.assign(m_arranged.size(), -1);
    for (std::size_t a = 0; a < m_arranged.size(); ++a) {
        LookAlikeGroup group = m_arranged[a];
        std::erase_if(group.members, [this](const LookAlikeMember& member) {
            return m_removed.count(tablePath(member.index)) != 0;
        });
        if (group.members.empty())
            continue;
        m_referenceGone.push_back(m_arrangedGone[a] ||
                                  m_removed.count(tablePath(group.reference)) != 0);
        m_groups.push_back(std::move(group));
        m_ids.push_back(a + 1);
    }
    renumber();
    // In the order the person chose, if any.
    applyOrder();
    endResetModel();
    return static_cast<int>(back);
}

void GroupTreeModel::restampReferencesOf(const std::vector<std::string>& members)
{
    const std::set<std::string> asked(members.begin(), members.end());
    for (const LookAlikeGroup& group : m_arranged)
        for (const LookAlikeMember& member : group.members)
            if (asked.count(tablePath(member.index)) != 0) {
                const std::string& reference = tablePath(group.reference);
                if (const auto stamp = currentStamp(reference))
                    m_restamped[reference] = *stamp;
                break;
            }
}

std::optional<FileStamp> GroupTreeModel::restamped(const std::string& path) const
{
    const auto found = m_restamped.find(path);
    return found == m_restamped.end() ? std::nullopt : std::optional(found->second);
}

void GroupTreeModel::clear()
{
    setResult(nullptr);
}

void GroupTreeModel::renumber()
{
    for (std::size_t g = 0; g < m_ids.size(); ++g)
        m_rowOfId[m_ids[g] - 1] = static_cast<int>(g);
}

const std::string& GroupTreeModel::tablePath(std::size_t entry) const
{
    return m_result->table.paths[entry];
}

const std::vector<std::string>& GroupTreeModel::aliasesOf(std::size_t entry) const
{
    static const std::vector<std::string> none;
    return m_result && entry < m_result->aliases.size() ? m_result->aliases[entry] : none;
}

QModelIndex GroupTreeModel::referenceIndex(std::size_t group, int column) const
{
    return createIndex(static_cast<int>(group), column, kReferenceRow | scatter(m_ids[group]));
}

QModelIndex GroupTreeModel::memberIndex(std::size_t group, int member, int column) const
{
    return createIndex(member, column, scatter(m_ids[group]));
}

std::pair<int, int> GroupTreeModel::locate(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return {-1, -1};
    const std::size_t id = gather(index.internalId());
    if (id == 0 || id > m_rowOfId.size())
        return {-1, -1};
    const int group = m_rowOfId[id - 1];
    if (group < 0)
        return {-1, -1};
    if ((index.internalId() & kReferenceRow) != 0)
        return {group, -1};
    if (static_cast<std::size_t>(index.row()) >=
        m_groups[static_cast<std::size_t>(group)].members.size())
        return {-1, -1};
    return {group, index.row()};
}

QModelIndex GroupTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= kColumnCount || row < 0)
        return {};
    if (!parent.isValid())
        return static_cast<std::size_t>(row) < m_groups.size()
                   ? referenceIndex(static_cast<std::size_t>(row), column)
                   : QModelIndex();
    const auto [group, member] = locate(parent);
    if (group < 0 || member >= 0 ||
        static_cast<std::size_t>(row) >= m_groups[static_cast<std::size_t>(group)].members.size())
        return {};
    return memberIndex(static_cast<std::size_t>(group), row, column);
}

QModelIndex GroupTreeModel::parent(const QModelIndex& child) const
{
    const auto [group, member] = locate(child);
    if (group < 0 || member < 0)
        return {};
    return referenceIndex(static_cast<std::size_t>(group), 0);
}

int GroupTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_groups.size());
    const auto [group, member] = locate(parent);
    if (group < 0 || member >= 0 || parent.column() != 0)
        return 0;
    return static_cast<int>(m_groups[static_cast<std::size_t>(group)].members.size());
}

int GroupTreeModel::columnCount(const QModelIndex&) const
{
    return kColumnCount;
}

PictureFacts GroupTreeModel::factsOf(std::size_t entry) const
{
    const SignatureTable& table = m_result->table;
    PictureFacts facts;
    if (entry < table.fine.size())
        facts = PictureFacts::of(table.fine[entry].width, table.fine[entry].height);
    if (entry < table.facts.size()) {
        const SignatureTable::Facts& known = table.facts[entry];
        if (facts.pixels == 0)
            facts.pixels = known.pixels;
        facts.size = known.size;
        facts.modifiedNs = known.modifiedNs;
        facts.timeKnown = known.modifiedNs != 0;
    }
    return facts;
}

QVariant GroupTreeModel::factData(std::size_t entry, std::size_t reference, bool isReference,
                                  int column, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole &&
        role != PathDelegate::kPathRole) {
        if (role != Qt::TextAlignmentRole)
            return {};
        if (column == kModifiedColumn || column == kFolderColumn)
            return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    const auto [at, added] = m_cells.try_emplace(entry);
    Cells& cells = at->second;
    if (added) {
        const PictureFacts facts = factsOf(entry);
        const PictureFacts against = isReference ? facts : factsOf(reference);
        cells.text[0] =
            FactText::cell(FactText::dimensions(facts), FactText::pixelNote(facts, against));
        cells.text[1] = FactText::cell(FactText::size(facts), FactText::sizeNote(facts, against));
        cells.text[2] =
            FactText::cell(FactText::modified(facts), FactText::ageNote(facts, against));
        cells.text[3] = FactText::folderOf(tablePath(entry));
    }
    const QString& cell = cells.text[column - kDimensionsColumn];
    switch (role) {
    case Qt::DisplayRole:
        return cell;
    case PathDelegate::kPathRole:
        return column == kFolderColumn ? QVariant(cell) : QVariant();
    case Qt::ToolTipRole: {
        const qsizetype line = column == kFolderColumn ? -1 : cell.indexOf(QLatin1Char('\n'));
        if (line < 0)
            return cell;
        return tr("%1\nAgainst the group's reference: %2").arg(cell.left(line), cell.mid(line + 1));
    }
    default:
        return QString(cell).replace(QLatin1Char('\n'), QStringLiteral(", "));
    }
}

QVariant GroupTreeModel::data(const QModelIndex& index, int role) const
{
    const auto [g, m] = locate(index);
    if (g < 0)
        return {};
    const LookAlikeGroup& group = m_groups[static_cast<std::size_t>(g)];
    const bool reference = m < 0;
    const bool gone = reference && m_referenceGone[static_cast<std::size_t>(g)];
    const LookAlikeMember* member =
        reference ? nullptr : &group.members[static_cast<std::size_t>(m)];
    const std::size_t entry = reference ? group.reference : member->index;
    if (index.column() >= kDimensionsColumn && role != Qt::FontRole)
        return factData(entry, group.reference, reference, index.column(), role);
    const std::string& file = tablePath(entry);
    const QString shown = PathText::display(file);
    const int pictures = static_cast<int>(group.members.size()) + 1;
    // The other paths of the same file are told with it, never rows of their
    // own: nothing can select them for the trash.
    const std::vector<std::string>& aliases = aliasesOf(entry);
    const auto alsoAt = [&aliases] {
        QString lines;
        for (const std::string& alias : aliases)
            lines += QLatin1Char('\n') + tr("Also at: %1").arg(PathText::display(alias));
        return lines;
    };

    switch (role) {
    case Qt::CheckStateRole:
        if (index.column() != kPathColumn || gone || m_marks == nullptr)
            return {};
        return m_marks->isMarked(file) ? Qt::Checked : Qt::Unchecked;
    case Qt::DisplayRole:
        switch (index.column()) {
        case kPathColumn:
            if (gone)
                return tr("%1 (moved to the trash)").arg(shown);
            if (aliases.empty())
                return shown;
            return tr("%1 (%2)").arg(
                shown, RunReport::count(static_cast<std::int64_t>(aliases.size()),
                                        tr("also at %1 other path"), tr("also at %1 other paths")));
        case kRateColumn:
            return reference ? tr("Reference") : QVariant(member->rate);
        default:
            return reference ? QVariant() : QVariant(percent(member->likeness));
        }
    case Qt::ToolTipRole:
        if (reference)
            return tr("%1\nGroup %2: the copy to keep and %3")
                       .arg(shown, QString::number(g + 1),
                            RunReport::count(pictures - 1, tr("%1 look-alike"),
                                             tr("%1 look-alikes"))) +
                   alsoAt();
        return tr("%1\nMatch rate %2 %, likeness %3 % against the reference")
                   .arg(shown, QString::number(member->rate), percent(member->likeness)) +
               (member->orientation == Orientation::Upright
                    ? QString()
                    : tr("\nLike the reference %1")
                          .arg(HitListModel::orientationText(member->orientation))) +
               alsoAt();
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case kPathColumn:
            return (reference ? tr("Group %1, %2 pictures, reference %3")
                                    .arg(QString::number(g + 1), QString::number(pictures), shown)
                              : shown) +
                   alsoAt();
        case kRateColumn:
            if (reference)
                return tr("Reference");
            if (member->orientation != Orientation::Upright)
                return tr("%1 percent, %2")
                    .arg(QString::number(member->rate),
                         HitListModel::orientationText(member->orientation));
            return tr("%1 percent").arg(member->rate);
        default:
            return reference ? QString() : tr("likeness %1 percent").arg(percent(member->likeness));
        }
    case Qt::FontRole:
        if (reference) {
            QFont font;
            font.setBold(!gone);
            font.setItalic(gone);
            return font;
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == kPathColumn && !gone && m_thumbnails != nullptr)
            return m_thumbnails->thumbnail(file);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() != kPathColumn)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case PathDelegate::kPathRole:
        return index.column() == kPathColumn ? QVariant(shown) : QVariant();
    default:
        return {};
    }
}

QVariant GroupTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QAbstractItemModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        switch (section) {
        case kPathColumn:
            return tr("File");
        case kRateColumn:
            return tr("Rate (%)");
        case kLikenessColumn:
            return tr("Likeness (%)");
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
        case kPathColumn:
            return tr("Each group's reference, with the pictures that look like it beneath");
        case kRateColumn:
            return tr("Match rate against the group's reference, in percent");
        case kLikenessColumn:
            return tr("How alike in structure the picture and the group's reference are, in "
                      "percent");
        case kDimensionsColumn:
            return tr("Width × height of the picture, and how many more or fewer pixels it has "
                      "than the group's reference");
        case kSizeColumn:
            return tr("Size of the file, and how much larger or smaller it is than the group's "
                      "reference");
        case kModifiedColumn:
            return tr("When the file was last changed, and how much older or newer it is than "
                      "the group's reference");
        default:
            return tr("The folder that holds the picture");
        }
    }
    return {};
}

Qt::ItemFlags GroupTreeModel::flags(const QModelIndex& index) const
{
    const auto [g, m] = locate(index);
    if (g < 0)
        return Qt::NoItemFlags;
    if (m < 0 && m_referenceGone[static_cast<std::size_t>(g)])
        return Qt::ItemIsEnabled;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    // A picture under a protected folder shows its box, never to be ticked.
    if (index.column() == kPathColumn && m_marks != nullptr && !m_marks->isProtected(path(index)))
        return flags | Qt::ItemIsUserCheckable;
    return flags;
}

bool GroupTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != kPathColumn || m_marks == nullptr)
        return false;
    const std::string file = path(index);
    return !file.empty() && m_marks->setMarked(file, value.toInt() == Qt::Checked);
}

void GroupTreeModel::setMarks(MarkSet* marks)
{
    if (m_marks != nullptr)
        disconnect(m_marks, nullptr, this, nullptr);
    m_marks = marks;
    if (marks != nullptr)
        connect(marks, &MarkSet::changed, this, &GroupTreeModel::marksChanged);
}

void GroupTreeModel::marksChanged()
{
    // A range per group: every row may have changed, and one signal per row
    // would cost as much again as the marking itself.
    if (m_groups.empty())
        return;
    const QList<int> roles{Qt::CheckStateRole};
    Q_EMIT dataChanged(referenceIndex(0, kPathColumn),
                       referenceIndex(m_groups.size() - 1, kPathColumn), roles);
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        Q_EMIT dataChanged(
            memberIndex(g, 0, kPathColumn),
            memberIndex(g, static_cast<int>(m_groups[g].members.size()) - 1, kPathColumn), roles);
}

QStringList GroupTreeModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* GroupTreeModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    QStringList lines;
    for (const std::string& file : paths(indexes)) {
        urls << PathText::toUrl(file);
        lines << PathText::display(file);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setText(lines.join(QLatin1Char('\n')));
    return data;
}

Qt::DropActions GroupTreeModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

std::int64_t GroupTreeModel::picturesHeld() const
{
    std::int64_t held = 0;
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        held +=
            static_cast<std::int64_t>(m_groups[g].members.size()) + (m_referenceGone[g] ? 0 : 1);
    return held;
}

bool GroupTreeModel::isReference(const QModelIndex& index) const
{
    const auto [group, member] = locate(index);
    return group >= 0 && member < 0;
}

QModelIndex GroupTreeModel::referenceOf(const QModelIndex& index) const
{
    const auto [group, member] = locate(index);
    return group < 0 ? QModelIndex() : referenceIndex(static_cast<std::size_t>(group), 0);
}

std::string GroupTreeModel::path(const QModelIndex& index) const
{
    const auto [g, m] = locate(index);
    if (g < 0)
        return {};
    const LookAlikeGroup& group = m_groups[static_cast<std::size_t>(g)];
    if (m >= 0)
        return tablePath(group.members[static_cast<std::size_t>(m)].index);
    return m_referenceGone[static_cast<std::size_t>(g)] ? std::string()
                                                        : tablePath(group.reference);
}

std::vector<std::string> GroupTreeModel::paths(const std::set<std::pair<int, int>>& rows) const
{
    std::vector<std::string> result;
    result.reserve(rows.size());
    for (const auto& [g, m] : rows) {
        const auto group = static_cast<std::size_t>(g);
        std::string file = path(m < 0 ? referenceIndex(group, 0) : memberIndex(group, m, 0));
        if (!file.empty())
            result.push_back(std::move(file));
    }
    return result;
}

std::vector<std::string> GroupTreeModel::paths(const QModelIndexList& indexes) const
{
    std::set<std::pair<int, int>> rows;
    for (const QModelIndex& index : indexes)
        if (const auto row = locate(index); row.first >= 0)
            rows.insert(row);
    return paths(rows);
}

std::vector<std::string> GroupTreeModel::paths(const QItemSelection& selection) const
{
    std::set<std::pair<int, int>> rows;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid())
            continue;
        const QModelIndex parent = range.parent();
        for (int row = range.top(); row <= range.bottom(); ++row)
            if (const auto at = locate(index(row, 0, parent)); at.first >= 0)
                rows.insert(at);
    }
    return paths(rows);
}

QItemSelection GroupTreeModel::allMembers() const
{
    QItemSelection selection;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const int last = static_cast<int>(m_groups[g].members.size()) - 1;
        if (last < 0)
            continue;
        selection.select(memberIndex(g, 0, kPathColumn), memberIndex(g, last, kColumnCount - 1));
    }
    return selection;
}

std::vector<std::string> GroupTreeModel::memberPaths() const
{
    std::vector<std::string> result;
    for (const LookAlikeGroup& group : m_groups)
        for (const LookAlikeMember& member : group.members)
            result.push_back(tablePath(member.index));
    return result;
}

std::vector<std::string> GroupTreeModel::groupPaths(const QModelIndex& index) const
{
    const QModelIndex reference = referenceOf(index);
    if (!reference.isValid())
        return {};
    std::vector<std::string> result;
    if (std::string file = path(reference); !file.empty())
        result.push_back(std::move(file));
    for (const LookAlikeMember& member :
         m_groups[static_cast<std::size_t>(reference.row())].members)
        result.push_back(tablePath(member.index));
    return result;
}

std::vector<std::string> GroupTreeModel::allPaths() const
{
    std::vector<std::string> result;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        if (!m_referenceGone[g])
            result.push_back(tablePath(m_groups[g].reference));
        for (const LookAlikeMember& member : m_groups[g].members)
            result.push_back(tablePath(member.index));
    }
    return result;
}

QModelIndex GroupTreeModel::stepGroup(const QModelIndex& from, int step) const
{
    const auto [g, m] = locate(from);
    const auto count = static_cast<std::int64_t>(m_groups.size());
    const std::int64_t to = g < 0 ? (step > 0 ? 0 : count - 1) : g + std::int64_t{step};
    if (count == 0 || to < 0 || to >= count)
        return {};
    return referenceIndex(static_cast<std::size_t>(to), kPathColumn);
}

LookAlikeMember GroupTreeModel::compared(std::size_t reference, std::size_t entry) const
{
    // As the grouping lists its members: the rate at match rate 0, the
    // fingerprints' score where the table holds them, the best form where
    // the grouping took any.
    const SignatureTable& table = m_result->table;
    const auto count = static_cast<std::size_t>(std::max(table.count, 0));
    if (count == 0 || table.values.size() < (std::max(reference, entry) + 1) * count)
        return LookAlikeMember{entry, 0, 0.0, Orientation::Upright};
    return comparedMember(table, reference, entry, m_bits, m_similarity, m_anyOrientation);
}

bool GroupTreeModel::makeReference(const QModelIndex& index)
{
    const auto [g, m] = locate(index);
    if (g < 0 || m < 0)
        return false;
    const auto group = static_cast<std::size_t>(g);
    auto& members = m_groups[group].members;
    // With its reference gone a group of one member would be a single picture.
    if (m_referenceGone[group] && members.size() < 2)
        return false;
    const QModelIndex parent = referenceIndex(group, kPathColumn);
    const std::size_t chosen = members[static_cast<std::size_t>(m)].index;
    const std::size_t former = m_groups[group].reference;
    const bool formerStays = !m_referenceGone[group];
    if (!formerStays) {
        beginRemoveRows(parent, m, m);
        members.erase(members.begin() + m);
        endRemoveRows();
    }

    std::vector<LookAlikeMember> listed;
    listed.reserve(members.size());
    if (formerStays)
        listed.push_back(compared(chosen, former));
    for (const LookAlikeMember& member : members)
        if (member.index != chosen)
            listed.push_back(compared(chosen, member.index));
    sortMembers(listed);

    // Rows follow their pictures: the one chosen moves up to the group's
    // row, the former reference down among the members.
    Q_EMIT layoutAboutToBeChanged();
    const auto rowOf = [&listed](std::size_t entry) {
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (listed[i].index == entry)
                return static_cast<int>(i);
        return -1;
    };
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const auto [og, om] = locate(old);
        if (og != g) {
            after << old;
            continue;
        }
        const std::size_t entry = om < 0 ? former : members[static_cast<std::size_t>(om)].index;
        if (entry == chosen || (om < 0 && !formerStays))
            after << referenceIndex(group, old.column());
        else
            after << memberIndex(group, rowOf(entry), old.column());
    }
    members = std::move(listed);
    m_groups[group].reference = chosen;
    m_referenceGone[group] = false;
    arrangeReference(m_ids[group] - 1, chosen);
    // Members are now listed, and their facts told, against the new reference.
    for (std::size_t i = 0; i < m_groups[group].members.size(); ++i)
        m_engineRank[m_groups[group].members[i].index] = static_cast<std::uint32_t>(i);
    m_cells.clear();
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
    if (m_marks != nullptr)
        m_marks->setMarked(tablePath(chosen), false);
    return true;
}

void GroupTreeModel::sortMembers(std::vector<LookAlikeMember>& members) const
{
    // The engine's order: likeness, then rate, then path, then table position.
    std::sort(members.begin(), members.end(),
              [this](const LookAlikeMember& a, const LookAlikeMember& b) {
                  if (a.likeness != b.likeness)
                      return a.likeness > b.likeness;
                  if (a.rate != b.rate)
                      return a.rate > b.rate;
                  if (tablePath(a.index) != tablePath(b.index))
                      return tablePath(a.index) < tablePath(b.index);
                  return a.index < b.index;
              });
}

void GroupTreeModel::arrangeReference(std::size_t arranged, std::size_t chosen)
{
    LookAlikeGroup& group = m_arranged[arranged];
    // Removed pictures are compared too, so that an undo brings them back
    // measured against the copy kept now; a reference gone when the groups
    // came does not come back.
    std::vector<LookAlikeMember> listed;
    if (!m_arrangedGone[arranged])
        listed.push_back(compared(chosen, group.reference));
    for (const LookAlikeMember& member : group.members)
        if (member.index != chosen)
            listed.push_back(compared(chosen, member.index));
    sortMembers(listed);
    group.members = std::move(listed);
    group.reference = chosen;
    m_arrangedGone[arranged] = false;
}

int GroupTreeModel::removePaths(const std::vector<std::string>& paths)
{
    if (m_marks != nullptr)
        m_marks->forget(paths);
    if (!m_result || paths.empty())
        return 0;
    const std::set<std::string> gone(paths.begin(), paths.end());
    // What goes: per group, the members (highest first) and the reference.
    struct Change {
        std::size_t group;
        std::vector<int> members;
        bool reference;
    };
    std::vector<Change> changes;
    std::size_t rows = 0;
    int removed = 0;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        Change change{g, {}, false};
        const auto& members = m_groups[g].members;
        for (int m = static_cast<int>(members.size()) - 1; m >= 0; --m)
            if (const std::string& file = tablePath(members[static_cast<std::size_t>(m)].index);
                gone.count(file) != 0) {
                change.members.push_back(m);
                m_removed.insert(file);
            }
        change.reference = !m_referenceGone[g] && gone.count(tablePath(m_groups[g].reference)) != 0;
        if (change.reference)
            m_removed.insert(tablePath(m_groups[g].reference));
        if (change.members.empty() && !change.reference)
            continue;
        rows += change.members.size() + 1;
        removed += static_cast<int>(change.members.size()) + (change.reference ? 1 : 0);
        changes.push_back(std::move(change));
    }
    if (changes.empty())
        return 0;

    if (rows > kRowByRowLimit) {
        beginResetModel();
        for (const Change& change : changes) {
            auto& members = m_groups[change.group].members;
            std::vector<bool> drop(members.size(), false);
            for (const int m : change.members)
                drop[static_cast<std::size_t>(m)] = true;
            std::size_t kept = 0;
            for (std::size_t m = 0; m < members.size(); ++m)
                if (!drop[m])
                    members[kept++] = members[m];
            members.resize(kept);
            if (change.reference)
                m_referenceGone[change.group] = true;
        }
        std::size_t kept = 0;
        for (std::size_t g = 0; g < m_groups.size(); ++g) {
            if (m_groups[g].members.empty()) {
                m_rowOfId[m_ids[g] - 1] = -1;
                continue;
            }
            m_groups[kept] = std::move(m_groups[g]);
            m_referenceGone[kept] = m_referenceGone[g];
            m_ids[kept] = m_ids[g];
            ++kept;
        }
        m_groups.resize(kept);
        m_referenceGone.resize(kept);
        m_ids.resize(kept);
        renumber();
        endResetModel();
        return removed;
    }

    // Last group first, so that the rows of the groups still to change stay put.
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        const std::size_t g = it->group;
        const QModelIndex parent = referenceIndex(g, 0);
        auto& members = m_groups[g].members;
        for (const int m : it->members) {
            beginRemoveRows(parent, m, m);
            members.erase(members.begin() + m);
            endRemoveRows();
        }
        if (it->reference) {
            m_referenceGone[g] = true;
            Q_EMIT dataChanged(parent, parent.siblingAtColumn(kColumnCount - 1));
        }
        if (!members.empty())
            continue;
        beginRemoveRows({}, static_cast<int>(g), static_cast<int>(g));
        m_rowOfId[m_ids[g] - 1] = -1;
        const auto at = static_cast<std::ptrdiff_t>(g);
        m_groups.erase(m_groups.begin() + at);
        m_referenceGone.erase(m_referenceGone.begin() + at);
        m_ids.erase(m_ids.begin() + at);
        renumber();
        endRemoveRows();
    }
    return removed;
}

} // namespace ovrin::ui

namespace ovrin::ui {

std::vector<std::int64_t> GroupTreeModel::sortKeys() const
{
    // Unknown values come before every known one.
    constexpr std::int64_t unknown = std::numeric_limits<std::int64_t>::min();
    std::vector<std::int64_t> keys(m_result->table.paths.size(), unknown);
    if (m_sortColumn == kPathColumn || m_sortColumn == kFolderColumn) {
        // The texts by their collation, made once into ranks: comparing
        // numbers is what the sorts then do.
        QCollator collator;
        collator.setNumericMode(true);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::vector<std::size_t> entries;
        for (const LookAlikeGroup& group : m_groups) {
            entries.push_back(group.reference);
            for (const LookAlikeMember& member : group.members)
                entries.push_back(member.index);
        }
        std::vector<QCollatorSortKey> texts;
        texts.reserve(entries.size());
        for (const std::size_t entry : entries) {
            const std::string& file = tablePath(entry);
            texts.push_back(collator.sortKey(
                m_sortColumn == kPathColumn ? PathText::display(file) : FactText::folderOf(file)));
        }
        std::vector<std::size_t> order(entries.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return texts[a].compare(texts[b]) < 0; });
        std::int64_t rank = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && texts[order[i - 1]].compare(texts[order[i]]) < 0)
                ++rank;
            keys[entries[order[i]]] = rank;
        }
        return keys;
    }
    for (const LookAlikeGroup& group : m_groups) {
        if (m_sortColumn == kRateColumn || m_sortColumn == kLikenessColumn) {
            // A reference has neither: the groups keep their order.
            for (const LookAlikeMember& member : group.members)
                keys[member.index] = m_sortColumn == kRateColumn
                                         ? std::int64_t{member.rate}
                                         : std::llround(member.likeness * 1e6);
            continue;
        }
        const auto keyOf = [&](std::size_t entry) {
            const PictureFacts facts = factsOf(entry);
            if (m_sortColumn == kDimensionsColumn)
                return facts.pixels > 0 ? facts.pixels : unknown;
            if (m_sortColumn == kSizeColumn)
                return facts.size >= 0 ? facts.size : unknown;
            return facts.timeKnown ? facts.modifiedNs : unknown;
        };
        keys[group.reference] = keyOf(group.reference);
        for (const LookAlikeMember& member : group.members)
            keys[member.index] = keyOf(member.index);
    }
    return keys;
}

void GroupTreeModel::applyOrder()
{
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    const std::vector<std::int64_t> keys =
        m_sortColumn >= 0 ? sortKeys() : std::vector<std::int64_t>();
    const auto first = [&](std::size_t a, std::size_t b) {
        return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    };
    for (LookAlikeGroup& group : m_groups)
        std::sort(group.members.begin(), group.members.end(),
                  [&](const LookAlikeMember& x, const LookAlikeMember& y) {
                      if (!keys.empty() && keys[x.index] != keys[y.index])
                          return first(x.index, y.index);
                      return m_engineRank[x.index] < m_engineRank[y.index];
                  });
    std::vector<std::size_t> order(m_groups.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::size_t x = m_groups[a].reference;
        const std::size_t y = m_groups[b].reference;
        if (!keys.empty() && keys[x] != keys[y])
            return first(x, y);
        return m_ids[a] < m_ids[b];
    });
    std::vector<LookAlikeGroup> groups;
    std::vector<bool> gone(order.size());
    std::vector<std::size_t> ids(order.size());
    groups.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        groups.push_back(std::move(m_groups[order[i]]));
        gone[i] = m_referenceGone[order[i]];
        ids[i] = m_ids[order[i]];
    }
    m_groups = std::move(groups);
    m_referenceGone = std::move(gone);
    m_ids = std::move(ids);
    renumber();
}

void GroupTreeModel::sort(int column, Qt::SortOrder order)
{
    if (column >= kColumnCount)
        return;
    m_sortColumn = std::max(column, -1);
    m_sortOrder = order;
    if (m_groups.empty())
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The rows held elsewhere (the selection, the current row) follow their
    // pictures: a group by its number, a member by its entry.
    const QModelIndexList before = persistentIndexList();
    struct Held {
        std::size_t id = 0; // 0: no row
        std::size_t entry = 0;
        bool reference = false;
    };
    std::vector<Held> held;
    held.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        const auto [g, m] = locate(index);
        if (g < 0) {
            held.push_back({});
            continue;
        }
        const LookAlikeGroup& group = m_groups[static_cast<std::size_t>(g)];
        held.push_back({m_ids[static_cast<std::size_t>(g)],
                        m < 0 ? 0 : group.members[static_cast<std::size_t>(m)].index, m < 0});
    }
    applyOrder();
    std::vector<int> rowOfEntry(m_engineRank.size(), 0);
    for (const LookAlikeGroup& group : m_groups)
        for (std::size_t m = 0; m < group.members.size(); ++m)
            rowOfEntry[group.members[m].index] = static_cast<int>(m);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const Held& row = held[static_cast<std::size_t>(i)];
        if (row.id == 0) {
            after << QModelIndex();
            continue;
        }
        const auto group = static_cast<std::size_t>(m_rowOfId[row.id - 1]);
        const int at = before[i].column();
        after << (row.reference ? referenceIndex(group, at)
                                : memberIndex(group, rowOfEntry[row.entry], at));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace ovrin::ui
