#pragma once

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

    void showPicture(Slot slot, const QString& name, const PictureInfo& info);
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
