#include "ui/ActionConfirmDlg.h"

#include "ui/PathText.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ovrin::ui {

namespace {

QLabel* wrapped(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// Lists show a few rows at least and grow with the dialog.
int listHeight(const QWidget* list)
{
    return list->fontMetrics().height() * 3 + 6;
}

} // namespace

ActionConfirmDlg::ActionConfirmDlg(const ActionConfirmation& confirmation, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(confirmation.actionText);
    auto* layout = new QVBoxLayout(this);
    QLabel* question = wrapped(confirmation.question, this);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    layout->addWidget(question);
    layout->addWidget(wrapped(confirmation.effect, this));

    layout->addWidget(wrapped(confirmation.actingTitle, this));
    // One column as wide as the list, so that a long path is elided, never
    // scrolled: paths are alike at both ends, and the middle goes first.
    m_acting = new QTreeWidget(this);
    m_acting->setAccessibleName(confirmation.actingTitle);
    m_acting->setColumnCount(1);
    m_acting->setHeaderHidden(true);
    m_acting->setRootIsDecorated(false);
    m_acting->setUniformRowHeights(true);
    m_acting->setTextElideMode(Qt::ElideMiddle);
    m_acting->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_acting->header()->setStretchLastSection(true);
    m_acting->setMinimumHeight(listHeight(m_acting));
    for (const auto& entry : confirmation.acting) {
        const QString shown = PathText::display(entry.path);
        auto* item = new QTreeWidgetItem(m_acting, {shown});
        item->setToolTip(0, shown);
    }
    layout->addWidget(m_acting, 2);
    // "None of them can be acted on" stands alone.
    m_acting->setVisible(!confirmation.acting.empty());

    m_refused = new QListWidget(this);
    m_refused->setAccessibleName(confirmation.refusedTitle);
    m_refused->setMinimumHeight(listHeight(m_refused));
    m_refused->setWordWrap(true);
    m_refused->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const auto& entry : confirmation.refused) {
        const QString shown = PathText::display(entry.path);
        auto* item = new QListWidgetItem(
            tr("%1 — %2").arg(shown.section(QLatin1Char('/'), -1), entry.reason), m_refused);
        item->setToolTip(shown + QLatin1Char('\n') + entry.reason);
    }
    if (!confirmation.refused.empty()) {
        layout->addWidget(wrapped(confirmation.refusedTitle, this));
        layout->addWidget(m_refused, 1);
    } else {
        m_refused->hide();
    }

    auto* buttons = new QDialogButtonBox(this);
    m_action = buttons->addButton(confirmation.actionText, QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_action->setEnabled(!confirmation.acting.empty());
    QPushButton* byDefault =
        confirmation.enterActs && !confirmation.acting.empty() ? m_action : m_cancel;
    m_action->setAutoDefault(false);
    m_cancel->setAutoDefault(false);
    byDefault->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    byDefault->setFocus();

    // Wide enough for a path, never beyond the screen.
    QSize size = sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 90, 0));
    if (const QScreen* screen =
            parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
        // Room left for the window's title and the desktop's panels.
        size = size.boundedTo(
            QSize(screen->availableSize().width(), screen->availableSize().height() * 4 / 5));
    resize(size);
}

} // namespace ovrin::ui
