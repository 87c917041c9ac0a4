#include "ui/PasteIntake.h"

#include "platform/imaging/ImageLoader.h"
#include "ui/PathText.h"

#include <QImage>
#include <QMimeData>
#include <QStringList>
#include <QUrl>

#include <array>
#include <memory>

namespace ovrin::ui {

namespace {

// The encoded picture a source offers, in the order of the formats most
// likely to keep what was copied; any other picture type after them.
QString pictureFormat(const QMimeData& data)
{
    static constexpr std::array kPreferred = {"image/png", "image/jpeg", "image/webp",
                                              "image/gif", "image/bmp",  "image/tiff"};
    const QStringList offered = data.formats();
    for (const char* format : kPreferred)
        if (offered.contains(QLatin1String(format)))
            return QLatin1String(format);
    for (const QString& format : offered)
        if (format.startsWith(QLatin1String("image/")))
            return format;
    return {};
}

// A single line of text that is an absolute path or a file URL.
std::optional<std::string> pathText(const QMimeData& data)
{
    if (!data.hasText())
        return std::nullopt;
    const QString text = data.text().trimmed();
    if (text.isEmpty() || text.contains(QLatin1Char('\n')))
        return std::nullopt;
    if (text.startsWith(QLatin1String("file://")))
        return PathText::fromUrl(QUrl::fromEncoded(text.toUtf8()));
    if (text.startsWith(QLatin1Char('/')))
        return PathText::fromArgument(text.toStdString(), {});
    return std::nullopt;
}

} // namespace

PasteIntake readPaste(const QMimeData* data)
{
    PasteIntake intake;
    if (data == nullptr || data->formats().isEmpty())
        return intake;
    bool web = false;
    for (const QUrl& url : data->urls()) {
        if (auto path = PathText::fromUrl(url))
            intake.paths.push_back(std::move(*path));
        else
            web = true;
    }
    if (intake.paths.empty())
        if (auto path = pathText(*data))
            intake.paths.push_back(std::move(*path));
    if (!intake.paths.empty()) {
        intake.kind = PasteIntake::Kind::Files;
        return intake;
    }
    intake.kind = PasteIntake::Kind::Picture;
    if (const QString format = pictureFormat(*data); !format.isEmpty()) {
        const QByteArray bytes = data->data(format);
        // Held whole while it is the target, so bounded like a decode.
        if (bytes.size() > platform::ImageLoader::kDecodeBudget) {
            intake.kind = PasteIntake::Kind::Refused;
            intake.why = platform::LoadFailure::TooLarge;
            return intake;
        }
        if (!bytes.isEmpty()) {
            intake.picture.bytes =
                std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
            return intake;
        }
    }
    if (data->hasImage()) {
        intake.picture.image = qvariant_cast<QImage>(data->imageData());
        if (!intake.picture.image.isNull())
            return intake;
    }
    intake.kind = PasteIntake::Kind::Refused;
    intake.webAddress = web;
    return intake;
}

bool offersPicture(const QMimeData* data)
{
    return data != nullptr &&
           (data->hasUrls() || data->hasImage() || !pictureFormat(*data).isEmpty());
}

} // namespace ovrin::ui
