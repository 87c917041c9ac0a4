#include "ui/PathDelegate.h"

#include <QApplication>
#include <QFontMetrics>
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

} // namespace

QString PathDelegate::elide(const QString& text, const QString& path, const QFontMetrics& metrics,
                            int width)
{
    const qsizetype at = path.isEmpty() ? -1 : text.indexOf(path);
    if (at < 0)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    const QString before = text.left(at);
    const QString after = text.mid(at + path.size());
    const int room = width - metrics.horizontalAdvance(before) - metrics.horizontalAdvance(after);
    return before + elidePath(path, metrics, std::max(room, 0)) + after;
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
