#include "ui/HitTableView.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace ovrin::ui {

HitTableView::HitTableView(QWidget* parent) : QTableView(parent) {}

void HitTableView::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    setAccessibleDescription(text);
    viewport()->update();
}

void HitTableView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        Q_EMIT openRequested();
        event->accept();
        return;
    }
    // The menu key and Shift+F10 open the hits' menu at the current row, so
    // it is there without a mouse.
    if (event->key() == Qt::Key_Menu ||
        (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        const QRect row = visualRect(currentIndex());
        const QPoint at = row.isValid() ? row.center() : viewport()->rect().center();
        QMenu::exec(actions(), viewport()->mapToGlobal(at), nullptr, this);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void HitTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    if (m_placeholder.isEmpty() || model() == nullptr || model()->rowCount() > 0)
        return;
    QPainter painter(viewport());
    QColor color = palette().color(QPalette::PlaceholderText);
    painter.setPen(color);
    const QRect area = viewport()->rect().adjusted(24, 24, -24, -24);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, m_placeholder);
}

} // namespace ovrin::ui
