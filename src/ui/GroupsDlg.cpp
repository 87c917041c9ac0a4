#include "ui/GroupsDlg.h"

#include "engine/TGraphicSearch.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
#include "ui/TSearchDlg.h"
#include "ui/UiHooks.h"
#include "ui_GroupsDlg.h"

#include <QIntValidator>
#include <QLineEdit>

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
    m_ui->cbxBits->setValidator(
        new QIntValidator(TSearchDlg::kMinBits, TSearchDlg::kMaxBits, this));
    m_ui->cbxMatchRate->setValidator(
        new QIntValidator(TSearchDlg::kMinRate, TSearchDlg::kMaxRate, this));
}

GroupsDlg::~GroupsDlg() = default;

void GroupsDlg::setup(const GroupsRequest& values)
{
    m_values = values;
    PathText::setField(m_ui->tfTopDirPath, values.folder);
    PathText::setField(m_ui->tfIndexFilePath, values.index);
    m_ui->cbxBits->setCurrentText(QString::number(values.bits));
    m_ui->cbxMatchRate->setCurrentText(QString::number(values.matchRate));
    const bool byIndex = values.method == TGraphicSearch::kSearchIndexFile;
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
    const auto bits = number(m_ui->cbxBits, TSearchDlg::kMinBits, TSearchDlg::kMaxBits,
                             tr("Colour bits must be a whole number from 1 to 4."));
    if (!bits)
        return;
    const auto rate = number(m_ui->cbxMatchRate, TSearchDlg::kMinRate, TSearchDlg::kMaxRate,
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
    m_values.method =
        byFolder ? TGraphicSearch::kSearchDirectory : TGraphicSearch::kSearchIndexFile;
    // The other field is kept as it was typed, for the next time.
    m_values.folder = PathText::field(m_ui->tfTopDirPath);
    m_values.index = PathText::field(m_ui->tfIndexFilePath);
    m_values.bits = *bits;
    m_values.matchRate = *rate;
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

} // namespace ovrin::ui
