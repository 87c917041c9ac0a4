#include "ui/GroupTreeView.h"

#include "ui/HitTableView.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>
#include <tuple>
#include <vector>

namespace ovrin::ui {

namespace {

// A row is as high as its tallest visible cell: with the thumbnails' column
// scrolled out of sight the rows would fall to one line of text and cut the
// two-line facts. Every other column asks for the height a thumbnail takes.
class RowFloorDelegate : public QStyledItemDelegate {
public:
    explicit RowFloorDelegate(QAbstractItemView* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        QStyleOptionViewItem decorated = option;
        decorated.features |= QStyleOptionViewItem::HasDecoration;
        decorated.decorationSize = m_view->iconSize();
        const QStyle* style = m_view->style();
        const int floor =
            style->sizeFromContents(QStyle::CT_ItemViewItem, &decorated, QSize(), m_view).height();
        size.setHeight(std::max(size.height(), floor));
        return size;
    }

private:
    QAbstractItemView* m_view;
};

} // namespace

GroupTreeView::GroupTreeView(QWidget* parent) : QTreeView(parent)
{
    setItemDelegate(new RowFloorDelegate(this));
}

void GroupTreeView::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    setAccessibleDescription(text);
    viewport()->update();
}

void GroupTreeView::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    // After the selection model has taken in the new order.
    if (model != nullptr)
        connect(model, &QAbstractItemModel::layoutChanged, this, &GroupTreeView::mergeSelection);
}

void GroupTreeView::mergeSelection()
{
    // A new order leaves the selection one range per row; painting and every
    // question about it then slow down with the number of selected rows. The
    // rows of a group that lie together become one range again.
    QItemSelectionModel* selection = selectionModel();
    if (selection == nullptr)
        return;
    const QItemSelection ranges = selection->selection();
    if (ranges.size() < 2)
        return;
    struct Span {
        int group; // the parent's row; -1 for the groups themselves
        int left;
        int right;
        int top;
        int bottom;
        QModelIndex parent;
    };
    std::vector<Span> spans;
    spans.reserve(static_cast<std::size_t>(ranges.size()));
    for (const QItemSelectionRange& range : ranges)
        if (range.isValid())
            spans.push_back({range.parent().isValid() ? range.parent().row() : -1, range.left(),
                             range.right(), range.top(), range.bottom(), range.parent()});
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) {
        return std::tie(a.group, a.left, a.right, a.top) <
               std::tie(b.group, b.left, b.right, b.top);
    });
    QItemSelection merged;
    for (std::size_t i = 0; i < spans.size();) {
        Span run = spans[i];
        for (++i; i < spans.size() && spans[i].group == run.group && spans[i].left == run.left &&
                  spans[i].right == run.right && spans[i].top <= run.bottom + 1;
             ++i)
            run.bottom = std::max(run.bottom, spans[i].bottom);
        merged.append(QItemSelectionRange(model()->index(run.top, run.left, run.parent),
                                          model()->index(run.bottom, run.right, run.parent)));
    }
    if (merged.size() >= ranges.size())
        return;
    // The same rows stay selected, so nobody is told: the view would work
    // out the area of every range again, each in time that grows with the
    // tree. In two steps, since comparing the old ranges with the new ones
    // takes the product of their numbers.
    {
        const QSignalBlocker quiet(selection);
        selection->clearSelection();
        selection->select(merged, QItemSelectionModel::Select);
    }
    viewport()->update();
}

void GroupTreeView::keyPressEvent(QKeyEvent* event)
{
    if (HitTableView::isOpenKey(event)) {
        Q_EMIT openRequested();
        event->accept();
        return;
    }
    // Before the view's own Space, which would select, or tick the box of
    // the current cell alone.
    if (HitTableView::isMarkKey(event)) {
        Q_EMIT markToggleRequested();
        event->accept();
        return;
    }
    if (HitTableView::menuKey(this, event))
        return;
    QTreeView::keyPressEvent(event);
}

void GroupTreeView::keyboardSearch(const QString& search)
{
    if (!search.trimmed().isEmpty())
        QTreeView::keyboardSearch(search);
}

void GroupTreeView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    HitTableView::paintPlaceholder(this, m_placeholder);
}

} // namespace ovrin::ui
