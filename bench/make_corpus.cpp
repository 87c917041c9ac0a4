// Makes picture collections for the benchmark and for the demo run:
//   ovrin-make-corpus sample OUTDIR
//       a small demo: OUTDIR/target.jpg and OUTDIR/photos/ with resized and
//       recompressed copies of the target among unrelated pictures
//   ovrin-make-corpus variants OUTDIR COUNT SOURCE...
//       the sources re-encoded as JPEG, then resized and recompressed copies of
//       them, until OUTDIR holds at least COUNT JPEG files

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

#include <cstdio>

namespace {

QImage syntheticPhoto(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const QColor from(random.bounded(256), random.bounded(256), random.bounded(256));
    const QColor to(random.bounded(256), random.bounded(256), random.bounded(256));
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 12; ++i) {
        painter.setBrush(QColor(random.bounded(256), random.bounded(256), random.bounded(256)));
        painter.drawEllipse(random.bounded(width), random.bounded(height),
                            width / 6 + random.bounded(width / 3),
                            height / 6 + random.bounded(height / 3));
    }
    return image;
}

bool save(const QImage& image, const QString& path, int quality)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(quality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

QImage resized(const QImage& image, double factor)
{
    return image.scaled(std::max(1, int(image.width() * factor)),
                        std::max(1, int(image.height() * factor)), Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

int makeSample(const QString& out)
{
    const QDir dir(out);
    if (!QDir().mkpath(dir.filePath(QStringLiteral("photos/holiday"))))
        return 1;
    const QImage target = syntheticPhoto(1200, 900, 2024);
    bool ok = save(target, dir.filePath(QStringLiteral("target.jpg")), 92);
    ok = ok && save(resized(target, 0.5),
                    dir.filePath(QStringLiteral("photos/holiday/beach-small.jpg")), 70);
    ok = ok && save(target, dir.filePath(QStringLiteral("photos/beach-recompressed.jpg")), 35);
    ok = ok && target.save(dir.filePath(QStringLiteral("photos/beach-copy.png")));
    for (quint32 seed = 1; seed <= 12; ++seed) {
        const QString name = QStringLiteral("photos/%1picture-%2.jpg")
                                 .arg(seed % 3 == 0 ? QStringLiteral("holiday/") : QString())
                                 .arg(seed);
        ok = ok && save(syntheticPhoto(800, 600, seed), dir.filePath(name), 85);
    }
    return ok ? 0 : 1;
}

int makeVariants(const QString& out, int count, const QStringList& sources)
{
    if (!QDir().mkpath(out))
        return 1;
    const QDir dir(out);
    struct Variant {
        const char* name;
        double factor;
        int quality;
    };
    const Variant variants[] = {{"orig", 1.0, 90},   {"q50", 1.0, 50},   {"half", 0.5, 80},
                                {"third", 0.33, 75}, {"big", 1.25, 85},  {"q30", 0.75, 30},
                                {"tenth", 0.1, 80},  {"q70s", 0.6, 70},  {"q85s", 0.8, 85},
                                {"q60b", 0.9, 60},   {"q40h", 0.45, 40}, {"q20", 0.4, 20}};
    int written = 0;
    std::vector<QImage> images;
    for (const QString& source : sources) {
        QImageReader reader(source);
        reader.setAutoTransform(true);
        QImage image = reader.read();
        if (image.isNull())
            continue;
        if (image.width() > 4000 || image.height() > 4000)
            image = image.scaled(4000, 4000, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        images.push_back(image.convertToFormat(QImage::Format_RGB32));
    }
    if (images.empty()) {
        std::fputs("no readable source pictures\n", stderr);
        return 1;
    }
    for (const Variant& variant : variants) {
        for (std::size_t i = 0; i < images.size() && written < count; ++i) {
            const QString name = QStringLiteral("%1-%2.jpg")
                                     .arg(i, 5, 10, QLatin1Char('0'))
                                     .arg(QLatin1String(variant.name));
            const QImage image =
                variant.factor == 1.0 ? images[i] : resized(images[i], variant.factor);
            if (!save(image, dir.filePath(name), variant.quality))
                return 1;
            ++written;
        }
    }
    std::printf("%d JPEG files from %zu sources\n", written, images.size());
    return written >= count ? 0 : 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("sample"))
        return makeSample(args[2]);
    if (args.size() >= 5 && args[1] == QLatin1String("variants"))
        return makeVariants(args[2], args[3].toInt(), args.mid(4));
    std::fputs("usage: ovrin-make-corpus sample OUTDIR | variants OUTDIR COUNT SOURCE...\n",
               stderr);
    return 2;
}
