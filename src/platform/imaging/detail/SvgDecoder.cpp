#include "platform/imaging/detail/SvgDecoder.h"

#include "platform/imaging/detail/AreaReducer.h"
#include "platform/imaging/detail/DecodeBudget.h"
#include "platform/imaging/detail/ImageFile.h"

#ifdef OVRIN_HAVE_SVG
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

namespace ovrin::platform {

#ifdef OVRIN_HAVE_SVG

namespace {

// No drawing a person makes comes near this, packed or not; a file that
// inflates past it is refused before more is inflated.
constexpr std::int64_t kMaxDocument = 32 * 1024 * 1024;

// The rendering's shorter side: every cell of the finer grid averages at
// least kOversample x kOversample points, and small signatures kLeast.
constexpr std::int64_t kLeast = 512;
constexpr std::int64_t kOversample = 8;
// A long thin drawing keeps its aspect up to here, then gets thinner still.
constexpr std::int64_t kLongest = 8192;

// The toolkit's document tree and strings, per byte of the document.
constexpr std::int64_t kTreePerByte = 12;

// Fonts size themselves from the target's resolution; the same in every process.
constexpr int kDotsPerMetre = 3780; // 96 dpi

// A gzip stream inflated whole, or why not.
LoadFailure inflated(ImageFile& file, const QByteArray& packed, QByteArray& out)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return LoadFailure::OutOfMemory;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = static_cast<uInt>(packed.size());
    LoadFailure why = LoadFailure::None;
    constexpr qsizetype kStep = 256 * 1024;
    for (;;) {
        if (!file.proceeding()) {
            why = LoadFailure::Stopped;
            break;
        }
        if (out.size() >= kMaxDocument) {
            why = LoadFailure::TooLarge;
            break;
        }
        const qsizetype at = out.size();
        out.resize(at + kStep);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + at);
        stream.avail_out = static_cast<uInt>(kStep);
        const int status = inflate(&stream, Z_NO_FLUSH);
        out.resize(at + kStep - qsizetype(stream.avail_out));
        // Any packed file may come here (the toolkit's guess takes every
        // gzip stream): one that holds no XML is not inflated further.
        if (at == 0 && !QByteArray(out).replace("\xef\xbb\xbf", "").trimmed().startsWith('<')) {
            why = LoadFailure::NotAnImage;
            break;
        }
        if (status == Z_STREAM_END)
            break;
        // A cut stream ends with no progress; it gave no whole document.
        if (status != Z_OK) {
            why = LoadFailure::NotAnImage;
            break;
        }
    }
    inflateEnd(&stream);
    return why;
}

// A length as the root element gives it, in CSS pixels; none for a relative
// unit or a value that is no positive finite number.
std::optional<double> lengthOf(QStringView text)
{
    static const struct {
        const char* unit;
        double pixels;
    } kUnits[] = {{"", 1.0},    {"px", 1.0},         {"pt", 4.0 / 3.0}, {"pc", 16.0},
                  {"in", 96.0}, {"cm", 96.0 / 2.54}, {"mm", 9.6 / 2.54}};
    const QString trimmed = text.trimmed().toString();
    qsizetype end = 0;
    while (end < trimmed.size() &&
           (trimmed[end].isDigit() || QStringLiteral("+-.eE").contains(trimmed[end])))
        ++end;
    // "2em": the exponent's letter belongs to the unit
    while (end > 0 && (trimmed[end - 1] == u'e' || trimmed[end - 1] == u'E'))
        --end;
    bool number = false;
    const double value = trimmed.left(end).toDouble(&number);
    if (!number || !std::isfinite(value) || value <= 0.0)
        return std::nullopt;
    const QString unit = trimmed.mid(end).trimmed().toLower();
    for (const auto& known : kUnits)
        if (unit == QLatin1String(known.unit))
            return value * known.pixels;
    return std::nullopt;
}

struct Drawing {
    QByteArray document; // what the renderer is given
    double width = 0.0;  // the drawing's size, or its aspect at least
    double height = 0.0;
    bool hasText = false;
    std::int64_t embeddedNeed = 0; // memory of the embedded pictures it keeps
};

bool safeEmbedded(const QXmlStreamAttributes& attributes, std::int64_t& need)
{
    bool referenced = false;
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() != QLatin1String("href"))
            continue;
        referenced = true;
        // The renderer takes a trimmed reference starting "data" (in this
        // case) for an embedded picture and anything else for a file name;
        // it decodes what follows the last "base64,".
        const QString value = attribute.value().trimmed().toString();
        const qsizetype base64 = value.lastIndexOf(QLatin1String("base64,"));
        if (!value.startsWith(QLatin1String("data:")) || base64 < 0)
            return false;
        QByteArray bytes = QByteArray::fromBase64(value.mid(base64 + 7).toLatin1());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        // Only formats that never look for other files (a drawing inside
        // would read what its own references name).
        static const QByteArrayList kSafe = {"png", "jpeg", "jpg", "gif", "bmp", "webp"};
        const QSize size = reader.size();
        if (!kSafe.contains(reader.format()) || !size.isValid() || size.isEmpty())
            return false;
        need += std::int64_t{size.width()} * size.height() * 8 + bytes.size() * 2;
    }
    return referenced;
}

bool animation(QStringView name)
{
    // Left out: their state depends on the time the rendering took.
    return name == QLatin1String("animate") || name == QLatin1String("animateColor") ||
           name == QLatin1String("animateMotion") || name == QLatin1String("animateTransform") ||
           name == QLatin1String("set");
}

// The document again without what could make the renderer read another file
// or depend on the moment: pictures by reference (it opens any path named,
// a FIFO or a device too), style sheets named by processing instructions,
// the DTD (its entities are already expanded, within the reader's limit),
// animations. Reads the drawing's size from its root element.
LoadFailure rewritten(ImageFile& file, const QByteArray& source, Drawing& drawing)
{
    QXmlStreamReader reader(source);
    QXmlStreamWriter writer(&drawing.document);
    int skipping = 0; // depth inside a dropped element
    bool root = true;
    for (std::uint32_t tokens = 1; !reader.atEnd(); ++tokens) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (tokens % 4096 == 0 && !file.proceeding())
            return LoadFailure::Stopped;
        if (skipping > 0) {
            skipping += token == QXmlStreamReader::StartElement ? 1
                        : token == QXmlStreamReader::EndElement ? -1
                                                                : 0;
            continue;
        }
        switch (token) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = reader.name();
            const QXmlStreamAttributes attributes = reader.attributes();
            if (root) {
                root = false;
                if (name != QLatin1String("svg"))
                    return LoadFailure::NotAnImage;
                const auto width = lengthOf(attributes.value(QLatin1String("width")));
                const auto height = lengthOf(attributes.value(QLatin1String("height")));
                const QList<QStringView> box =
                    attributes.value(QLatin1String("viewBox"))
                        .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
                double boxWidth = 0.0, boxHeight = 0.0;
                if (box.size() == 4) {
                    boxWidth = box[2].toDouble();
                    boxHeight = box[3].toDouble();
                }
                if (width && height) {
                    drawing.width = *width;
                    drawing.height = *height;
                } else if (std::isfinite(boxWidth) && std::isfinite(boxHeight) && boxWidth > 0 &&
                           boxHeight > 0) {
                    drawing.width = boxWidth;
                    drawing.height = boxHeight;
                } else {
                    return LoadFailure::NotAnImage;
                }
            }
            if (animation(name) || (name == QLatin1String("image") &&
                                    !safeEmbedded(attributes, drawing.embeddedNeed))) {
                skipping = 1;
                continue;
            }
            drawing.hasText = drawing.hasText || name == QLatin1String("text") ||
                              name == QLatin1String("textArea");
            writer.writeCurrentToken(reader);
            break;
        }
        case QXmlStreamReader::EndElement:
        case QXmlStreamReader::Characters:
            writer.writeCurrentToken(reader);
            break;
        default: // the XML declaration (the copy is UTF-8), DTD, processing
                 // instructions, comments, unresolved entities
            break;
        }
    }
    if (reader.hasError() || root)
        return LoadFailure::NotAnImage;
    return LoadFailure::None;
}

struct Rendered {
    int width;
    int height;
};

Rendered renderedSize(double width, double height, Reduction side, int fineSide)
{
    const double least = double(std::max(kLeast, kOversample * std::max(side.side, fineSide)));
    const double shorter = std::min(width, height);
    double across = width / shorter * least;
    double down = height / shorter * least;
    const double longer = std::max(across, down);
    // A drawing shown is drawn at the size it is shown at (whole: its own).
    const double most = !side.shows         ? double(kLongest)
                        : side.longSide > 0 ? double(side.side)
                                            : std::clamp(std::max(width, height), 1.0,
                                                         double(Reduction::kMaxShownSide));
    if (longer > most) {
        across = across / longer * most;
        down = down / longer * most;
    }
    const auto points = [](double length) {
        return static_cast<int>(std::clamp(std::lround(length), 1L, long(kLongest)));
    };
    return {points(across), points(down)};
}

std::int64_t asSeen(double length)
{
    return std::clamp<std::int64_t>(std::llround(std::min(length, 1e12)), 1, kMaxPixels);
}

// The file read, inflated where packed, and rewritten; `reading` holds the
// memory that took until the caller lets it go.
LoadFailure prepared(ImageFile& file, Drawing& drawing, DecodeBudget::Reservation& reading)
{
    const std::int64_t size = file.size();
    if (size > kMaxDocument)
        return LoadFailure::TooLarge;
    // The file, the document and its copy.
    std::array<std::uint8_t, 2> magic{};
    const bool packed =
        file.readAt(0, magic.data(), 2) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
    if (const LoadFailure why = DecodeBudget::reserve(
            size + (packed ? kMaxDocument : size) * 2 + 1024 * 1024, file.proceed(), reading);
        why != LoadFailure::None)
        return why;
    QByteArray source(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (file.readAt(0, source.data(), std::size_t(size)) != size)
        return file.failureOr(LoadFailure::NotAnImage);
    if (packed) {
        QByteArray plain;
        if (const LoadFailure why = inflated(file, source, plain); why != LoadFailure::None)
            return file.failureOr(why);
        source = std::move(plain);
    }
    if (const LoadFailure why = rewritten(file, source, drawing); why != LoadFailure::None)
        return file.failureOr(why);
    return LoadFailure::None;
}

} // namespace

LoadFailure SvgDecoder::safeDocument(ImageFile& file, std::string& document)
{
    try {
        DecodeBudget::Reservation reading;
        Drawing drawing;
        if (const LoadFailure why = prepared(file, drawing, reading); why != LoadFailure::None)
            return why;
        document.assign(drawing.document.constData(),
                        static_cast<std::size_t>(drawing.document.size()));
        return LoadFailure::None;
    } catch (const std::bad_alloc&) {
        return LoadFailure::OutOfMemory;
    }
}

LoadResult SvgDecoder::decode(ImageFile& file, Reduction side, int fineSide)
{
    try {
        DecodeBudget::Reservation reading;
        Drawing drawing;
        if (const LoadFailure why = prepared(file, drawing, reading); why != LoadFailure::None)
            return {std::nullopt, why};
        // Text is laid out through the font database, which aborts a process
        // that has no GUI application object.
        if (drawing.hasText &&
            qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
            return {std::nullopt, LoadFailure::NotAnImage};

        // Let go first: two decodes each holding a share while waiting for
        // more could wait for each other for ever.
        reading = {};
        const Rendered target = renderedSize(drawing.width, drawing.height, side, fineSide);
        const std::int64_t need = drawing.document.size() * kTreePerByte +
                                  std::int64_t{target.width} * target.height * 4 +
                                  drawing.embeddedNeed + 4 * 1024 * 1024 +
                                  AreaReducer::memoryNeed(target.width, side, fineSide);
        DecodeBudget::Reservation rendering;
        if (const LoadFailure why = DecodeBudget::reserve(need, file.proceed(), rendering);
            why != LoadFailure::None)
            return {std::nullopt, why};

        QSvgRenderer renderer;
        if (!renderer.load(drawing.document) || !renderer.isValid())
            return {std::nullopt, LoadFailure::NotAnImage};
        drawing.document = {};
        QImage image(target.width, target.height, QImage::Format_RGBA8888_Premultiplied);
        if (image.isNull())
            return {std::nullopt, LoadFailure::OutOfMemory};
        image.fill(Qt::transparent);
        image.setDotsPerMeterX(kDotsPerMetre);
        image.setDotsPerMeterY(kDotsPerMetre);
        if (!file.proceeding())
            return {std::nullopt, LoadFailure::Stopped};
        {
            QPainter painter(&image);
            renderer.render(&painter, QRectF(0, 0, target.width, target.height));
        }
        AreaReducer reducer(target.width, target.height, side);
        reducer.alsoReduceTo(fineSide);
        for (int y = 0; y < target.height; ++y)
            reducer.addPremultipliedRgbaRow(image.constScanLine(y));
        LoadResult result = reducer.result();
        result.width = asSeen(drawing.width);
        result.height = asSeen(drawing.height);
        return result;
    } catch (const std::bad_alloc&) {
        return {std::nullopt, LoadFailure::OutOfMemory};
    }
}

#else

LoadResult SvgDecoder::decode(ImageFile&, int, int)
{
    return {std::nullopt, LoadFailure::NotAnImage};
}

LoadFailure SvgDecoder::safeDocument(ImageFile&, std::string&)
{
    return LoadFailure::NotAnImage;
}

#endif

} // namespace ovrin::platform
