#include "ui/TCreateIndexFileDlg.h"

#include "engine/TGraphicSearch.h"
#include "ui/UiHooks.h"
#include "ui_TCreateIndexFileDlg.h"

namespace ovrin::ui {

TCreateIndexFileDlg::TCreateIndexFileDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TCreateIndexFileDlg>())
{
    m_ui->setupUi(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &TCreateIndexFileDlg::okAction);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &TCreateIndexFileDlg::cancelAction);
    connect(m_ui->btnIndexFilePathRef, &QPushButton::clicked, this,
            &TCreateIndexFileDlg::indexFilePathRefAction);
    connect(m_ui->btnTopDirPathRef, &QPushButton::clicked, this,
            &TCreateIndexFileDlg::topDirPathRefAction);
}

TCreateIndexFileDlg::~TCreateIndexFileDlg() = default;

void TCreateIndexFileDlg::setup(TGraphicSearch* engine)
{
    m_gs = engine;
    if (const auto path = engine->indexFilePath())
        m_ui->tfIndexFilePath->setText(QString::fromStdString(*path));
    if (const auto path = engine->topDirPath())
        m_ui->tfTopDirPath->setText(QString::fromStdString(*path));
}

bool TCreateIndexFileDlg::doModal()
{
    m_result = false;
    exec();
    return m_result;
}

void TCreateIndexFileDlg::okAction()
{
    if (m_gs == nullptr || m_ui->tfIndexFilePath->text().isEmpty() ||
        m_ui->tfTopDirPath->text().isEmpty())
        return;
    m_gs->setIndexFilePath(m_ui->tfIndexFilePath->text().toStdString());
    m_gs->setTopDirPath(m_ui->tfTopDirPath->text().toStdString());
    m_result = true;
    accept();
}

void TCreateIndexFileDlg::cancelAction()
{
    m_result = false;
    reject();
}

void TCreateIndexFileDlg::indexFilePathRefAction()
{
    const QString field = m_ui->tfIndexFilePath->text();
    if (const auto path =
            UiHooks::saveFile(this, UiHooks::startFolderFor(field), UiHooks::indexFileName(field)))
        m_ui->tfIndexFilePath->setText(*path);
}

void TCreateIndexFileDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text()))
        m_ui->tfTopDirPath->setText(*path);
}

} // namespace ovrin::ui
