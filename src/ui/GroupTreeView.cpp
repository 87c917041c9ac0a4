#include "ui/GroupTreeView.h"

#include "ui/HitTableView.h"

#include <QKeyEvent>

namespace ovrin::ui {

GroupTreeView::GroupTreeView(QWidget* parent) : QTreeView(parent) {}

void GroupTreeView::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    setAccessibleDescription(text);
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
