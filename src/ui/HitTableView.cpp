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

bool HitTableView::isOpenKey(const QKeyEvent* event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
           event->modifiers() == Qt::NoModifier;
}

bool HitTableView::isMarkKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier;
}

bool HitTableView::menuKey(QAbstractItemView* view, QKeyEvent* event)
{
    // The menu key and Shift+F10 open the menu at the current row, so it is
    // there without a mouse.
    if (event->key() != Qt::Key_Menu &&
        (event->key() != Qt::Key_F10 || event->modifiers() != Qt::ShiftModifier))
        return false;
    const QRect row = view->visualRect(view->currentIndex());
    const QPoint at = row.isValid() ? row.center() : view->viewport()->rect().center();
    QMenu::exec(view->actions(), view->viewport()->mapToGlobal(at), nullptr, view);
    event->accept();
    return true;
}

void HitTableView::paintPlaceholder(QAbstractItemView* view, const QString& text)
{
    if (text.isEmpty() || view->model() == nullptr || view->model()->rowCount() > 0)
        return;
    QPainter painter(view->viewport());
    painter.setPen(view->palette().color(QPalette::PlaceholderText));
    const QRect area = view->viewport()->rect().adjusted(24, 24, -24, -24);
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void HitTableView::keyPressEvent(QKeyEvent* event)
{
    if (isOpenKey(event)) {
        Q_EMIT openRequested();
        event->accept();
        return;
    }
    // Before the view's own Space, which would select, or tick the box of
    // the current cell alone.
    if (isMarkKey(event)) {
        Q_EMIT markToggleRequested();
        event->accept();
        return;
    }
    if (menuKey(this, event))
        return;
    QTableView::keyPressEvent(event);
}

void HitTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    paintPlaceholder(this, m_placeholder);
}

} // namespace ovrin::ui
