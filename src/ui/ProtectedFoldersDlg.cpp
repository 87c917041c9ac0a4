#include "ui/ProtectedFoldersDlg.h"

#include "ui/PathText.h"
#include "ui/UiHooks.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace ovrin::ui {

ProtectedFoldersDlg::ProtectedFoldersDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Protected Folders"));
    auto* layout = new QGridLayout(this);
    auto* label = new QLabel(tr("Pictures under these folders can never be marked, so no "
                                "action on the marked pictures touches them:"),
                             this);
    label->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setAccessibleName(tr("Protected folders"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setTextElideMode(Qt::ElideMiddle);
    auto* add = new QPushButton(tr("&Add…"), this);
    add->setAccessibleName(tr("Add a protected folder"));
    add->setAutoDefault(false);
    m_remove = new QPushButton(tr("&Remove"), this);
    m_remove->setAccessibleName(tr("Remove the chosen protected folder"));
    m_remove->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(m_list, 1, 0, 3, 1);
    layout->addWidget(add, 1, 1);
    layout->addWidget(m_remove, 2, 1);
    layout->setRowStretch(3, 1);
    layout->addWidget(buttons, 4, 0, 1, 2);
    connect(add, &QPushButton::clicked, this, &ProtectedFoldersDlg::addAction);
    connect(m_remove, &QPushButton::clicked, this, &ProtectedFoldersDlg::removeAction);
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row >= 0); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    label->setBuddy(m_list);
    // Room for long paths, within small screens.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize room = screen != nullptr ? screen->availableSize() : QSize(1024, 600);
    resize(std::min(520, room.width() * 9 / 10), std::min(300, room.height() * 8 / 10));
}

void ProtectedFoldersDlg::setFolders(const std::vector<std::string>& folders)
{
    m_list->clear();
    for (const std::string& folder : folders) {
        auto* item = new QListWidgetItem(PathText::display(folder), m_list);
        item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    }
    m_remove->setEnabled(m_list->currentRow() >= 0);
    m_list->setFocus();
}

std::vector<std::string> ProtectedFoldersDlg::folders() const
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(m_list->count()));
    for (int row = 0; row < m_list->count(); ++row)
        result.push_back(m_list->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    return result;
}

void ProtectedFoldersDlg::addAction()
{
    const QListWidgetItem* current = m_list->currentItem();
    const auto path =
        UiHooks::openFolder(this, current != nullptr ? current->text() : QDir::homePath());
    if (!path)
        return;
    m_list->setFocus();
    // Compared with the pictures' paths as a folder: without a final "/".
    std::string folder = PathText::fromText(*path);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::vector<std::string> known = folders();
    if (const auto at = std::find(known.begin(), known.end(), folder); at != known.end()) {
        m_list->setCurrentRow(static_cast<int>(at - known.begin()));
        return;
    }
    auto* item = new QListWidgetItem(PathText::display(folder), m_list);
    item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    m_list->setCurrentItem(item);
}

void ProtectedFoldersDlg::removeAction()
{
    const int row = m_list->currentRow();
    if (row < 0)
        return;
    delete m_list->takeItem(row);
    m_list->setFocus();
}

} // namespace ovrin::ui
