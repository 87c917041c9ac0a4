#include "ui/TSearchDlg.h"

#include "engine/TGraphicSearch.h"
#include "signature/TFileInfo.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
#include "ui/UiHooks.h"
#include "ui_TSearchDlg.h"

#include <QIntValidator>
#include <QLineEdit>

namespace ovrin::ui {

TSearchDlg::TSearchDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::TSearchDlg>())
{
    m_ui->setupUi(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &TSearchDlg::okAction);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TSearchDlg::cancelAction);
    connect(m_ui->btnIndexFilePathRef, &QPushButton::clicked, this,
            &TSearchDlg::indexFilePathRefAction);
    connect(m_ui->btnTargetFilePathRef, &QPushButton::clicked, this,
            &TSearchDlg::targetFilePathRefAction);
    connect(m_ui->btnTopDirPathRef, &QPushButton::clicked, this, &TSearchDlg::topDirPathRefAction);
    // Typing cannot leave the ranges; a stored value outside them is still
    // shown as it is, marked, and must be corrected before a search.
    m_ui->cbxBits->setValidator(new QIntValidator(kMinBits, kMaxBits, this));
    m_ui->cbxMatchRate->setValidator(new QIntValidator(kMinRate, kMaxRate, this));
    connect(m_ui->cbxBits, &QComboBox::editTextChanged, this, &TSearchDlg::markNumbers);
    connect(m_ui->cbxMatchRate, &QComboBox::editTextChanged, this, &TSearchDlg::markNumbers);
}

TSearchDlg::~TSearchDlg() = default;

std::optional<int> TSearchDlg::wholeNumber(const QString& text, int low, int high)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

void TSearchDlg::markNumbers()
{
    const auto mark = [](QComboBox* field, bool good) {
        QPalette palette = field->lineEdit()->palette();
        palette.setColor(QPalette::Base,
                         good ? field->palette().color(QPalette::Base) : QColor(0xff, 0xd8, 0xd8));
        field->lineEdit()->setPalette(palette);
    };
    mark(m_ui->cbxBits, wholeNumber(m_ui->cbxBits->currentText(), kMinBits, kMaxBits).has_value());
    mark(m_ui->cbxMatchRate,
         wholeNumber(m_ui->cbxMatchRate->currentText(), kMinRate, kMaxRate).has_value());
}

void TSearchDlg::setup(TGraphicSearch* engine)
{
    m_gs = engine;
    PathText::setField(m_ui->tfIndexFilePath, engine->indexFilePath());
    PathText::setField(m_ui->tfTopDirPath, engine->topDirPath());
    PathText::setField(m_ui->tfTargetFilePath, engine->target().filePath());
    m_ui->cbxBits->setCurrentText(QString::number(engine->bits()));
    m_ui->cbxMatchRate->setCurrentText(QString::number(engine->matchRate()));
    // Exclusive radio buttons cannot both be off; an unknown method must show so.
    m_ui->rbSelectSearchDirectory->setAutoExclusive(false);
    m_ui->rbSelectSearchIndexFile->setAutoExclusive(false);
    m_ui->rbSelectSearchDirectory->setChecked(engine->searchMethod() ==
                                              TGraphicSearch::kSearchDirectory);
    m_ui->rbSelectSearchIndexFile->setChecked(engine->searchMethod() ==
                                              TGraphicSearch::kSearchIndexFile);
    m_ui->rbSelectSearchDirectory->setAutoExclusive(true);
    m_ui->rbSelectSearchIndexFile->setAutoExclusive(true);
    markNumbers();
    m_ui->tfTargetFilePath->setFocus();
}

bool TSearchDlg::doModal()
{
    m_result = false;
    exec(); // the close control rejects, which counts as cancel
    return m_result;
}

std::optional<int> TSearchDlg::fieldNumber(QWidget* parent, QComboBox* field, int low, int high,
                                           const QString& problem, const QString& correction)
{
    const auto value = wholeNumber(field->currentText(), low, high);
    if (!value) {
        UiHooks::alert(parent, problem, correction.arg(field->currentText()));
        field->setFocus();
        field->lineEdit()->selectAll();
    }
    return value;
}

std::optional<int> TSearchDlg::number(QComboBox* field, int low, int high, const QString& problem)
{
    return fieldNumber(this, field, low, high, problem,
                       tr("“%1” cannot be used. Correct it before the search starts."));
}

void TSearchDlg::okAction()
{
    if (m_gs == nullptr || m_ui->tfTargetFilePath->text().isEmpty())
        return;
    const bool byFolder = m_ui->rbSelectSearchDirectory->isChecked();
    QLineEdit* source = byFolder ? m_ui->tfTopDirPath : m_ui->tfIndexFilePath;
    if (source->text().isEmpty())
        return;
    const auto bits = number(m_ui->cbxBits, kMinBits, kMaxBits,
                             tr("Colour bits must be a whole number from 1 to 4."));
    if (!bits)
        return;
    const auto rate = number(m_ui->cbxMatchRate, kMinRate, kMaxRate,
                             tr("The match rate must be a whole number from 0 to 100."));
    if (!rate)
        return;

    const std::string target = PathText::field(m_ui->tfTargetFilePath);
    if (const auto failure = TFileInfo::diagnoseGraphicFile(target);
        failure != platform::LoadFailure::None) {
        fileLoadErrorAlert(m_ui->tfTargetFilePath->text(), RunReport::loadFailure(failure));
        return;
    }
    const std::string sourcePath = PathText::field(source);
    if (byFolder) {
        if (const StartResult folder = UiHooks::preflight(UiHooks::Check::TopFolder, sourcePath);
            !folder) {
            UiHooks::alert(this, tr("The folder cannot be searched."),
                           source->text() + QLatin1Char('\n') + RunReport::reason(folder));
            return;
        }
    } else {
        if (const StartResult index = UiHooks::preflight(UiHooks::Check::IndexSource, sourcePath);
            !index) {
            fileLoadErrorAlert(source->text(), RunReport::reason(index));
            return;
        }
        if (!m_gs->checkIndexFile(sourcePath)) {
            fileLoadErrorAlert(source->text(), tr("Not an index file."));
            return;
        }
    }
    m_gs->target().setFilePath(target);
    m_gs->setIndexFilePath(PathText::field(m_ui->tfIndexFilePath));
    m_gs->setTopDirPath(PathText::field(m_ui->tfTopDirPath));
    m_gs->setBits(*bits);
    m_gs->setMatchRate(*rate);
    m_gs->setSearchMethod(byFolder ? TGraphicSearch::kSearchDirectory
                                   : TGraphicSearch::kSearchIndexFile);
    m_result = true;
    accept();
}

void TSearchDlg::cancelAction()
{
    m_result = false;
    reject();
}

void TSearchDlg::fileLoadErrorAlert(const QString& path, const QString& reason)
{
    UiHooks::alert(this, QStringLiteral("File load error."),
                   reason.isEmpty() ? path : path + QLatin1Char('\n') + reason);
}

void TSearchDlg::indexFilePathRefAction()
{
    const QString field = m_ui->tfIndexFilePath->text();
    if (const auto path = UiHooks::openFile(this, UiHooks::startFolderFor(field),
                                            UiHooks::indexFileName(field), UiHooks::indexFilter()))
        m_ui->tfIndexFilePath->setText(*path);
}

void TSearchDlg::targetFilePathRefAction()
{
    const QString field = m_ui->tfTargetFilePath->text();
    if (const auto path = UiHooks::openFile(this, UiHooks::startFolderFor(field),
                                            UiHooks::displayName(field), UiHooks::pictureFilter()))
        m_ui->tfTargetFilePath->setText(*path);
}

void TSearchDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text()))
        m_ui->tfTopDirPath->setText(*path);
}

} // namespace ovrin::ui
