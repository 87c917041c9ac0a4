#pragma once

#include <QStyledItemDelegate>

class QFontMetrics;
class QHeaderView;

namespace ovrin::ui {

// Draws paths so that the file name stays whole: where the cell is too narrow
// the middle of the folder part gives way first. The path to shorten is what
// the model gives for kPathRole; the text around it (a note such as "the
// target") stays as it is.
class PathDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kPathRole = Qt::UserRole + 20;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The text within `width` at these metrics: the path shortened inside
    // it, the rest kept.
    static QString elide(const QString& text, const QString& path, const QFontMetrics& metrics,
                         int width);

    // Makes the path column of a header take the room the other columns
    // leave, as a stretched column does, but never less than `floor`: in a
    // narrow window the facts scroll aside rather than squeeze the paths.
    // Called again (after a header's state was restored) it takes over anew.
    static void keepRoom(QHeaderView* header, int column, int floor);
};

} // namespace ovrin::ui
