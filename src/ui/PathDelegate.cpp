#include "ui/PathDelegate.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>

namespace ovrin::ui {

namespace {

QString elidePath(const QString& path, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0) {
        const QString name = path.mid(slash);
        const int room = width - metrics.horizontalAdvance(name);
        if (room >= metrics.horizontalAdvance(QStringLiteral("/…")))
            return metrics.elidedText(path.left(slash), Qt::ElideMiddle, room) + name;
        // Not even the name fits: it keeps its start and its type.
        return metrics.elidedText(path.mid(slash + 1), Qt::ElideMiddle, width);
    }
    return metrics.elidedText(path, Qt::ElideMiddle, width);
}

class ColumnRoom : public QObject {
public:
    ColumnRoom(QHeaderView* header, int column, int floor)
        : QObject(header), m_header(header), m_column(column), m_floor(floor)
    {
        header->installEventFilter(this);
        connect(header, &QHeaderView::sectionResized, this, [this](int section) {
            if (section != m_column)
                fit();
        });
        connect(header, &QHeaderView::geometriesChanged, this, &ColumnRoom::fit);
    }

    void take(int column, int floor)
    {
        m_column = column;
        m_floor = floor;
        // Whatever a restored state said: the column is sized here alone.
        m_header->setStretchLastSection(false);
        m_header->setSectionResizeMode(column, QHeaderView::Fixed);
        fit();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_header && event->type() == QEvent::Resize)
            fit();
        return false;
    }

private:
    void fit()
    {
        if (m_column >= m_header->count())
            return;
        int others = 0;
        int before = 0;
        for (int section = 0; section < m_header->count(); ++section) {
            if (section == m_column || m_header->isSectionHidden(section))
                continue;
            others += m_header->sectionSize(section);
            if (m_header->visualIndex(section) < m_header->visualIndex(m_column))
                before += m_header->sectionSize(section);
        }
        // Within what a view this narrow shows beside the columns before it.
        const int floor = std::min(m_floor, m_header->width() - before);
        const int room = std::max(floor, m_header->width() - others);
        if (m_header->sectionSize(m_column) != room)
            m_header->resizeSection(m_column, room);
    }

    QHeaderView* m_header;
    int m_column;
    int m_floor;
};

} // namespace

void PathDelegate::keepRoom(QHeaderView* header, int column, int floor)
{
    ColumnRoom* room = nullptr;
    for (QObject* child : header->children())
        if (room == nullptr)
            room = dynamic_cast<ColumnRoom*>(child);
    if (room == nullptr)
        room = new ColumnRoom(header, column, floor);
    room->take(column, floor);
}

QString PathDelegate::elide(const QString& text, const QString& path, const QFontMetrics& metrics,
                            int width)
{
    const qsizetype at = path.isEmpty() ? -1 : text.indexOf(path);
    if (at < 0)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    const QString before = text.left(at);
    const QString after = text.mid(at + path.size());
    const int room = width - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
    const int name = metrics.horizontalAdvance(path.mid(path.lastIndexOf(QLatin1Char('/'))));
    if (room >= name || after.isEmpty())
        return before + elidePath(path, metrics, std::max(room, 0)) + after;
    // The file name before the words after it: they give way first.
    const int left = width - metrics.horizontalAdvance(before);
    const QString shown =
        elidePath(path, metrics,
                  std::max(std::min(left - metrics.horizontalAdvance(QStringLiteral("…")),
                                    name + metrics.horizontalAdvance(QStringLiteral("/…"))),
                           0));
    return before + shown +
           metrics.elidedText(after, Qt::ElideRight, left - metrics.horizontalAdvance(shown));
}

void PathDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget* widget = item.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QString path = index.data(kPathRole).toString();
    if (!path.isEmpty() && !item.text.isEmpty()) {
        // The style's own margins inside the text's rectangle.
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
        item.text = elide(item.text, path, item.fontMetrics, area.width() - 2 * margin);
    }
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
}

} // namespace ovrin::ui
