#include "settings/ExclusionSetting.h"
#include "settings/Preferences.h"
#include "settings/TSetting.h"
#include "settings/WindowSetting.h"
#include "support/TestImages.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace ovrin;

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file;

    // What the store holds, read back independently of the code under test.
    QSettings stored() const { return QSettings(m_file, QSettings::IniFormat); }
    void store(const QVariantMap& values)
    {
        QSettings settings(m_file, QSettings::IniFormat);
        settings.clear();
        for (auto it = values.begin(); it != values.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.sync();
        Preferences::setStoreFileForTesting(m_file.toStdString()); // reread
    }

private Q_SLOTS:
    void init()
    {
        m_file = m_dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(m_file);
        Preferences::setStoreFileForTesting(m_file.toStdString());
    }

    void firstRunKeepsDefaultsAndWritesAllKeys()
    {
        TSetting setting;
        QVERIFY(!setting.beginning());
        TSetting defaults;
        defaults.setVersion(256);
        QVERIFY(setting.equals(defaults));
        QVERIFY(!QFile::exists(m_file)); // reading writes nothing

        setting.ending();
        const QSettings s = stored();
        QCOMPARE(s.allKeys().size(), 10);
        for (const auto& [key, value] : {std::pair{"version", 256},
                                         {"bits", 3},
                                         {"matchRate", 70},
                                         {"pixelNumber", 8},
                                         {"searchMethod", 0},
                                         {"anyOrientation", 0},
                                         {"targetPasted", 0}})
            QCOMPARE(s.value(QLatin1String(key)).toInt(), value);
    }

    void pathsComeBackByteForByte_data()
    {
        QTest::addColumn<std::optional<std::string>>("path");
        QTest::newRow("not UTF-8") << std::optional<std::string>("/p/\xe9t\xe9.png");
        QTest::newRow("UTF-8 like a URL") << std::optional<std::string>("file:///t\xc3\xa9 1%");
        QTest::newRow("empty") << std::optional<std::string>("");
        QTest::newRow("absent") << std::optional<std::string>();
    }

    // Through the file and back; a path that is UTF-8 stays the text that an
    // older version wrote and reads.
    void pathsComeBackByteForByte()
    {
        QFETCH(std::optional<std::string>, path);
        TSetting setting;
        setting.setTargetFilePath(path);
        setting.ending();
        windowsetting::setGroups({SearchMethod::IndexFile, path, {}, 2, 80}, {}, {}, {});
        QVERIFY(windowsetting::write());
        Preferences::setStoreFileForTesting(m_file.toStdString()); // reread
        QVERIFY(setting.beginning());
        QCOMPARE(setting.targetFilePath(), path.value_or(std::string()));
        QCOMPARE(windowsetting::groups().source.value().folder, path);
        const QString text = QString::fromStdString(path.value_or(std::string()));
        if (text.toStdString() == path.value_or(std::string()))
            QCOMPARE(stored().value(QStringLiteral("targetFilePath")).toString(), text);
    }

    // Every byte comes back; the store reads as file URLs and plain patterns.
    void exclusionsComeBackByteForByte()
    {
        QCOMPARE(ExclusionSetting::load(), ExclusionSetting{});
        const ExclusionSetting saved{{"/p/\xe9t\xe9", "/p/a b%/#?", "/x\n y"},
                                     {"*.tmp", " lead", "a%b\nc", "\xff?"}};
        QVERIFY(saved.save());
        Preferences::setStoreFileForTesting(m_file.toStdString()); // reread
        QCOMPARE(ExclusionSetting::load(), saved);
        const QSettings s = stored();
        QCOMPARE(s.value(QStringLiteral("Exclusions/folders")).toString(),
                 QStringLiteral("file:///p/%E9t%E9\nfile:///p/a%20b%25/%23%3F\nfile:///x%0A%20y"));
        QCOMPARE(s.value(QStringLiteral("Exclusions/patterns")).toString(),
                 QStringLiteral("*.tmp\n%20lead\na%25b%0Ac\n%FF?"));

        store({{QStringLiteral("Exclusions/folders"),
                QStringLiteral("relative\nfile:rel\n\nfile:///ok%2\n")}});
        QCOMPARE(ExclusionSetting::load().folders, std::vector<std::string>{"/ok%2"});
    }

    void storedValuesAreTakenAsTheyAre()
    {
        store({{QStringLiteral("version"), 1},
               {QStringLiteral("targetFilePath"), QStringLiteral("/p/100% t\u00e9.jpg")},
               {QStringLiteral("topDirPath"), QString()},
               {QStringLiteral("matchRate"), 150},
               {QStringLiteral("searchMethod"), 1},
               {QStringLiteral("anyOrientation"), 1},
               {QStringLiteral("targetPasted"), 1},
               {QStringLiteral("Groups/method"), QStringLiteral("x")},
               {QStringLiteral("Groups/topDirPath"), QStringLiteral("file:///p/%E9t%E9")},
               {QStringLiteral("Groups/bits"), QStringLiteral("2")},
               {QStringLiteral("Groups/preferredFolders"),
                QStringLiteral("relative\nfile:rel\n http://x/y\n file:///d \r")}});
        TSetting setting;
        setting.setTopDirPath(std::string("/kept?"));
        setting.setIndexFilePath(std::string("/kept"));
        QVERIFY(setting.beginning());
        QCOMPARE(setting.targetFilePath(), std::string("/p/100% t\xc3\xa9.jpg"));
        QCOMPARE(setting.topDirPath(), std::string());           // stored empty string
        QCOMPARE(setting.indexFilePath(), std::string("/kept")); // absent key
        QCOMPARE(setting.bits(), 0);                             // absent integer: 0, not 3
        QCOMPARE(setting.matchRate(), 150);
        QCOMPARE(setting.pixelNumber(), 0);
        QCOMPARE(setting.searchMethod(), SearchMethod::IndexFile);
        QVERIFY(setting.anyOrientation());
        QVERIFY(setting.targetPasted());
        // The groups' paths as file URLs, as they were once kept.
        const windowsetting::Groups::Source source = *windowsetting::groups().source;
        QCOMPARE(source.method, std::nullopt);
        QCOMPARE(source.folder, std::optional<std::string>("/p/\xe9t\xe9"));
        QCOMPARE(source.bits, 2);
        QCOMPARE(source.matchRate, std::nullopt);
        QCOMPARE(windowsetting::groups().preferred, std::vector<std::string>{"/d"});
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
