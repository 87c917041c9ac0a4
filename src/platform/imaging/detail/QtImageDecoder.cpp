#include "platform/imaging/detail/QtImageDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"
#include "platform/imaging/detail/SvgDecoder.h"

#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>

#include <mutex>
#include <new>

namespace ovrin::platform {

namespace {

// The picture file for the toolkit's reader; reads fail once the run stops.
class StoppableDevice : public QIODevice {
public:
    explicit StoppableDevice(ImageFile& file) : m_file(file) {}

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_file.size(); }
    bool seek(qint64 position) override
    {
        if (!m_file.seek(position))
            return false;
        return QIODevice::seek(position);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (maxSize <= 0)
            return 0;
        return m_file.read(data, static_cast<std::size_t>(maxSize));
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    ImageFile& m_file;
};

int exifOrientation(QImageIOHandler::Transformations transformation)
{
    switch (transformation.toInt()) {
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

void addRow(AreaReducer& reducer, const QImage& image, int y)
{
    const int width = image.width();
    std::uint8_t* out = reducer.scratch();
    QImage converted;
    const QRgb* line = nullptr;
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        break;
    default: {
        // One row at a time: the toolkit converts a single row on the
        // calling thread, never on its pool.
        QImage row(image.constScanLine(y), width, 1, image.bytesPerLine(), image.format());
        row.setColorTable(image.colorTable());
        converted = row.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        line = reinterpret_cast<const QRgb*>(converted.constScanLine(0));
        break;
    }
    }
    const bool straight = image.format() == QImage::Format_ARGB32;
    const bool opaque = image.format() == QImage::Format_RGB32;
    for (int x = 0; x < width; ++x, out += 3) {
        const QRgb p = line[x];
        const unsigned alpha = opaque ? 255u : unsigned(qAlpha(p));
        if (straight) {
            out[0] = AreaReducer::onWhite(unsigned(qRed(p)), alpha);
            out[1] = AreaReducer::onWhite(unsigned(qGreen(p)), alpha);
            out[2] = AreaReducer::onWhite(unsigned(qBlue(p)), alpha);
        } else {
            out[0] = AreaReducer::premultipliedOnWhite(unsigned(qRed(p)), alpha);
            out[1] = AreaReducer::premultipliedOnWhite(unsigned(qGreen(p)), alpha);
            out[2] = AreaReducer::premultipliedOnWhite(unsigned(qBlue(p)), alpha);
        }
    }
    reducer.addRgbRow(reducer.scratch());
}

} // namespace

LoadResult QtImageDecoder::decode(ImageFile& file, Reduction side, int fineSide, const char* format)
{
    // The reader's own limit on one picture, raised once to the budget that
    // bounds all of them together.
    static std::once_flag limit;
    std::call_once(limit,
                   [] { QImageReader::setAllocationLimit(static_cast<int>(kDecodeBudget >> 20)); });

    StoppableDevice device(file);
    if (!device.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {std::nullopt, LoadFailure::ReadError};
    QImageReader reader(&device, QByteArray(format));
    reader.setAutoTransform(false);
    // Bytes no reader knows need no memory (and must not hold up other
    // decodes waiting for the budget).
    if (!reader.canRead())
        return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
    // A drawing the toolkit's plugin knows by its bytes (a DOCTYPE first, a
    // packed one by another name) goes to our own renderer, which keeps it
    // from reading the files it names.
    if (reader.format().startsWith("svg"))
        return SvgDecoder::decode(file, side, fineSide);
    const QSize size = reader.size();
    const std::int64_t points = size.isValid() ? std::int64_t{size.width()} * size.height() : -1;
    if (points > kMaxPixels)
        return {std::nullopt, LoadFailure::TooLarge};
    // Up to 8 bytes a pixel for the decoded picture, the file itself for
    // readers that take it whole; a reader that cannot tell the size gets the
    // whole budget, which its allocation limit keeps it within.
    const std::int64_t need = points >= 0
                                  ? points * 8 + file.size() + 4 * 1024 * 1024 +
                                        AreaReducer::memoryNeed(size.width(), side, fineSide)
                                  : DecodeBudget::capacity();
    DecodeBudget::Reservation reservation;
    if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), reservation);
        why != LoadFailure::None)
        return {std::nullopt, why};

    try {
        QImage image;
        if (!reader.read(&image) || image.isNull() || image.width() < 1 || image.height() < 1)
            return {std::nullopt, file.failureOr(LoadFailure::NotAnImage)};
        const int orientation = exifOrientation(reader.transformation());
        AreaReducer reducer(image.width(), image.height(), side);
        reducer.alsoReduceTo(fineSide);
        for (int y = 0; y < image.height(); ++y) {
            if (!file.proceeding())
                return {std::nullopt, LoadFailure::Stopped};
            addRow(reducer, image, y);
        }
        LoadResult result = reducer.result(orientation);
        result.format = reader.format().toUpper().toStdString();
        return result;
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
}

} // namespace ovrin::platform
