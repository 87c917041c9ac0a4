#include "engine/TGraphicSearch.h"
#include "platform/Preferences.h"
#include "settings/TSetting.h"
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
        platform::Preferences::setStoreFileForTesting(m_file.toStdString()); // reread
    }

private Q_SLOTS:
    void init()
    {
        m_file = m_dir.filePath(QStringLiteral("settings.ini"));
        QFile::remove(m_file);
        platform::Preferences::setStoreFileForTesting(m_file.toStdString());
    }

    void firstRunKeepsDefaultsAndWritesAllKeys()
    {
        TSetting setting;
        QVERIFY(!setting.beginning());
        QCOMPARE(setting.version(), 256);
        QVERIFY(setting.equals(TSetting{} /* defaults */) == false); // only the version differs
        TSetting defaults;
        defaults.setVersion(256);
        QVERIFY(setting.equals(defaults));
        QVERIFY(!QFile::exists(m_file)); // reading writes nothing

        setting.ending();
        const QSettings s = stored();
        QCOMPARE(s.allKeys().size(), 8);
        QCOMPARE(s.value(QStringLiteral("version")).toInt(), 256);
        QCOMPARE(s.value(QStringLiteral("bits")).toInt(), 3);
        QCOMPARE(s.value(QStringLiteral("matchRate")).toInt(), 70);
        QCOMPARE(s.value(QStringLiteral("pixelNumber")).toInt(), 8);
        QCOMPARE(s.value(QStringLiteral("searchMethod")).toInt(), 0);
        QCOMPARE(s.value(QStringLiteral("targetFilePath")).toString(), QString());
    }

    void storedValuesAreTakenAsTheyAre()
    {
        store({{QStringLiteral("version"), 1},
               {QStringLiteral("targetFilePath"), QStringLiteral("/p/100% t\u00e9.jpg")},
               {QStringLiteral("topDirPath"), QString()},
               {QStringLiteral("matchRate"), 150},
               {QStringLiteral("searchMethod"), 1}});
        TSetting setting;
        setting.setTopDirPath(std::string("/kept?"));
        setting.setIndexFilePath(std::string("/kept"));
        QVERIFY(setting.beginning());
        QCOMPARE(setting.version(), 256);
        QCOMPARE(setting.targetFilePath(), std::string("/p/100% t\xc3\xa9.jpg"));
        QCOMPARE(setting.topDirPath(), std::string());           // stored empty string
        QCOMPARE(setting.indexFilePath(), std::string("/kept")); // absent key
        QCOMPARE(setting.bits(), 0);                             // absent integer: 0, not 3
        QCOMPARE(setting.matchRate(), 150);
        QCOMPARE(setting.pixelNumber(), 0);
        QCOMPARE(setting.searchMethod(), 1);
    }

    void damagedStoreStartsWithDefaults()
    {
        static const char damaged[] = "\x00\xff[[[\nversion=\x01\x02\nbits=@Variant(\x7f)\n";
        QVERIFY(ovrin::test::writeText(m_file, QByteArray(damaged, sizeof damaged - 1)));
        platform::Preferences::setStoreFileForTesting(m_file.toStdString());
        TSetting setting;
        setting.beginning(); // whatever it makes of the bytes, it must not fail
        QCOMPARE(setting.version(), 256);
    }

    void copiesCompareFieldByField()
    {
        TSetting a;
        a.setTargetFilePath(std::string("/t.jpg"));
        a.setBits(2);
        const auto b = a.clone();
        QVERIFY(b->equals(a));
        b->setSearchMethod(1);
        QVERIFY(!b->equals(a));
        a.copyFrom(*b);
        QVERIFY(a.equals(*b));
        a.setTargetFilePath(std::nullopt); // no string: nothing changes
        QCOMPARE(a.targetFilePath(), std::string("/t.jpg"));
    }

    void engineTakesAllAndGivesBackAllButThePixelNumber()
    {
        TSetting setting;
        setting.setTargetFilePath(std::string("/t.jpg"));
        setting.setTopDirPath(std::string("/photos"));
        setting.setBits(4);
        setting.setMatchRate(90);
        setting.setPixelNumber(12);
        setting.setSearchMethod(1);

        const auto engine = std::make_shared<TGraphicSearch>(nullptr);
        engine->loadSetting(setting);
        QCOMPARE(engine->target().filePath(), std::optional<std::string>("/t.jpg"));
        QCOMPARE(engine->topDirPath(), std::optional<std::string>("/photos"));
        QCOMPARE(engine->indexFilePath(), std::optional<std::string>(""));
        QCOMPARE(engine->bits(), 4);
        QCOMPARE(engine->pixelNumber(), 12);

        engine->setPixelNumber(16); // as an index head would
        engine->setMatchRate(80);
        engine->target().setFilePath(std::nullopt);
        TSetting back = setting;
        engine->saveSetting(back);
        QCOMPARE(back.pixelNumber(), 12);
        QCOMPARE(back.matchRate(), 80);
        QCOMPARE(back.targetFilePath(), std::string("/t.jpg")); // engine holds none: kept
        QCOMPARE(back.searchMethod(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
