#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <string>

class QHeaderView;

namespace ovrin::ui {

// What the views tell beside each picture: its pixels, bytes and time, each
// of them possibly unknown (a picture not decoded, a file not looked at).
struct PictureFacts {
    std::uint32_t width = 0; // 0: unknown
    std::uint32_t height = 0;
    std::int64_t pixels = 0; // width * height where both are known; else as counted, 0 unknown
    std::int64_t size = -1;  // bytes; -1 unknown
    std::int64_t modifiedNs = 0;
    bool timeKnown = false;

    static PictureFacts of(std::uint32_t width, std::uint32_t height);
};

// The facts' cells, and how a picture compares with the one it is held
// against (a group's reference, a search's target). The notes are empty where
// there is nothing to say: a fact unknown on either side, or no difference
// worth a whole percent or a minute.
class FactText {
    Q_DECLARE_TR_FUNCTIONS(ovrin::ui::FactText)

public:
    static QString dimensions(const PictureFacts& facts);
    static QString size(const PictureFacts& facts);
    static QString modified(const PictureFacts& facts);

    static QString pixelNote(const PictureFacts& picture, const PictureFacts& reference);
    static QString sizeNote(const PictureFacts& picture, const PictureFacts& reference);
    static QString ageNote(const PictureFacts& picture, const PictureFacts& reference);

    // A cell's value with its note on a line of its own, so that the columns
    // stay narrow.
    static QString cell(const QString& value, const QString& note);

    // The folder that holds a path, as shown.
    static QString folderOf(const std::string& path);

    // Gives the fact columns from `first` to `last` the width of their
    // widest likely text within a bound, and the folder column a width that
    // shows a few of its names; `widenOnly` keeps wider columns as they are.
    static void sizeColumns(QHeaderView* header, int first, int last, int folder,
                            bool widenOnly = false);
};

} // namespace ovrin::ui
