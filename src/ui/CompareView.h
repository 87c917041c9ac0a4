#pragma once

#include "signature/Orientation.h"
#include "ui/PictureLoader.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QStackedLayout;

namespace ovrin::ui {

class CompareSideView;

// Two pictures side by side at their full resolution and at one zoom, so that
// a smaller copy looks smaller: the reference (or the target) and the member
// (or hit) it is compared with. Panning either side moves the other to the same
// place relative to its picture's size, so copies of different sizes stay
// aligned. Pictures are decoded on a thread of the view's own.
class CompareView : public QWidget {
    Q_OBJECT

public:
    enum Side { ReferenceSide = 0, MemberSide = 1 };
    enum class Mode { Hits, Groups };
    struct Picture {
        std::string path; // empty: `message` is shown instead, or `bytes`
        QString name;     // may hold a second line, such as the rate
        QString message;
        // How a hit lies against its target: it is shown turned back.
        Orientation orientation = Orientation::Upright;
        // A picture held in memory (a pasted target), in place of path.
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    };

    explicit CompareView(QWidget* parent = nullptr);
    ~CompareView() override;

    // A side whose path has not changed keeps its picture and its place.
    void showPair(Mode mode, const Picture& reference, const Picture& member);

    // Device pixels per picture pixel: 1 is 1:1.
    double zoom() const { return m_zoom; }
    bool fitting() const { return m_fitting; }
    void zoomIn();
    void zoomOut();
    void fit();
    void actualSize();

    QGraphicsView* view(Side side) const;
    bool hasPicture(Side side) const;
    QString captionText(Side side) const;
    // What a side shows instead of a picture; empty while it shows one.
    QString messageText(Side side) const;
    // The view's own keys, which the main window's actions added to this
    // window must not take from it.
    QList<QKeySequence> ownShortcuts() const;

    static constexpr double kMinZoom = 1.0 / 64;
    static constexpr double kMaxZoom = 32;

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Part {
        QLabel* title = nullptr;
        CompareSideView* view = nullptr;
        QLabel* message = nullptr;
        QLabel* caption = nullptr;
        QStackedLayout* stack = nullptr;
        QGraphicsScene* scene = nullptr;
        QGraphicsPixmapItem* item = nullptr;
        Picture picture;
        PictureInfo info; // without its image, which the scene holds
        QSize shown;      // of the decoded picture: smaller than the whole when reduced
        std::uint64_t ticket = 0;
        bool loaded = false;
    };

    void request(Side side);
    void loaded(int slot, std::uint64_t ticket, const PictureInfo& info);
    void showMessage(Part& part, const QString& message);
    void clearPicture(Part& part);
    void setZoom(double zoom, bool fitting, Side lead);
    void zoomAt(Side side, QPoint at, int steps);
    double fitZoom() const;
    void applyZoom();
    void follow(Side from);
    QPointF centreFraction(Side side) const;
    void centreOn(Side side, QPointF fraction);
    Side leadSide() const;
    void retranslate();
    void updateCaptions();
    QString caption(Side side) const;
    QString difference() const;

    std::array<Part, 2> m_parts;
    Mode m_mode = Mode::Hits;
    PictureLoader* m_loader = nullptr;
    double m_zoom = 1;
    bool m_fitting = true;
    bool m_following = false;
    QLabel* m_zoomText = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_fit = nullptr;
    QAction* m_actual = nullptr;
    QAction* m_close = nullptr;
};

} // namespace ovrin::ui
