#include "ui/PathText.h"

#include <QFile>
#include <QLineEdit>
#include <QVariant>

namespace ovrin::ui {

namespace {

const char* const kRawProperty = "ovrinRawPath";

QByteArray bytes(const std::string& path)
{
    return QByteArray(path.data(), static_cast<qsizetype>(path.size()));
}

} // namespace

QString PathText::display(const std::string& path)
{
    return QFile::decodeName(bytes(path));
}

std::string PathText::fromText(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

bool PathText::isExact(const std::string& path)
{
    return QFile::encodeName(display(path)) == bytes(path);
}

QUrl PathText::toUrl(const std::string& path)
{
    return QUrl::fromEncoded("file://" + bytes(path).toPercentEncoding("/"), QUrl::StrictMode);
}

std::optional<std::string> PathText::fromUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return std::nullopt;
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

std::string PathText::fromArgument(const std::string& argument, const std::string& workingFolder)
{
    if (argument.rfind("file://", 0) == 0) {
        if (auto path = fromUrl(QUrl::fromEncoded(bytes(argument))))
            return *path;
    }
    if (argument.empty() || argument.front() == '/' || workingFolder.empty())
        return argument;
    return workingFolder.back() == '/' ? workingFolder + argument : workingFolder + "/" + argument;
}

void PathText::setField(QLineEdit* field, const std::optional<std::string>& path)
{
    if (!path)
        return;
    field->setText(display(*path));
    field->setProperty(kRawProperty, bytes(*path));
}

std::string PathText::field(const QLineEdit* field)
{
    const QByteArray raw = field->property(kRawProperty).toByteArray();
    if (!raw.isNull() && QFile::decodeName(raw) == field->text())
        return raw.toStdString();
    return fromText(field->text());
}

} // namespace ovrin::ui
