#include "ui/TCreateIndexFileDlg.h"

#include "engine/TGraphicSearch.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
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
    PathText::setField(m_ui->tfIndexFilePath, engine->indexFilePath());
    PathText::setField(m_ui->tfTopDirPath, engine->topDirPath());
    // Updating is the default; a full rebuild is asked for each time.
    m_ui->chkRebuildIndex->setChecked(false);
    m_ui->tfTopDirPath->setFocus();
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
    const std::string folder = PathText::field(m_ui->tfTopDirPath);
    if (const StartResult check = UiHooks::preflight(UiHooks::Check::TopFolder, folder); !check) {
        UiHooks::alert(this, tr("The folder cannot be indexed."),
                       m_ui->tfTopDirPath->text() + QLatin1Char('\n') + RunReport::reason(check));
        return;
    }
    const std::string index = PathText::field(m_ui->tfIndexFilePath);
    if (const StartResult check = UiHooks::preflight(UiHooks::Check::IndexDestination, index);
        !check) {
        UiHooks::alert(this, tr("The index file cannot be written there."),
                       m_ui->tfIndexFilePath->text() + QLatin1Char('\n') +
                           RunReport::reason(check));
        return;
    }
    m_gs->setIndexFilePath(index);
    m_gs->setTopDirPath(folder);
    m_gs->setRebuildIndex(m_ui->chkRebuildIndex->isChecked());
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
    if (const auto path = UiHooks::saveFile(this, UiHooks::startFolderFor(field),
                                            UiHooks::indexFileName(field), UiHooks::indexFilter()))
        m_ui->tfIndexFilePath->setText(*path);
}

void TCreateIndexFileDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text()))
        m_ui->tfTopDirPath->setText(*path);
}

} // namespace ovrin::ui
