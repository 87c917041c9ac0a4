#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>

#include <string>

namespace ovrin::ui {

class PictureLoader;

// Small pictures for the rows of the table, made only for rows that are
// painted and kept within a fixed memory cost: a run with 50,000 hits holds
// no more thumbnails than the cost allows, and rows scrolled past before their
// picture was made are simply asked for again when they come back.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    explicit ThumbnailCache(QSize box, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    QSize box() const { return m_box; }
    // The thumbnail when it is ready; otherwise a blank of the same size while
    // it is made (or for a file that gives none).
    QImage thumbnail(const std::string& path);

    // 8 MiB: about 1,300 thumbnails of 48 x 36 points.
    static constexpr qsizetype kMaxCostBytes = 8 * 1024 * 1024;

Q_SIGNALS:
    void changed();

private:
    void loaded(const QByteArray& path, const QImage& image, bool dropped);

    QSize m_box;
    QImage m_blank;
    PictureLoader* m_loader;
    QCache<QByteArray, QImage> m_cache;
    QSet<QByteArray> m_pending;
    bool m_changePosted = false;
};

} // namespace ovrin::ui
