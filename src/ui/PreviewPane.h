#pragma once

#include "signature/Orientation.h"
#include "ui/PictureLoader.h"

#include <QWidget>

#include <array>

class QLabel;

namespace ovrin::ui {

// The target and the selected hit side by side, each scaled to fit, with its
// pixel size, file size, format and modification date; for groups, the
// selected member's reference and the member.
class PreviewPane : public QWidget {
    Q_OBJECT

public:
    enum Slot { TargetSlot = 0, HitSlot = 1 };
    enum class Mode { Hits, Groups };

    explicit PreviewPane(QWidget* parent = nullptr);

    // The box a picture is reduced to before it comes here.
    static QSize pictureBox() { return {640, 640}; }

    // A hit that lies otherwise than its target (`lies`) is shown turned back
    // to lie as the target does, and says so.
    void showPicture(Slot slot, const QString& name, const PictureInfo& info,
                     Orientation lies = Orientation::Upright);
    // The picture a slot shows, before it is scaled to fit; null without one.
    QImage shownImage(Slot slot) const { return m_parts[slot].picture; }
    // A picture of a hit that lies as `lies` says, turned back as its target lies.
    static QImage asTargetLies(const QImage& image, Orientation lies);
    // The line that tells a picture was turned back; empty for an upright one.
    static QString turnedBackText(Orientation lies);
    // The lines that tell a picture: its name, pixels and format, file size and date.
    static QStringList factLines(const QString& name, const PictureInfo& info);
    void showMessage(Slot slot, const QString& name, const QString& message);
    QString infoText(Slot slot) const;
    // What the two sides are called.
    void setMode(Mode mode);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Part {
        QLabel* title = nullptr;
        QLabel* image = nullptr;
        QLabel* info = nullptr;
        QImage picture;
    };
    void fit(Part& part);
    void retranslate();

    std::array<Part, 2> m_parts;
    Mode m_mode = Mode::Hits;
};

} // namespace ovrin::ui
