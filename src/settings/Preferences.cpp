#include "settings/Preferences.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <mutex>

namespace ovrin {

namespace {

std::mutex g_lock;
std::string g_testFile;

QString qt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

bool looksLikeUrl(const QByteArray& text)
{
    return text.startsWith("file:");
}

} // namespace

struct Preferences::Store {
    std::unique_ptr<QSettings> settings;

    void open()
    {
        if (!g_testFile.empty())
            settings = std::make_unique<QSettings>(qt(g_testFile), QSettings::IniFormat);
        else
            settings =
                std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Ovrin"), QStringLiteral("Ovrin"));
    }
};

Preferences::Preferences() : m_store(std::make_unique<Store>())
{
    m_store->open();
}

Preferences::~Preferences() = default;

Preferences& Preferences::standard()
{
    static Preferences preferences;
    return preferences;
}

void Preferences::setStoreFileForTesting(const std::string& path)
{
    const std::lock_guard lock(g_lock);
    g_testFile = path;
    standard().m_store->open();
}

std::int64_t Preferences::integerForKey(const std::string& key) const
{
    const std::lock_guard lock(g_lock);
    bool ok = false;
    const qlonglong value = m_store->settings->value(qt(key)).toLongLong(&ok);
    return ok ? value : 0;
}

std::optional<std::string> Preferences::stringForKey(const std::string& key) const
{
    const std::lock_guard lock(g_lock);
    const QVariant value = m_store->settings->value(qt(key));
    if (!value.isValid() || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString().toStdString();
}

std::optional<std::string> Preferences::pathForKey(const std::string& key, PathForm form) const
{
    const std::lock_guard lock(g_lock);
    const QVariant value = m_store->settings->value(qt(key));
    if (!value.isValid())
        return std::nullopt;
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray().toStdString();
    const QByteArray text = value.toString().toUtf8();
    if (form == PathForm::TextOrFileUrl && looksLikeUrl(text)) {
        const QUrl url = QUrl::fromEncoded(text);
        const QByteArray path =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!url.isLocalFile() || path.isEmpty())
            return std::nullopt;
        return path.toStdString();
    }
    return text.toStdString();
}

void Preferences::setPath(const std::string& key, const std::optional<std::string>& path,
                          PathForm form)
{
    const std::lock_guard lock(g_lock);
    if (!path) {
        m_store->settings->remove(qt(key));
        return;
    }
    const QByteArray raw = bytes(*path);
    const QString text = QString::fromUtf8(raw);
    if (text.toUtf8() == raw && !(form == PathForm::TextOrFileUrl && looksLikeUrl(raw)))
        m_store->settings->setValue(qt(key), text);
    else
        m_store->settings->setValue(qt(key), raw); // kept as "@ByteArray(...)"
}

void Preferences::setInteger(const std::string& key, std::int64_t value)
{
    const std::lock_guard lock(g_lock);
    m_store->settings->setValue(qt(key), static_cast<qlonglong>(value));
}

void Preferences::setString(const std::string& key, const std::string& value)
{
    const std::lock_guard lock(g_lock);
    m_store->settings->setValue(qt(key), qt(value));
}

bool Preferences::synchronize()
{
    const std::lock_guard lock(g_lock);
    m_store->settings->sync();
    return m_store->settings->status() == QSettings::NoError;
}

} // namespace ovrin
