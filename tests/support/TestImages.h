#pragma once

// Pictures for tests, made on the fly so no binary fixtures are needed.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QString>
#include <QTest>

#include <string>
#include <vector>

namespace ovrin::test {

inline std::string str(const QString& s)
{
    return s.toStdString();
}

// Something like a photograph: smooth gradients plus a few blobs, different
// for every seed, so that unrelated seeds do not match at default settings.
inline QImage photoLike(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const int r0 = random.bounded(256), g0 = random.bounded(256), b0 = random.bounded(256);
    const int r1 = random.bounded(256), g1 = random.bounded(256), b1 = random.bounded(256);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const double t = (double(x) / width + double(y) / height) / 2.0;
            line[x] =
                qRgb(int(r0 + (r1 - r0) * t), int(g0 + (g1 - g0) * t), int(b0 + (b1 - b0) * t));
        }
    }
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        painter.setBrush(QColor(random.bounded(256), random.bounded(256), random.bounded(256)));
        const int w = width / 4 + random.bounded(width / 3 + 1);
        const int h = height / 4 + random.bounded(height / 3 + 1);
        painter.drawEllipse(random.bounded(width), random.bounded(height), w, h);
        painter.translate(QPoint(-w / 2, -h / 2));
    }
    return image;
}

inline QImage solid(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

inline bool writeImage(const QString& path, const QImage& image, const char* format,
                       int quality = -1)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    return writer.write(image);
}

inline bool writeText(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace ovrin::test

namespace QTest {
// Lets QCOMPARE show both lists of paths when they differ.
template <>
inline char* toString(const std::vector<std::string>& values)
{
    QByteArray text("[");
    for (const std::string& value : values)
        text += "\n  " + QByteArray::fromStdString(value);
    text += " ]";
    return qstrdup(text.constData());
}
} // namespace QTest
