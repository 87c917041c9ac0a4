#include "ui/ContextStrip.h"

#include "engine/TGraphicSearch.h"
#include "ui/PathText.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

namespace ovrin::ui {

namespace {

// A label that keeps both ends of a long path in view: the folder it starts
// in and the file name.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent) : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

QString shown(const std::optional<std::string>& path)
{
    return path && !path->empty() ? PathText::display(*path) : QStringLiteral("—");
}

} // namespace

ContextStrip::ContextStrip(QWidget* parent)
    : QFrame(parent), m_picture(new QLabel(this)), m_targetCaption(new QLabel(this)),
      m_target(new ElidedLabel(this)), m_sourceCaption(new QLabel(this)),
      m_source(new ElidedLabel(this)), m_settings(new QLabel(this)),
      m_feedback(new ElidedLabel(this))
{
    setFrameShape(QFrame::StyledPanel);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setVerticalSpacing(2);
    m_picture->setFixedSize(44, 44);
    m_picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_picture, 0, 0, 3, 1);
    layout->addWidget(m_targetCaption, 0, 1);
    layout->addWidget(m_target, 0, 2);
    layout->addWidget(m_settings, 0, 3, Qt::AlignRight);
    layout->addWidget(m_sourceCaption, 1, 1);
    layout->addWidget(m_source, 1, 2, 1, 2);
    layout->addWidget(m_feedback, 2, 1, 1, 3);
    layout->setColumnStretch(2, 1);
    m_settings->setTextFormat(Qt::PlainText);
    retranslate();
}

void ContextStrip::retranslate()
{
    setAccessibleName(tr("Search context"));
    m_picture->setAccessibleName(tr("Target picture"));
    showContext(m_context);
}

void ContextStrip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QFrame::changeEvent(event);
}

void ContextStrip::showContext(const StripContext& context)
{
    m_context = context;
    m_targetCaption->setText(context.groups ? tr("Finding:") : tr("Target:"));
    m_target->setText(context.groups    ? tr("Look-alike groups")
                      : context.picture ? pictureName(context.pictureSize)
                                        : shown(context.target));
    m_target->setToolTip(m_target->text());
    const bool byIndex = context.method == SearchMethod::IndexFile;
    m_sourceCaption->setText(byIndex ? tr("Index file:") : tr("Folder:"));
    m_source->setText(shown(byIndex ? context.index : context.folder));
    m_source->setToolTip(m_source->text());
    const QString settings =
        tr("Bits %1 · match rate %2 %").arg(context.bits).arg(context.matchRate);
    m_settings->setText(context.grouping.isEmpty() ? settings
                                                   : tr("%1 · %2").arg(settings, context.grouping));
    m_target->setAccessibleName(m_targetCaption->text() + QLatin1Char(' ') + m_target->text());
    m_source->setAccessibleName(m_sourceCaption->text() + QLatin1Char(' ') + m_source->text());
}

QString ContextStrip::pictureName(QSize size)
{
    QString name = tr("(pasted picture)");
    if (!size.isValid() || size.isEmpty())
        return name;
    return tr("%1, %2 × %3 pixels")
        .arg(name, QLocale().toString(size.width()), QLocale().toString(size.height()));
}

void ContextStrip::setTargetImage(const QImage& image)
{
    if (image.isNull()) {
        m_picture->setPixmap(QPixmap());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap = QPixmap::fromImage(
        image.scaled(m_picture->size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(ratio);
    m_picture->setPixmap(pixmap);
}

void ContextStrip::showFeedback(const QString& text, bool warning)
{
    m_feedback->setText(text);
    m_feedback->setToolTip(text);
    m_feedback->setAccessibleName(text);
    QPalette palette = this->palette();
    if (warning)
        palette.setColor(QPalette::WindowText, QColor(0xb0, 0x20, 0x20));
    m_feedback->setPalette(palette);
}

QString ContextStrip::contextText() const
{
    return QStringList{m_targetCaption->text(), m_target->text(), m_sourceCaption->text(),
                       m_source->text(), m_settings->text()}
        .join(QLatin1Char(' '));
}

QString ContextStrip::feedbackText() const
{
    return m_feedback->text();
}

} // namespace ovrin::ui
