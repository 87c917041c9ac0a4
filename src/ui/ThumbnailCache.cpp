#include "ui/ThumbnailCache.h"

#include "ui/PictureLoader.h"

#include <QTimer>

namespace ovrin::ui {

ThumbnailCache::ThumbnailCache(QSize box, QObject* parent)
    : QObject(parent), m_box(box), m_blank(box, QImage::Format_ARGB32_Premultiplied),
      m_loader(new PictureLoader(0, 64, this)), m_cache(kMaxCostBytes)
{
    m_blank.fill(Qt::transparent);
    connect(m_loader, &PictureLoader::queueLoaded, this, &ThumbnailCache::loaded);
}

ThumbnailCache::~ThumbnailCache() = default;

QImage ThumbnailCache::thumbnail(const std::string& path)
{
    const QByteArray key = QByteArray::fromStdString(path);
    if (const QImage* image = m_cache.object(key))
        return image->isNull() ? m_blank : *image;
    if (!m_pending.contains(key)) {
        m_pending.insert(key);
        m_loader->enqueue(path, m_box);
    }
    return m_blank;
}

void ThumbnailCache::loaded(const QByteArray& path, const QImage& image, bool dropped)
{
    m_pending.remove(path);
    if (dropped)
        return;
    // A file that gives no picture is remembered too, at a token cost, so it
    // is not decoded again at every repaint.
    m_cache.insert(path, new QImage(image), std::max<qsizetype>(image.sizeInBytes(), 64));
    // One repaint for a burst of arrivals.
    if (!m_changePosted) {
        m_changePosted = true;
        QTimer::singleShot(30, this, [this] {
            m_changePosted = false;
            Q_EMIT changed();
        });
    }
}

} // namespace ovrin::ui
