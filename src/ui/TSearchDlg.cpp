#include "ui/TSearchDlg.h"

#include "engine/TGraphicSearch.h"
#include "signature/TFileInfo.h"
#include "ui/UiHooks.h"
#include "ui_TSearchDlg.h"

#include <limits>

namespace ovrin::ui {

namespace {

std::string text(const QLineEdit* field)
{
    return field->text().toStdString();
}

} // namespace

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
}

TSearchDlg::~TSearchDlg() = default;

int TSearchDlg::intValue(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            break;
    }
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void TSearchDlg::setup(TGraphicSearch* engine)
{
    m_gs = engine;
    if (const auto path = engine->indexFilePath())
        m_ui->tfIndexFilePath->setText(QString::fromStdString(*path));
    if (const auto path = engine->topDirPath())
        m_ui->tfTopDirPath->setText(QString::fromStdString(*path));
    if (const auto& path = engine->target().filePath())
        m_ui->tfTargetFilePath->setText(QString::fromStdString(*path));
    m_ui->cbxBits->setCurrentText(QString::number(engine->bits()));
    m_ui->cbxMatchRate->setCurrentText(QString::number(engine->matchRate()));
    // Exclusive radio buttons cannot both be off; an unknown method must show so.
    m_ui->rbSelectSearchDirectory->setAutoExclusive(false);
    m_ui->rbSelectSearchIndexFile->setAutoExclusive(false);
    m_ui->rbSelectSearchDirectory->setChecked(engine->searchMethod() == 0);
    m_ui->rbSelectSearchIndexFile->setChecked(engine->searchMethod() == 1);
    m_ui->rbSelectSearchDirectory->setAutoExclusive(true);
    m_ui->rbSelectSearchIndexFile->setAutoExclusive(true);
}

bool TSearchDlg::doModal()
{
    m_result = false;
    exec(); // the close control rejects, which counts as cancel
    return m_result;
}

void TSearchDlg::okAction()
{
    if (m_gs == nullptr || m_ui->tfTargetFilePath->text().isEmpty())
        return;
    const QString target = m_ui->tfTargetFilePath->text();
    if (!TFileInfo::checkGraphicFile(target.toStdString())) {
        fileLoadErrorAlert(target);
        return;
    }
    const bool byFolder = m_ui->rbSelectSearchDirectory->isChecked();
    if (byFolder) {
        if (m_ui->tfTopDirPath->text().isEmpty())
            return;
    } else {
        const QString index = m_ui->tfIndexFilePath->text();
        if (index.isEmpty())
            return;
        if (!m_gs->checkIndexFile(index.toStdString())) {
            fileLoadErrorAlert(index);
            return;
        }
    }
    m_gs->target().setFilePath(target.toStdString());
    m_gs->setIndexFilePath(text(m_ui->tfIndexFilePath));
    m_gs->setTopDirPath(text(m_ui->tfTopDirPath));
    m_gs->setBits(intValue(m_ui->cbxBits->currentText()));
    m_gs->setMatchRate(intValue(m_ui->cbxMatchRate->currentText()));
    m_gs->setSearchMethod(byFolder ? 0 : 1);
    m_result = true;
    accept();
}

void TSearchDlg::cancelAction()
{
    m_result = false;
    reject();
}

void TSearchDlg::fileLoadErrorAlert(const QString& path)
{
    UiHooks::alert(this, QStringLiteral("File load error."), path);
}

void TSearchDlg::indexFilePathRefAction()
{
    const QString field = m_ui->tfIndexFilePath->text();
    if (const auto path =
            UiHooks::openFile(this, UiHooks::startFolderFor(field), UiHooks::indexFileName(field)))
        m_ui->tfIndexFilePath->setText(*path);
}

void TSearchDlg::targetFilePathRefAction()
{
    const QString field = m_ui->tfTargetFilePath->text();
    if (const auto path =
            UiHooks::openFile(this, UiHooks::startFolderFor(field), UiHooks::displayName(field)))
        m_ui->tfTargetFilePath->setText(*path);
}

void TSearchDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text()))
        m_ui->tfTopDirPath->setText(*path);
}

} // namespace ovrin::ui
