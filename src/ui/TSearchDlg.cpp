#include "ui/TSearchDlg.h"

#include "engine/TGraphicSearch.h"
#include "signature/TFileInfo.h"
#include "ui/ContextStrip.h"
#include "ui/PathText.h"
#include "ui/RunReport.h"
#include "ui/TargetCheck.h"
#include "ui/UiHooks.h"
#include "ui_TSearchDlg.h"

#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
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
    connect(m_ui->tfTargetFilePath, &QLineEdit::textEdited, this, [this] { m_picture.reset(); });
    // Typing cannot leave the ranges; a stored value outside them is still
    // shown as it is, marked, and must be corrected before a search.
    m_ui->cbxBits->setValidator(new QIntValidator(search::kMinBits, search::kMaxBits, this));
    m_ui->cbxMatchRate->setValidator(
        new QIntValidator(search::kMinMatchRate, search::kMaxMatchRate, this));
    connect(m_ui->cbxBits, &QComboBox::editTextChanged, this, &TSearchDlg::markNumbers);
    connect(m_ui->cbxMatchRate, &QComboBox::editTextChanged, this, &TSearchDlg::markNumbers);
    m_check = new TargetCheck(this);
    m_checking = new QLabel(this);
    m_checking->setObjectName(QStringLiteral("lblChecking"));
    m_ui->buttons->insertWidget(0, m_checking);
    m_checking->hide();
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
    // Drawn from the palette's own colours, so the text stays readable on a
    // dark palette as on a light one.
    const auto mark = [](QComboBox* field, bool good) {
        const QPalette& own = field->palette();
        QPalette palette = field->lineEdit()->palette();
        QColor base = own.color(QPalette::Base);
        if (!good) {
            const QColor alarm(0xe0, 0x20, 0x20);
            constexpr float kShare = 0.35F;
            base.setRgbF(base.redF() + (alarm.redF() - base.redF()) * kShare,
                         base.greenF() + (alarm.greenF() - base.greenF()) * kShare,
                         base.blueF() + (alarm.blueF() - base.blueF()) * kShare);
        }
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, own.color(QPalette::Text));
        field->lineEdit()->setPalette(palette);
    };
    mark(m_ui->cbxBits,
         wholeNumber(m_ui->cbxBits->currentText(), search::kMinBits, search::kMaxBits).has_value());
    mark(m_ui->cbxMatchRate, wholeNumber(m_ui->cbxMatchRate->currentText(), search::kMinMatchRate,
                                         search::kMaxMatchRate)
                                 .has_value());
}

void TSearchDlg::setup(TGraphicSearch* engine)
{
    m_gs = engine;
    PathText::setField(m_ui->tfIndexFilePath, engine->indexFilePath());
    PathText::setField(m_ui->tfTopDirPath, engine->topDirPath());
    m_picture = engine->targetPicture();
    if (m_picture)
        m_ui->tfTargetFilePath->setText(ContextStrip::pictureName());
    else
        PathText::setField(m_ui->tfTargetFilePath, engine->target().filePath());
    m_ui->cbxBits->setCurrentText(QString::number(engine->bits()));
    m_ui->cbxMatchRate->setCurrentText(QString::number(engine->matchRate()));
    m_ui->chkAnyOrientation->setChecked(engine->anyOrientation());
    // Exclusive radio buttons cannot both be off; an unknown method must show so.
    m_ui->rbSelectSearchDirectory->setAutoExclusive(false);
    m_ui->rbSelectSearchIndexFile->setAutoExclusive(false);
    m_ui->rbSelectSearchDirectory->setChecked(engine->searchMethod() == SearchMethod::Directory);
    m_ui->rbSelectSearchIndexFile->setChecked(engine->searchMethod() == SearchMethod::IndexFile);
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
    if (m_gs == nullptr || isChecking())
        return;
    if (m_ui->tfTargetFilePath->text().isEmpty()) {
        missingAlert(m_ui->tfTargetFilePath, tr("No target picture was chosen."),
                     tr("Choose the picture to look for under “Target picture”."));
        return;
    }
    const bool byFolder = m_ui->rbSelectSearchDirectory->isChecked();
    QLineEdit* source = byFolder ? m_ui->tfTopDirPath : m_ui->tfIndexFilePath;
    if (source->text().isEmpty()) {
        if (byFolder)
            missingAlert(source, tr("No folder was chosen."),
                         tr("Choose the folder to search under “Folder”."));
        else
            missingAlert(source, tr("No index file was chosen."),
                         tr("Choose the index file to search under “Index file”."));
        return;
    }
    const auto bits = number(m_ui->cbxBits, search::kMinBits, search::kMaxBits,
                             tr("Colour bits must be a whole number from 1 to 4."));
    if (!bits)
        return;
    const auto rate = number(m_ui->cbxMatchRate, search::kMinMatchRate, search::kMaxMatchRate,
                             tr("The match rate must be a whole number from 0 to 100."));
    if (!rate)
        return;

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
        // Sets the pixel number the target is checked at to the index's own.
        if (!m_gs->checkIndexFile(sourcePath)) {
            fileLoadErrorAlert(source->text(), tr("Not an index file."));
            return;
        }
    }
    // The target is decoded last and off this thread: a hostile picture can
    // take many seconds, and Escape must be able to stop it. What the fields
    // held at OK is what the search takes.
    const std::string target = PathText::field(m_ui->tfTargetFilePath);
    const QString targetText = m_ui->tfTargetFilePath->text();
    const std::string index = PathText::field(m_ui->tfIndexFilePath);
    const std::string folder = PathText::field(m_ui->tfTopDirPath);
    m_checking->setText(
        tr("Checking the target “%1”… (Escape stops it)").arg(UiHooks::displayName(targetText)));
    // At a pixel number the engine cannot use the check still tells whether
    // the picture reads; the start then says what is wrong with the number.
    const std::int32_t pixelNumber = m_gs->pixelNumber();
    const bool usable = pixelNumber >= 1 && pixelNumber <= TFileInfo::kMaxPixelNumber;
    const auto checked = [=, this](TargetCheck::Verdict verdict) {
        showChecking(false);
        if (verdict.target.empty() && !verdict.picture) {
            fileLoadErrorAlert(targetText,
                               RunReport::loadFailure(verdict.refused.empty()
                                                          ? platform::LoadFailure::Stopped
                                                          : verdict.refused.front().second));
            m_ui->tfTargetFilePath->setFocus();
            return;
        }
        m_signature = usable ? std::move(verdict.signature) : std::vector<std::int16_t>();
        m_fine = usable ? verdict.fine : std::nullopt;
        if (verdict.picture) {
            m_gs->target().setFilePath(std::string());
            m_gs->setTargetPicture(verdict.picture, ContextStrip::pictureName().toStdString());
        } else {
            m_gs->target().setFilePath(target);
            m_gs->setTargetPicture(nullptr, {});
        }
        m_gs->setIndexFilePath(index);
        m_gs->setTopDirPath(folder);
        m_gs->setBits(*bits);
        m_gs->setMatchRate(*rate);
        m_gs->setAnyOrientation(m_ui->chkAnyOrientation->isChecked());
        m_gs->setSearchMethod(byFolder ? SearchMethod::Directory : SearchMethod::IndexFile);
        m_result = true;
        accept();
    };
    const std::int32_t checkedAt = usable ? pixelNumber : search::kDefaultPixelNumber;
    if (m_picture)
        m_check->start(TargetCheck::Picture{m_picture, {}}, checkedAt, checked);
    else
        m_check->start({target}, checkedAt, checked);
    // A quick picture has been answered already.
    if (isChecking())
        showChecking(true);
}

bool TSearchDlg::isChecking() const
{
    return m_check->isChecking();
}

QString TSearchDlg::checkingText() const
{
    return m_checking->isVisible() ? m_checking->text() : QString();
}

void TSearchDlg::showChecking(bool checking)
{
    m_checking->setVisible(checking);
    m_ui->btnOk->setEnabled(!checking);
}

void TSearchDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape first stops a check; the next one closes the dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && isChecking()) {
        m_check->cancel();
        showChecking(false);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSearchDlg::done(int result)
{
    // However the dialog closes, a check still running has nobody to answer.
    m_check->cancel();
    showChecking(false);
    QDialog::done(result);
}

void TSearchDlg::cancelAction()
{
    m_result = false;
    reject();
}

void TSearchDlg::missingAlert(QWidget* field, const QString& message, const QString& informative)
{
    UiHooks::alert(this, message, informative);
    field->setFocus();
}

void TSearchDlg::fileLoadErrorAlert(const QString& path, const QString& reason)
{
    UiHooks::alert(this, tr("File load error."),
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
    // A pasted picture's name is no place to start from.
    const QString field = m_picture ? QString() : m_ui->tfTargetFilePath->text();
    if (const auto path =
            UiHooks::openFile(this, UiHooks::startFolderFor(field), UiHooks::displayName(field),
                              UiHooks::pictureFilter())) {
        m_ui->tfTargetFilePath->setText(*path);
        m_picture.reset(); // a chosen file replaces a pasted picture
    }
}

void TSearchDlg::topDirPathRefAction()
{
    if (const auto path = UiHooks::openFolder(this, m_ui->tfTopDirPath->text()))
        m_ui->tfTopDirPath->setText(*path);
}

} // namespace ovrin::ui
