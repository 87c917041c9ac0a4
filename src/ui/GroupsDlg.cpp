#include "ui/GroupsDlg.h"

#include "engine/TGraphicSearch.h"
#include "platform/fs/FileManager.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui_GroupsDlg.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QListWidget>

#include <algorithm>
#include <type_traits>
#include <utility>

namespace ovrin::ui {

GroupsDlg::GroupsDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::GroupsDlg>())
{
    m_ui->setupUi(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &GroupsDlg::okAction);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &GroupsDlg::cancelAction);
    connect(m_ui->btnIndexFilePathRef, &QPushButton::clicked, this,
            &GroupsDlg::indexFilePathRefAction);
    connect(m_ui->btnTopDirPathRef, &QPushButton::clicked, this, &GroupsDlg::topDirPathRefAction);
    // Typing a path chooses what it names.
    connect(m_ui->tfTopDirPath, &QLineEdit::textEdited, m_ui->rbSelectSearchDirectory,
            [this] { m_ui->rbSelectSearchDirectory->setChecked(true); });
    connect(m_ui->tfIndexFilePath, &QLineEdit::textEdited, m_ui->rbSelectSearchIndexFile,
            [this] { m_ui->rbSelectSearchIndexFile->setChecked(true); });
    m_ui->cbxBits->setValidator(new QIntValidator(search::kMinBits, search::kMaxBits, this));
    m_ui->cbxMatchRate->setValidator(
        new QIntValidator(search::kMinMatchRate, search::kMaxMatchRate, this));

    // Each choice says what it does: in a tooltip for the mouse and beneath
    // the field for the keyboard.
    const auto add = [](QComboBox* field, auto value, const QString& note) {
        if constexpr (std::is_same_v<decltype(value), Similarity>)
            field->addItem(similarityText(value), static_cast<int>(value));
        else
            field->addItem(keepText(value), static_cast<int>(value));
        field->setItemData(field->count() - 1, note, Qt::ToolTipRole);
    };
    add(m_ui->cbxSimilarity, Similarity::Strict,
        tr("Only copies that keep the whole picture: resized, recompressed, converted."));
    add(m_ui->cbxSimilarity, Similarity::Normal,
        tr("Also slightly cropped or brightened copies; different photographs stay apart."));
    add(m_ui->cbxSimilarity, Similarity::Loose,
        tr("Also more edited copies; look through the groups before removing anything."));
    add(m_ui->cbxKeep, KeepRule::Pixels,
        tr("The copy with the most pixels, then the largest file, the oldest, the path."));
    add(m_ui->cbxKeep, KeepRule::Size,
        tr("The largest file, then the most pixels, the oldest, the path."));
    add(m_ui->cbxKeep, KeepRule::Oldest,
        tr("The copy modified longest ago, then the most pixels, the largest file, the path."));
    add(m_ui->cbxKeep, KeepRule::Newest,
        tr("The copy modified last, then the most pixels, the largest file, the path."));
    add(m_ui->cbxKeep, KeepRule::Path, tr("The path that sorts first."));
    connect(m_ui->cbxSimilarity, &QComboBox::currentIndexChanged, this, &GroupsDlg::showNotes);
    connect(m_ui->cbxKeep, &QComboBox::currentIndexChanged, this, &GroupsDlg::showNotes);
    connect(m_ui->btnPreferredAdd, &QPushButton::clicked, this, &GroupsDlg::preferredAddAction);
    connect(m_ui->btnPreferredRemove, &QPushButton::clicked, this,
            &GroupsDlg::preferredRemoveAction);
    connect(m_ui->lstPreferred, &QListWidget::currentRowChanged, this,
            [this](int row) { m_ui->btnPreferredRemove->setEnabled(row >= 0); });
}

GroupsDlg::~GroupsDlg() = default;

QString GroupsDlg::similarityText(Similarity similarity)
{
    switch (similarity) {
    case Similarity::Strict:
        return tr("Strict");
    case Similarity::Loose:
        return tr("Loose");
    case Similarity::Normal:
        break;
    }
    return tr("Normal");
}

QString GroupsDlg::keepText(KeepRule rule)
{
    switch (rule) {
    case KeepRule::Size:
        return tr("Largest file");
    case KeepRule::Oldest:
        return tr("Oldest");
    case KeepRule::Newest:
        return tr("Newest");
    case KeepRule::Path:
        return tr("Path");
    case KeepRule::Pixels:
        break;
    }
    return tr("Most pixels");
}

void GroupsDlg::setup(const GroupsRequest& values)
{
    m_values = values;
    PathText::setField(m_ui->tfTopDirPath, values.folder);
    PathText::setField(m_ui->tfIndexFilePath, values.index);
    m_ui->cbxBits->setCurrentText(QString::number(values.bits));
    m_ui->cbxMatchRate->setCurrentText(QString::number(values.matchRate));
    m_ui->cbxSimilarity->setCurrentIndex(
        std::max(m_ui->cbxSimilarity->findData(static_cast<int>(values.similarity)), 0));
    m_ui->cbxKeep->setCurrentIndex(
        std::max(m_ui->cbxKeep->findData(static_cast<int>(values.keep)), 0));
    m_ui->chkAnyOrientation->setChecked(values.anyOrientation);
    showNotes();
    m_ui->lstPreferred->clear();
    for (const std::string& folder : values.preferred) {
        auto* item = new QListWidgetItem(PathText::display(folder), m_ui->lstPreferred);
        item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    }
    m_ui->btnPreferredRemove->setEnabled(m_ui->lstPreferred->currentRow() >= 0);
    const bool byIndex = values.method == SearchMethod::IndexFile;
    m_ui->rbSelectSearchIndexFile->setChecked(byIndex);
    m_ui->rbSelectSearchDirectory->setChecked(!byIndex);
    (byIndex ? m_ui->tfIndexFilePath : m_ui->tfTopDirPath)->setFocus();
}

bool GroupsDlg::doModal()
{
    m_result = false;
    exec(); // the close control rejects, which counts as cancel
    return m_result;
}

std::optional<int> GroupsDlg::number(QComboBox* field, int low, int high, const QString& problem)
{
    return TSearchDlg::fieldNumber(
        this, field, low, high, problem,
        tr("“%1” cannot be used. Correct it before the grouping starts."));
}

void GroupsDlg::okAction()
{
    const bool byFolder = m_ui->rbSelectSearchDirectory->isChecked();
    QLineEdit* source = byFolder ? m_ui->tfTopDirPath : m_ui->tfIndexFilePath;
    const auto bits = number(m_ui->cbxBits, search::kMinBits, search::kMaxBits,
                             tr("Colour bits must be a whole number from 1 to 4."));
    if (!bits)
        return;
    const auto rate = number(m_ui->cbxMatchRate, search::kMinMatchRate, search::kMaxMatchRate,
                             tr("The match rate must be a whole number from 0 to 100."));
    if (!rate)
        return;
    const std::string sourcePath = PathText::field(source);
    const StartResult check = UiHooks::preflight(
        byFolder ? UiHooks::Check::TopFolder : UiHooks::Check::IndexSource, sourcePath);
    if (!check) {
        // The reason names the file as it was typed, or is followed by it.
        const QString reason = RunReport::reason(check);
        UiHooks::alert(
            this,
            byFolder ? tr("The folder cannot be grouped.")
                     : tr("The index file cannot be grouped."),
            reason.contains(source->text()) ? reason : source->text() + QLatin1Char('\n') + reason);
        source->setFocus();
        return;
    }
    // As the command line refuses --prefer of a folder that is not there: a
    // stored folder may have gone since, and would silently prefer nothing.
    for (int row = 0; row < m_ui->lstPreferred->count(); ++row) {
        QListWidgetItem* item = m_ui->lstPreferred->item(row);
        bool isFolder = false;
        if (platform::FileManager::fileExists(item->data(Qt::UserRole).toByteArray().toStdString(),
                                              isFolder) &&
            isFolder)
            continue;
        UiHooks::alert(this, tr("A preferred folder cannot be used."),
                       item->text() + QLatin1Char('\n') +
                           tr("It does not exist or is no folder. Remove it, or add it again."));
        m_ui->lstPreferred->setCurrentItem(item);
        m_ui->lstPreferred->setFocus();
        return;
    }
    m_values.method = byFolder ? SearchMethod::Directory : SearchMethod::IndexFile;
    // The other field is kept as it was typed, for the next time.
    m_values.folder = PathText::field(m_ui->tfTopDirPath);
    m_values.index = PathText::field(m_ui->tfIndexFilePath);
    m_values.bits = *bits;
    m_values.matchRate = *rate;
    m_values.similarity = static_cast<Similarity>(m_ui->cbxSimilarity->currentData().toInt());
    m_values.keep = static_cast<KeepRule>(m_ui->cbxKeep->currentData().toInt());
    m_values.preferred = preferredFolders();
    m_values.anyOrientation = m_ui->chkAnyOrientation->isChecked();
    m_result = true;
    accept();
}

void GroupsDlg::cancelAction()
{
    m_result = false;
    reject();
}

void GroupsDlg::indexFilePathRefAction()
{
    const QString field = m_ui->tfIndexFilePath->text();
    if (const auto path =
            UiHooks::openFile(this, UiHooks::startFolderFor(field), UiHooks::indexFileName(field),
                              UiHooks::indexFilter())) {
        m_ui->tfIndexFilePath->setText(*path);
        m_ui->rbSelectSearchIndexFile->setChecked(true);
    }
}

void GroupsDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text())) {
        m_ui->tfTopDirPath->setText(*path);
        m_ui->rbSelectSearchDirectory->setChecked(true);
    }
}

void GroupsDlg::showNotes()
{
    for (const auto& [field, note] : {std::pair{m_ui->cbxSimilarity, m_ui->lblSimilarityNote},
                                      std::pair{m_ui->cbxKeep, m_ui->lblKeepNote}}) {
        const QString text = field->currentData(Qt::ToolTipRole).toString();
        note->setText(text);
        field->setAccessibleDescription(text);
    }
}

std::vector<std::string> GroupsDlg::preferredFolders() const
{
    std::vector<std::string> folders;
    folders.reserve(static_cast<std::size_t>(m_ui->lstPreferred->count()));
    for (int row = 0; row < m_ui->lstPreferred->count(); ++row)
        folders.push_back(
            m_ui->lstPreferred->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    return folders;
}

void GroupsDlg::preferredAddAction()
{
    const QListWidgetItem* current = m_ui->lstPreferred->currentItem();
    const auto path = UiHooks::openFolder(this, current != nullptr ? current->text()
                                                                   : m_ui->tfTopDirPath->text());
    if (!path)
        return;
    // The list shows what came of the choice, and Tab leads on from there.
    m_ui->lstPreferred->setFocus();
    // Compared with the pictures' paths as a folder: without a final "/".
    std::string folder = PathText::fromText(*path);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::vector<std::string> folders = preferredFolders();
    const auto known = std::find(folders.begin(), folders.end(), folder);
    if (known != folders.end()) {
        m_ui->lstPreferred->setCurrentRow(static_cast<int>(known - folders.begin()));
        return;
    }
    auto* item = new QListWidgetItem(PathText::display(folder), m_ui->lstPreferred);
    item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
    m_ui->lstPreferred->setCurrentItem(item);
}

void GroupsDlg::preferredRemoveAction()
{
    const int row = m_ui->lstPreferred->currentRow();
    if (row < 0)
        return;
    delete m_ui->lstPreferred->takeItem(row);
    // Focus stays in the list, or goes back to it once it is empty.
    m_ui->lstPreferred->setFocus();
}

} // namespace ovrin::ui
