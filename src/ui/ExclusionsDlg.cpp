#include "ui/ExclusionsDlg.h"

#include "engine/TGraphicSearch.h"
#include "ui/PathText.h"
#include "ui/UiHooks.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace ovrin::ui {

ExclusionsDlg::ExclusionsDlg(QWidget* parent)
    : QDialog(parent), m_folders(new QListWidget(this)),
      m_add(new QPushButton(tr("&Add Folder…"), this)),
      m_remove(new QPushButton(tr("&Remove"), this)), m_patterns(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Exclusions"));
    m_add->setObjectName(QStringLiteral("btnAddFolder"));
    m_remove->setObjectName(QStringLiteral("btnRemoveFolder"));
    auto* folderLabel = new QLabel(
        tr("&Folders left out of searches, index files and groups, with all they hold:"), this);
    folderLabel->setWordWrap(true);
    folderLabel->setBuddy(m_folders);
    auto* patternLabel = new QLabel(tr("&Names left out, one pattern a line (such as *.tmp, "
                                       ".thumbnails or @eaDir; * and ? stand for any text):"),
                                    this);
    patternLabel->setWordWrap(true);
    patternLabel->setBuddy(m_patterns);
    // Tab leaves the patterns for the buttons, as in every other field.
    m_patterns->setTabChangesFocus(true);
    m_patterns->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_folders->setAccessibleName(tr("Folders left out"));
    m_patterns->setAccessibleName(tr("Names left out"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* grid = new QGridLayout;
    grid->addWidget(m_folders, 0, 0, 3, 1);
    grid->addWidget(m_add, 0, 1);
    grid->addWidget(m_remove, 1, 1);
    grid->setRowStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel);
    layout->addLayout(grid, 3);
    layout->addWidget(patternLabel);
    layout->addWidget(m_patterns, 2);
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &ExclusionsDlg::addFolderAction);
    connect(m_remove, &QPushButton::clicked, this, &ExclusionsDlg::removeFolderAction);
    connect(m_folders, &QListWidget::currentRowChanged, this,
            [this](int row) { m_remove->setEnabled(row >= 0); });
    connect(buttons, &QDialogButtonBox::accepted, this, &ExclusionsDlg::okAction);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The size the toolkit gives a window on this screen, wider where the
    // screen has room for long paths.
    adjustSize();
    if (const QScreen* shown =
            parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen())
        resize(std::max(width(), std::min(560, shown->availableGeometry().width() * 9 / 10)),
               height());
}

void ExclusionsDlg::setup(const ExclusionSetting& values)
{
    m_values = values;
    m_folders->clear();
    for (const std::string& folder : values.folders)
        addItem(folder);
    QStringList lines;
    for (const std::string& pattern : values.patterns)
        lines << PathText::display(pattern);
    m_patterns->setPlainText(lines.join(u'\n'));
    m_remove->setEnabled(m_folders->currentRow() >= 0);
}

bool ExclusionsDlg::doModal()
{
    m_result = false;
    exec();
    return m_result;
}

std::vector<std::string> ExclusionsDlg::folders() const
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(m_folders->count()));
    for (int row = 0; row < m_folders->count(); ++row)
        result.push_back(m_folders->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    return result;
}

void ExclusionsDlg::okAction()
{
    std::vector<std::string> patterns;
    const QStringList lines = m_patterns->toPlainText().split(u'\n');
    for (const QString& line : lines) {
        const QString pattern = line.trimmed();
        if (pattern.isEmpty())
            continue;
        if (pattern.contains(u'/')) {
            UiHooks::alert(this, tr("A name pattern cannot hold a “/”."),
                           tr("“%1” would match no name. Add a folder with Add Folder… instead.")
                               .arg(pattern));
            m_patterns->setFocus();
            return;
        }
        // Unchanged, a stored pattern keeps its bytes, even those no text shows.
        const auto kept = std::find_if(
            m_values.patterns.begin(), m_values.patterns.end(),
            [&pattern](const std::string& stored) { return PathText::display(stored) == pattern; });
        patterns.push_back(kept != m_values.patterns.end() ? *kept : PathText::fromText(pattern));
    }
    m_values.folders = folders();
    m_values.patterns = std::move(patterns);
    m_result = true;
    accept();
}

void ExclusionsDlg::addFolderAction()
{
    const QListWidgetItem* current = m_folders->currentItem();
    const auto path = UiHooks::openFolder(this, current != nullptr ? current->text() : QString());
    if (!path)
        return;
    m_folders->setFocus();
    std::string folder = PathText::fromText(*path);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::vector<std::string> known = folders();
    if (const auto at = std::find(known.begin(), known.end(), folder); at != known.end()) {
        m_folders->setCurrentRow(static_cast<int>(at - known.begin()));
        return;
    }
    m_folders->setCurrentItem(addItem(folder));
}

// The path's bytes kept with its text; the tooltip shows a path too long for
// the list whole.
QListWidgetItem* ExclusionsDlg::addItem(const std::string& folder)
{
    auto* item = new QListWidgetItem(PathText::display(folder), m_folders);
    item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    item->setToolTip(item->text());
    return item;
}

void ExclusionsDlg::removeFolderAction()
{
    const int row = m_folders->currentRow();
    if (row < 0)
        return;
    delete m_folders->takeItem(row);
    m_folders->setFocus();
}

Exclusions ExclusionsDlg::stored()
{
    const ExclusionSetting setting = ExclusionSetting::load();
    return Exclusions(setting.folders, setting.patterns);
}

void ExclusionsDlg::edit(QWidget* parent, TGraphicSearch& engine)
{
    ExclusionsDlg dialog(parent);
    dialog.setup(ExclusionSetting::load());
    if (!dialog.doModal())
        return;
    const ExclusionSetting& values = dialog.values();
    engine.setExclusions(Exclusions(values.folders, values.patterns));
    if (!values.save())
        UiHooks::alert(parent, tr("The exclusions could not be stored."),
                       tr("They apply until the program ends; check that the settings folder "
                          "can be written."));
}

} // namespace ovrin::ui
