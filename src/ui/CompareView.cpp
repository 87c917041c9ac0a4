#include "ui/CompareView.h"

#include "ui/PreviewPane.h"
#include "ui/RunReport.h"

#include <QAction>
#include <QDateTime>
#include <QEvent>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>

namespace ovrin::ui {

// A side: the wheel with Ctrl zooms both sides, and a new size fits again.
class CompareSideView : public QGraphicsView {
public:
    using QGraphicsView::QGraphicsView;
    std::function<void(QPoint, int)> zoomWheel;
    std::function<void()> resized;

protected:
    void wheelEvent(QWheelEvent* event) override
    {
        if (!(event->modifiers() & Qt::ControlModifier) || !zoomWheel) {
            QGraphicsView::wheelEvent(event);
            return;
        }
        // Fine-grained wheels send fractions of a notch, gathered until a step is whole.
        m_wheel += event->angleDelta().y();
        const int steps = m_wheel / QWheelEvent::DefaultDeltasPerStep;
        m_wheel -= steps * QWheelEvent::DefaultDeltasPerStep;
        if (steps != 0)
            zoomWheel(event->position().toPoint(), steps);
        event->accept();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QGraphicsView::resizeEvent(event);
        if (resized)
            resized();
    }

private:
    int m_wheel = 0;
};

namespace {

// Zoom steps are powers of √2, so that 1:1 and each doubling are among them.
double stepFrom(double zoom, int steps)
{
    const double at = std::log2(zoom) * 2;
    const double step = steps > 0 ? std::floor(at + 1e-6) + steps : std::ceil(at - 1e-6) + steps;
    return std::pow(2.0, step / 2);
}

// Pictures load with no delay worth a word; a message would only flicker.
constexpr int kLoadingMessageDelayMs = 200;

} // namespace

CompareView::CompareView(QWidget* parent) : QWidget(parent)
{
    m_loader = new PictureLoader(2, 0, this);
    connect(m_loader, &PictureLoader::slotLoaded, this, &CompareView::loaded);

    auto* layout = new QVBoxLayout(this);
    auto* tools = new QHBoxLayout;
    layout->addLayout(tools);
    const auto makeAction = [this, tools](const QList<QKeySequence>& keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tools->addWidget(button);
        return action;
    };
    m_zoomOut = makeAction({QKeySequence::ZoomOut, QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                           &CompareView::zoomOut);
    m_zoomIn = makeAction({QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Plus),
                           QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                          &CompareView::zoomIn);
    m_fit = makeAction({QKeySequence(Qt::CTRL | Qt::Key_0)}, &CompareView::fit);
    m_actual = makeAction({QKeySequence(Qt::CTRL | Qt::Key_1)}, &CompareView::actualSize);
    for (QAction* action : {m_zoomOut, m_zoomIn}) {
        // The standard keys may repeat one another; each is listed once.
        QList<QKeySequence> keys;
        for (const QKeySequence& key : action->shortcuts())
            if (!key.isEmpty() && !keys.contains(key))
                keys << key;
        action->setShortcuts(keys);
    }
    m_zoomText = new QLabel(this);
    m_zoomText->setTextFormat(Qt::PlainText);
    tools->addSpacing(8);
    tools->addWidget(m_zoomText);
    tools->addStretch(1);
    m_close = new QAction(this);
    m_close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(m_close, &QAction::triggered, this, &QWidget::close);
    addAction(m_close);

    auto* grid = new QGridLayout;
    layout->addLayout(grid, 1);
    for (int i = 0; i < 2; ++i) {
        Part& part = m_parts[static_cast<std::size_t>(i)];
        const auto side = static_cast<Side>(i);
        part.title = new QLabel(this);
        part.title->setTextFormat(Qt::PlainText);
        QFont bold = part.title->font();
        bold.setBold(true);
        part.title->setFont(bold);
        part.scene = new QGraphicsScene(this);
        part.item = part.scene->addPixmap(QPixmap());
        part.view = new CompareSideView(part.scene, this);
        part.view->setDragMode(QGraphicsView::ScrollHandDrag);
        part.view->setTransformationAnchor(QGraphicsView::NoAnchor);
        part.view->setResizeAnchor(QGraphicsView::NoAnchor);
        part.view->setAlignment(Qt::AlignCenter);
        part.view->setFocusPolicy(Qt::StrongFocus);
        part.view->setMinimumSize(120, 90);
        part.view->zoomWheel = [this, side](QPoint at, int steps) { zoomAt(side, at, steps); };
        part.view->resized = [this, side] {
            if (m_fitting)
                setZoom(fitZoom(), true, side);
        };
        for (QScrollBar* bar : {part.view->horizontalScrollBar(), part.view->verticalScrollBar()})
            connect(bar, &QScrollBar::valueChanged, this, [this, side] { follow(side); });
        part.message = new QLabel(this);
        part.message->setTextFormat(Qt::PlainText);
        part.message->setAlignment(Qt::AlignCenter);
        part.message->setWordWrap(true);
        part.message->setFrameShape(QFrame::StyledPanel);
        part.message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        auto* holder = new QWidget(this);
        part.stack = new QStackedLayout(holder);
        part.stack->addWidget(part.view);
        part.stack->addWidget(part.message);
        part.caption = new QLabel(this);
        part.caption->setTextFormat(Qt::PlainText);
        part.caption->setWordWrap(true);
        part.caption->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        part.caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        part.caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(part.title, 0, i);
        grid->addWidget(holder, 1, i);
        grid->addWidget(part.caption, 2, i);
        grid->setColumnStretch(i, 1);
    }
    grid->setRowStretch(1, 1);
    setTabOrder(m_parts[0].view, m_parts[1].view);
    retranslate();
    for (Part& part : m_parts)
        showMessage(part, {});
    applyZoom();
    m_parts[ReferenceSide].view->setFocus();
}

CompareView::~CompareView()
{
    // The views outlive this part of the object while QWidget deletes its
    // children, and their scroll bars still move as they go: nothing of them
    // may call back into it then.
    for (Part& part : m_parts) {
        part.view->zoomWheel = {};
        part.view->resized = {};
        part.view->horizontalScrollBar()->disconnect(this);
        part.view->verticalScrollBar()->disconnect(this);
    }
}

void CompareView::retranslate()
{
    const bool groups = m_mode == Mode::Groups;
    setWindowTitle(tr("Ovrin — Compare"));
    m_parts[ReferenceSide].title->setText(groups ? tr("Reference") : tr("Target"));
    m_parts[MemberSide].title->setText(groups ? tr("Selected member") : tr("Selected hit"));
    m_parts[ReferenceSide].view->setAccessibleName(groups ? tr("Reference picture")
                                                          : tr("Target picture"));
    m_parts[MemberSide].view->setAccessibleName(groups ? tr("Selected member picture")
                                                       : tr("Selected hit picture"));
    const QString hint = tr("Drag, scroll or use the arrow keys to move both pictures; Ctrl and "
                            "the wheel zoom.");
    for (Part& part : m_parts)
        part.view->setToolTip(hint);
    const auto name = [](QAction* action, const QString& text, const QString& tip) {
        action->setText(text);
        action->setToolTip(tip + QStringLiteral(" (%1)").arg(
                                     action->shortcut().toString(QKeySequence::NativeText)));
    };
    name(m_zoomOut, tr("Zoom &Out"), tr("Zoom out"));
    name(m_zoomIn, tr("Zoom &In"), tr("Zoom in"));
    name(m_fit, tr("&Fit"), tr("Both pictures at the one zoom at which both fit"));
    name(m_actual, tr("&1:1"), tr("One picture pixel to one screen pixel"));
    m_close->setText(tr("Close"));
    applyZoom();
    updateCaptions();
}

void CompareView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QList<QKeySequence> CompareView::ownShortcuts() const
{
    QList<QKeySequence> keys;
    for (const QAction* action : {m_zoomOut, m_zoomIn, m_fit, m_actual, m_close})
        keys << action->shortcuts();
    // The views move their pictures with these.
    for (const int key :
         {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown})
        keys << QKeySequence(key);
    return keys;
}

QGraphicsView* CompareView::view(Side side) const
{
    return m_parts[side].view;
}

bool CompareView::hasPicture(Side side) const
{
    return m_parts[side].loaded;
}

QString CompareView::captionText(Side side) const
{
    return m_parts[side].caption->text();
}

QString CompareView::messageText(Side side) const
{
    const Part& part = m_parts[side];
    return part.stack->currentWidget() == part.message ? part.message->text() : QString();
}

// ---- Pictures ------------------------------------------------------------

void CompareView::showPair(Mode mode, const Picture& reference, const Picture& member)
{
    if (m_mode != mode) {
        m_mode = mode;
        retranslate();
    }
    for (const Side side : {ReferenceSide, MemberSide}) {
        const Picture& picture = side == ReferenceSide ? reference : member;
        Part& part = m_parts[side];
        const bool same = ((!picture.path.empty() && picture.path == part.picture.path) ||
                           (picture.bytes && picture.bytes == part.picture.bytes)) &&
                          picture.orientation == part.picture.orientation;
        part.picture = picture;
        if (same)
            continue;
        ++part.ticket;
        clearPicture(part);
        if (picture.path.empty() && !picture.bytes)
            showMessage(part, picture.message);
        else
            request(side);
    }
    updateCaptions();
}

void CompareView::clearPicture(Part& part)
{
    part.item->setPixmap(QPixmap());
    part.scene->setSceneRect(QRectF());
    part.info = PictureInfo();
    part.shown = QSize();
    part.loaded = false;
}

void CompareView::request(Side side)
{
    Part& part = m_parts[side];
    part.stack->setCurrentWidget(part.view);
    // An invalid box asks for the whole picture.
    if (part.picture.bytes)
        m_loader->request(side, part.picture.bytes, QSize(), part.ticket);
    else
        m_loader->request(side, part.picture.path, QSize(), part.ticket);
    QTimer::singleShot(kLoadingMessageDelayMs, this, [this, side, ticket = part.ticket] {
        Part& waiting = m_parts[side];
        if (waiting.ticket == ticket && !waiting.loaded && waiting.info.pixelSize.isEmpty() &&
            waiting.info.failure == platform::LoadFailure::None)
            showMessage(waiting, tr("Loading…"));
    });
}

void CompareView::loaded(int slot, std::uint64_t ticket, const PictureInfo& info)
{
    if (slot != ReferenceSide && slot != MemberSide)
        return;
    const auto side = static_cast<Side>(slot);
    Part& part = m_parts[side];
    if (ticket != part.ticket)
        return; // the selection has moved on
    part.info = info;
    part.info.image = QImage();
    if (info.image.isNull()) {
        part.loaded = false;
        showMessage(
            part, info.failure == platform::LoadFailure::Missing
                      ? tr("This file no longer exists.")
                      : tr("Cannot show it: %1")
                            .arg(RunReport::loadFailure(info.failure == platform::LoadFailure::None
                                                            ? platform::LoadFailure::NotAnImage
                                                            : info.failure)));
        updateCaptions();
        return;
    }
    const QImage image = PreviewPane::asTargetLies(info.image, part.picture.orientation);
    QSize whole = info.pixelSize.isValid() ? info.pixelSize : info.image.size();
    if (static_cast<int>(part.picture.orientation) % 2 == 1)
        whole.transpose(); // turned back by a quarter turn
    part.info.pixelSize = whole;
    part.shown = image.size();
    part.item->setPixmap(QPixmap::fromImage(image));
    // A reduced picture still covers the whole, so that zoom means the same on both sides.
    part.item->setTransform(QTransform::fromScale(double(whole.width()) / part.shown.width(),
                                                  double(whole.height()) / part.shown.height()));
    part.scene->setSceneRect(0, 0, whole.width(), whole.height());
    part.stack->setCurrentWidget(part.view);
    part.loaded = true;

    // The new picture comes to where the other side is.
    const auto other = static_cast<Side>(1 - side);
    const QPointF place = m_parts[other].loaded ? centreFraction(other) : QPointF(0.5, 0.5);
    if (m_fitting)
        m_zoom = fitZoom();
    applyZoom();
    m_following = true;
    centreOn(other, place);
    centreOn(side, place);
    m_following = false;
    updateCaptions();
}

void CompareView::showMessage(Part& part, const QString& message)
{
    part.message->setText(message);
    part.stack->setCurrentWidget(part.message);
}

// ---- Zoom and place ------------------------------------------------------

void CompareView::zoomIn()
{
    setZoom(stepFrom(m_zoom, 1), false, leadSide());
}

void CompareView::zoomOut()
{
    setZoom(stepFrom(m_zoom, -1), false, leadSide());
}

void CompareView::fit()
{
    setZoom(fitZoom(), true, leadSide());
}

void CompareView::actualSize()
{
    setZoom(1, false, leadSide());
}

CompareView::Side CompareView::leadSide() const
{
    return m_parts[MemberSide].view->hasFocus() ? MemberSide : ReferenceSide;
}

double CompareView::fitZoom() const
{
    // The one zoom at which both fit: a smaller copy shows smaller.
    double zoom = kMaxZoom;
    bool any = false;
    const double ratio = devicePixelRatioF();
    for (const Part& part : m_parts) {
        if (!part.loaded)
            continue;
        const QSize room = part.view->maximumViewportSize();
        const QSize whole = part.info.pixelSize;
        zoom = std::min(
            {zoom, room.width() * ratio / whole.width(), room.height() * ratio / whole.height()});
        any = true;
    }
    return any ? std::clamp(zoom, kMinZoom, kMaxZoom) : 1.0;
}

void CompareView::setZoom(double zoom, bool fitting, Side lead)
{
    const QPointF place = m_parts[lead].loaded ? centreFraction(lead) : QPointF(0.5, 0.5);
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    m_fitting = fitting;
    applyZoom();
    m_following = true;
    centreOn(lead, place);
    m_following = false;
    follow(lead);
}

void CompareView::zoomAt(Side side, QPoint at, int steps)
{
    Part& part = m_parts[side];
    if (!part.loaded)
        return;
    // The point under the pointer stays under it.
    const QPointF under = part.view->mapToScene(at);
    m_zoom = std::clamp(stepFrom(m_zoom, steps), kMinZoom, kMaxZoom);
    m_fitting = false;
    applyZoom();
    const QPointF moved = part.view->mapFromScene(under) - QPointF(at);
    m_following = true;
    part.view->horizontalScrollBar()->setValue(part.view->horizontalScrollBar()->value() +
                                               qRound(moved.x()));
    part.view->verticalScrollBar()->setValue(part.view->verticalScrollBar()->value() +
                                             qRound(moved.y()));
    m_following = false;
    follow(side);
}

void CompareView::applyZoom()
{
    const double scale = m_zoom / devicePixelRatioF();
    // Magnified pixels stay sharp, so that they can be told apart.
    const bool smooth = m_zoom < 1;
    m_following = true;
    for (Part& part : m_parts) {
        part.view->setTransform(QTransform::fromScale(scale, scale));
        part.item->setTransformationMode(smooth ? Qt::SmoothTransformation
                                                : Qt::FastTransformation);
        const Qt::ScrollBarPolicy bars = m_fitting ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
        part.view->setHorizontalScrollBarPolicy(bars);
        part.view->setVerticalScrollBarPolicy(bars);
    }
    m_following = false;
    const double percent = m_zoom * 100;
    const QString shown = tr("%1 %").arg(QLocale().toString(percent, 'f', percent < 10 ? 1 : 0));
    m_zoomText->setText(m_fitting ? tr("Fit: %1").arg(shown) : shown);
    m_fit->setEnabled(!m_fitting);
}

QPointF CompareView::centreFraction(Side side) const
{
    const Part& part = m_parts[side];
    const QSize whole = part.info.pixelSize;
    if (!part.loaded || whole.isEmpty())
        return {0.5, 0.5};
    const QPointF centre = part.view->viewportTransform().inverted().map(
        QRectF(part.view->viewport()->rect()).center());
    return {centre.x() / whole.width(), centre.y() / whole.height()};
}

void CompareView::centreOn(Side side, QPointF fraction)
{
    Part& part = m_parts[side];
    if (!part.loaded)
        return;
    const QSize whole = part.info.pixelSize;
    part.view->centerOn(fraction.x() * whole.width(), fraction.y() * whole.height());
}

void CompareView::follow(Side from)
{
    if (m_following)
        return;
    const auto other = static_cast<Side>(1 - from);
    if (!m_parts[from].loaded || !m_parts[other].loaded)
        return;
    m_following = true;
    centreOn(other, centreFraction(from));
    m_following = false;
}

// ---- Captions ------------------------------------------------------------

void CompareView::updateCaptions()
{
    for (const Side side : {ReferenceSide, MemberSide})
        m_parts[side].caption->setText(caption(side));
}

QString CompareView::caption(Side side) const
{
    const Part& part = m_parts[side];
    const PictureInfo& info = part.info;
    // The facts are the file's, whichever way it is shown.
    PictureInfo facts = info;
    const Orientation lies = part.loaded ? part.picture.orientation : Orientation::Upright;
    if (static_cast<int>(lies) % 2 == 1)
        facts.pixelSize.transpose();
    QStringList lines = PreviewPane::factLines(part.picture.name, facts);
    if (lies != Orientation::Upright)
        lines << PreviewPane::turnedBackText(lies);
    if (part.loaded && part.shown != info.pixelSize)
        lines << tr("Shown reduced to %1 × %2 pixels: the whole picture would exceed the memory "
                    "budget.")
                     .arg(QLocale().toString(part.shown.width()),
                          QLocale().toString(part.shown.height()));
    if (side == MemberSide) {
        const QString against = difference();
        if (!against.isEmpty())
            lines << against;
    }
    return lines.join(QLatin1Char('\n'));
}

QString CompareView::difference() const
{
    const PictureInfo& reference = m_parts[ReferenceSide].info;
    const PictureInfo& member = m_parts[MemberSide].info;
    const auto shows = [](const Picture& picture) {
        return !picture.path.empty() || picture.bytes != nullptr;
    };
    if (!shows(m_parts[ReferenceSide].picture) || !shows(m_parts[MemberSide].picture))
        return {};
    QStringList found;
    if (reference.pixelSize.isValid() && member.pixelSize.isValid()) {
        if (reference.pixelSize == member.pixelSize) {
            found << tr("same pixel size");
        } else {
            const double share =
                100.0 * member.pixelSize.width() * member.pixelSize.height() /
                (double(reference.pixelSize.width()) * reference.pixelSize.height());
            found
                << tr("%1 % of its pixels").arg(QLocale().toString(share, 'f', share < 10 ? 1 : 0));
        }
    }
    if (reference.bytes >= 0 && member.bytes >= 0) {
        const std::int64_t more = member.bytes - reference.bytes;
        const QString amount = QLocale().formattedDataSize(std::abs(more));
        found << (more == 0  ? tr("same file size")
                  : more > 0 ? tr("%1 larger").arg(amount)
                             : tr("%1 smaller").arg(amount));
    }
    if (reference.modifiedMs >= 0 && member.modifiedMs >= 0) {
        const std::int64_t later = member.modifiedMs - reference.modifiedMs;
        const std::int64_t seconds = std::abs(later) / 1000;
        QString span;
        if (seconds >= 86400)
            span = RunReport::count(seconds / 86400, tr("%1 day"), tr("%1 days"));
        else if (seconds >= 3600)
            span = RunReport::count(seconds / 3600, tr("%1 hour"), tr("%1 hours"));
        else if (seconds >= 60)
            span = RunReport::count(seconds / 60, tr("%1 minute"), tr("%1 minutes"));
        else
            span = RunReport::count(seconds, tr("%1 second"), tr("%1 seconds"));
        found << (seconds == 0 ? tr("modified at the same time")
                  : later > 0  ? tr("modified %1 later").arg(span)
                               : tr("modified %1 earlier").arg(span));
    }
    if (!reference.format.isEmpty() && !member.format.isEmpty() &&
        reference.format != member.format)
        found << tr("%1, not %2").arg(member.format, reference.format);
    if (found.isEmpty())
        return {};
    return (m_mode == Mode::Groups ? tr("Against the reference: %1") : tr("Against the target: %1"))
        .arg(found.join(QStringLiteral(" · ")));
}

} // namespace ovrin::ui
