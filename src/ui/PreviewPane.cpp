#include "ui/PreviewPane.h"

#include "ui/HitListModel.h"
#include "ui/RunReport.h"

#include <QDateTime>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPixmap>

namespace ovrin::ui {

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 0, 0, 0);
    for (int i = 0; i < 2; ++i) {
        Part& part = m_parts[static_cast<std::size_t>(i)];
        part.title = new QLabel(this);
        part.title->setTextFormat(Qt::PlainText);
        QFont bold = part.title->font();
        bold.setBold(true);
        part.title->setFont(bold);
        part.image = new QLabel(this);
        part.image->setAlignment(Qt::AlignCenter);
        part.image->setMinimumSize(96, 96);
        part.image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        part.image->setFrameShape(QFrame::StyledPanel);
        part.info = new QLabel(this);
        part.info->setTextFormat(Qt::PlainText);
        part.info->setWordWrap(true);
        part.info->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        part.info->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        part.info->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(part.title, 0, i);
        layout->addWidget(part.image, 1, i);
        layout->addWidget(part.info, 2, i);
        layout->setColumnStretch(i, 1);
    }
    layout->setRowStretch(1, 1);
    retranslate();
    showMessage(TargetSlot, {}, tr("No target chosen yet."));
    showMessage(HitSlot, {}, tr("Select a hit to see it here."));
}

void PreviewPane::retranslate()
{
    if (m_mode == Mode::Groups) {
        m_parts[TargetSlot].title->setText(tr("Reference"));
        m_parts[HitSlot].title->setText(tr("Selected member"));
        m_parts[TargetSlot].image->setAccessibleName(tr("Reference picture"));
        m_parts[HitSlot].image->setAccessibleName(tr("Selected member picture"));
        m_parts[TargetSlot].info->setAccessibleName(tr("About the reference picture"));
        m_parts[HitSlot].info->setAccessibleName(tr("About the selected member"));
    } else {
        m_parts[TargetSlot].title->setText(tr("Target"));
        m_parts[HitSlot].title->setText(tr("Selected hit"));
        m_parts[TargetSlot].image->setAccessibleName(tr("Target picture"));
        m_parts[HitSlot].image->setAccessibleName(tr("Selected hit picture"));
        m_parts[TargetSlot].info->setAccessibleName(tr("About the target picture"));
        m_parts[HitSlot].info->setAccessibleName(tr("About the selected hit"));
    }
    setAccessibleName(tr("Preview"));
}

void PreviewPane::setMode(Mode mode)
{
    m_mode = mode;
    retranslate();
}

void PreviewPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QStringList PreviewPane::factLines(const QString& name, const PictureInfo& info)
{
    QStringList lines;
    if (!name.isEmpty())
        lines << name;
    if (info.pixelSize.isValid()) {
        QString size = tr("%1 × %2 pixels")
                           .arg(QLocale().toString(info.pixelSize.width()),
                                QLocale().toString(info.pixelSize.height()));
        if (!info.format.isEmpty())
            size += QStringLiteral(" · ") + info.format;
        lines << size;
    }
    if (info.bytes >= 0) {
        QString file = QLocale().formattedDataSize(info.bytes);
        if (info.modifiedMs >= 0)
            file += QStringLiteral(" · ") +
                    QLocale().toString(QDateTime::fromMSecsSinceEpoch(info.modifiedMs),
                                       QLocale::ShortFormat);
        lines << file;
    }
    return lines;
}

QImage PreviewPane::asTargetLies(const QImage& image, Orientation lies)
{
    if (lies == Orientation::Upright || image.isNull())
        return image;
    // The hit is the target mirrored first, then turned clockwise: undone
    // the other way round.
    const auto code = static_cast<int>(lies);
    QImage back = image;
    if (code % 4 != 0)
        back = back.transformed(QTransform().rotate(-90.0 * (code % 4)));
    return code >= 4 ? back.mirrored(true, false) : back;
}

QString PreviewPane::turnedBackText(Orientation lies)
{
    if (lies == Orientation::Upright)
        return {};
    return tr("%1, shown as the target lies").arg(HitListModel::orientationText(lies));
}

void PreviewPane::showPicture(Slot slot, const QString& name, const PictureInfo& info,
                              Orientation lies)
{
    Part& part = m_parts[slot];
    QStringList lines = factLines(name, info);
    if (!info.image.isNull() && lies != Orientation::Upright)
        lines << turnedBackText(lies);
    if (info.failure == platform::LoadFailure::Missing)
        lines << tr("This file no longer exists.");
    else if (info.failure != platform::LoadFailure::None)
        lines << tr("No preview: %1").arg(RunReport::loadFailure(info.failure));
    part.info->setText(lines.join(QLatin1Char('\n')));
    part.image->setToolTip(name);
    part.picture = asTargetLies(info.image, lies);
    if (part.picture.isNull())
        part.image->setText(info.failure == platform::LoadFailure::Missing ? tr("Missing")
                                                                           : tr("No preview"));
    else
        fit(part);
}

void PreviewPane::showMessage(Slot slot, const QString& name, const QString& message)
{
    Part& part = m_parts[slot];
    part.picture = QImage();
    part.image->setPixmap(QPixmap());
    part.image->setText(QString());
    part.image->setToolTip(name);
    part.info->setText(name.isEmpty() ? message : name + QLatin1Char('\n') + message);
}

QString PreviewPane::infoText(Slot slot) const
{
    return m_parts[slot].info->text();
}

void PreviewPane::fit(Part& part)
{
    if (part.picture.isNull())
        return;
    const QSize room = part.image->contentsRect().size() * devicePixelRatioF();
    QImage shown = part.picture;
    if (shown.width() > room.width() || shown.height() > room.height())
        shown = shown.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio,
                             Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(shown);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    part.image->setPixmap(pixmap);
}

void PreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    for (Part& part : m_parts)
        fit(part);
}

} // namespace ovrin::ui
