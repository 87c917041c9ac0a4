#include "platform/tests/PlatformTestSupport.h"

class TestPlatform : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Installed before the loader decodes anything: it chains to whatever
    // handler exists at its first decode, and this one stays for the whole run.
    void initTestCase() { g_testHandler = qInstallMessageHandler(captureMessages); }
    void init()
    {
        g_messages.clear();
        ImageLoader::setDecodeBudgetForTesting(0);
    }

    void listingAndJoining()
    {
        QTemporaryDir dir;
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral(".hidden")), "x"));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("plain")), "x"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));

        const Descriptor folder(FileManager::openFolder(str(dir.path())));
        auto names = FileManager::listFolder(folder.get());
        QVERIFY(names.has_value());
        std::sort(names->begin(), names->end());
        QCOMPARE(*names, (std::vector<std::string>{".hidden", "plain", "sub"}));
        // the folder's own descriptor stays usable: listed twice, the same
        QCOMPARE(FileManager::listFolder(folder.get())->size(), std::size_t(3));

        int error = 0;
        QCOMPARE(FileManager::openFolder(str(dir.filePath(QStringLiteral("plain"))), &error), -1);
        QCOMPARE(error, ENOTDIR);
        QCOMPARE(FileManager::openFolder(str(dir.filePath(QStringLiteral("none"))), &error), -1);
        QCOMPARE(error, ENOENT);
        QCOMPARE(FileManager::openFolder(""), -1);

        // case is ignored by Unicode's mapping; bytes that are not UTF-8 only match exactly
        QVERIFY(FileManager::isSamePathIgnoringCase("/A/\xc3\x89T\xc3\x89.OVI",
                                                    "/a/\xc3\xa9t\xc3\xa9.ovi"));
        QVERIFY(!FileManager::isSamePathIgnoringCase("/a/\xe9", "/a/\xc9"));
        QVERIFY(!FileManager::isSamePathIgnoringCase("/a/b", "/a/bc"));

        QCOMPARE(FileManager::appendPathComponent("/a/b", "c"), std::string("/a/b/c"));
        QCOMPARE(FileManager::appendPathComponent("/a/b/", "c"), std::string("/a/b/c"));
        QCOMPARE(FileManager::appendPathComponent("/", "c"), std::string("/c"));
    }

    void existenceFollowsLinks()
    {
        QTemporaryDir dir;
        const std::string root = str(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(ovrin::test::writeText(dir.filePath(QStringLiteral("file")), "x"));
        QCOMPARE(::symlink("folder", (root + "/toFolder").c_str()), 0);
        QCOMPARE(::symlink("file", (root + "/toFile").c_str()), 0);
        QCOMPARE(::symlink("missing", (root + "/dangling").c_str()), 0);

        bool isDirectory = false;
        QVERIFY(FileManager::fileExists(root + "/toFolder", isDirectory));
        QVERIFY(isDirectory);
        QVERIFY(FileManager::fileExists(root + "/toFile", isDirectory));
        QVERIFY(!isDirectory);
        QVERIFY(!FileManager::fileExists(root + "/dangling"));
        QCOMPARE(FileManager::fileStatus(root + "/toFolder")->identity,
                 FileManager::fileStatus(root + "/folder")->identity);
        QVERIFY(!(FileManager::fileStatus(root + "/file")->identity ==
                  FileManager::fileStatus(root + "/folder")->identity));
    }

    // ---- The trash ---------------------------------------------------------
private:
    // A home and a working folder of their own, restored afterwards: a trash
    // made anywhere else, the working folder included, shows as a fault.
    struct TrashScene {
        QTemporaryDir dir;
        std::string root = str(dir.path());
        std::string home = root + "/home";
        std::string work = root + "/work";
        QByteArray savedHome = qgetenv("HOME");
        QByteArray savedData = qgetenv("XDG_DATA_HOME");
        QByteArray savedWork = QDir::currentPath().toLocal8Bit();

        TrashScene()
        {
            ::mkdir(home.c_str(), 0755);
            ::mkdir(work.c_str(), 0755);
            ::mkdir((root + "/pics").c_str(), 0755);
            qputenv("HOME", QByteArray::fromStdString(home));
            qunsetenv("XDG_DATA_HOME");
            QVERIFY(::chdir(work.c_str()) == 0);
        }
        ~TrashScene()
        {
            std::error_code ignored; // names that are not UTF-8 are beyond QDir
            std::filesystem::remove_all(root, ignored);
            (void)::chdir(savedWork.constData());
            qputenv("HOME", savedHome);
            savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
        }
        static std::vector<std::string> recordsBelow(const std::string& folder)
        {
            std::vector<std::string> found;
            std::error_code ignored;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored))
                if (entry.path().extension() == ".trashinfo")
                    found.push_back(entry.path().string());
            return found;
        }
    };

    // By bytes, for names that are not UTF-8.
    static bool writeBytes(const std::string& path, const std::string& bytes)
    {
        std::ofstream file(path, std::ios::binary);
        return file.write(bytes.data(), std::streamsize(bytes.size())).flush().good();
    }
    static std::string readBytes(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        char buffer[256];
        file.read(buffer, sizeof buffer);
        return file.is_open() ? std::string(buffer, std::size_t(file.gcount())) : "-";
    }
    static unsigned modeOf(const std::string& path)
    {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    }
    // Checks a record: the path as given and a deletion date of about now.
    static void checkRecord(const std::string& record, const std::string& path)
    {
        const std::string text = readBytes(record);
        const std::string head = "[Trash Info]\nPath=" + path + "\nDeletionDate=";
        QCOMPARE(text.substr(0, head.size()), head);
        QCOMPARE(text.size(), head.size() + 19 + 1); // local time, no zone
        const QDateTime date = QDateTime::fromString(
            QString::fromStdString(text.substr(head.size(), 19)), Qt::ISODate);
        QVERIFY2(std::abs(date.secsTo(QDateTime::currentDateTime())) < 5, text.c_str());
        QCOMPARE(text.back(), '\n');
    }

private Q_SLOTS:

    void homeTrashIsMadeWhereMissing_data()
    {
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QString>("trash"); // below the scene's root
        QTest::newRow("default") << QByteArray() << QStringLiteral("home/.local/share/Trash");
        QTest::newRow("XDG_DATA_HOME")
            << QByteArray("/data/sub") << QStringLiteral("data/sub/Trash");
        QTest::newRow("relative XDG_DATA_HOME is ignored")
            << QByteArray("data") << QStringLiteral("home/.local/share/Trash");
    }
    void homeTrashIsMadeWhereMissing()
    {
        QFETCH(QByteArray, dataHome);
        QFETCH(QString, trash);
        TrashScene scene;
        if (!dataHome.isEmpty())
            qputenv("XDG_DATA_HOME", dataHome.startsWith('/')
                                         ? QByteArray::fromStdString(scene.root) + dataHome
                                         : dataHome);
        const std::string pics = scene.root + "/pics";
        const std::string trashPath = scene.root + "/" + str(trash);
        const std::string odd = "a b%\xff.png"; // not UTF-8
        QVERIFY(writeBytes(pics + "/" + odd, "first"));
        ::mkdir((pics + "/other").c_str(), 0755);
        QVERIFY(writeBytes(pics + "/other/" + odd, "second"));
        QVERIFY(writeBytes(pics + "/other/b.png", "third"));

        const TrashOutcome first = Trash::moveToTrash(pics + "/" + odd);
        QVERIFY(first);
        QCOMPARE(first.trashedAs, trashPath + "/files/" + odd);
        QCOMPARE(readBytes(first.trashedAs), std::string("first"));
        QVERIFY(!FileManager::fileExists(pics + "/" + odd));
        checkRecord(trashPath + "/info/" + odd + ".trashinfo", pics + "/a%20b%25%FF.png");
        // every folder it made is the user's alone
        for (std::string folder = trashPath + "/files";
             folder != scene.home && folder != scene.root; folder = FileManager::folderOf(folder))
            QCOMPARE(modeOf(folder), 0700u);
        QCOMPARE(modeOf(trashPath + "/info"), 0700u);

        // A name already taken, by a record or by a file without one, goes to the next.
        QVERIFY(writeBytes(trashPath + "/files/a b%\xff.2.png", "stale"));
        QCOMPARE(Trash::moveToTrash(pics + "/other/" + odd).trashedAs,
                 trashPath + "/files/a b%\xff.3.png");
        checkRecord(trashPath + "/info/a b%\xff.3.png.trashinfo", pics + "/other/a%20b%25%FF.png");
        QCOMPARE(readBytes(trashPath + "/files/a b%\xff.2.png"), std::string("stale"));
        QVERIFY(!FileManager::fileExists(trashPath + "/info/a b%\xff.2.png.trashinfo"));
        // A relative path is recorded whole.
        QVERIFY(::chdir((pics + "/other").c_str()) == 0);
        QVERIFY(Trash::moveToTrash("b.png"));
        checkRecord(trashPath + "/info/b.png.trashinfo", pics + "/other/b.png");
        QVERIFY(QDir(QString::fromStdString(scene.work))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void trashRefusalsLeaveEverythingInPlace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("error");
        const auto row = [](const char* kind, TrashOutcome::Failure failure, int error) {
            QTest::newRow(kind) << QString::fromLatin1(kind) << int(failure) << error;
        };
        row("trash is a file", TrashOutcome::Failure::HomeTrashUnusable, ENOTDIR);
        row("info is a file", TrashOutcome::Failure::HomeTrashUnusable, ENOTDIR);
        row("folder holding the trash", TrashOutcome::Failure::NotMoved, EINVAL);
        row("read-only folder", TrashOutcome::Failure::NotMoved, EACCES);
        row("missing", TrashOutcome::Failure::Missing, ENOENT);
    }
    void trashRefusalsLeaveEverythingInPlace()
    {
        QFETCH(QString, kind);
        QFETCH(int, failure);
        QFETCH(int, error);
        TrashScene scene;
        const std::string trash = scene.home + "/.local/share/Trash";
        std::string victim = scene.root + "/pics/p.png";
        QVERIFY(writeBytes(victim, "picture"));
        QVERIFY(QDir().mkpath(QString::fromStdString(trash + "/files")));
        if (kind == QLatin1String("trash is a file")) {
            QVERIFY(QDir(QString::fromStdString(trash)).removeRecursively());
            QVERIFY(writeBytes(trash, "x"));
        } else if (kind == QLatin1String("info is a file")) {
            QVERIFY(writeBytes(trash + "/info", "x"));
        } else if (kind == QLatin1String("folder holding the trash")) {
            victim = scene.home; // a folder cannot go into itself, not even for root
        } else if (kind == QLatin1String("missing")) {
            victim = scene.root + "/pics/none.png";
        } else if (::geteuid() == 0) {
            QSKIP("root may change any folder");
        } else {
            QCOMPARE(::chmod((scene.root + "/pics").c_str(), 0555), 0);
        }
        const TrashOutcome outcome = Trash::moveToTrash(victim);
        ::chmod((scene.root + "/pics").c_str(), 0755);
        QCOMPARE(int(outcome.failure), failure);
        QCOMPARE(outcome.error, error);
        QVERIFY(outcome.trashedAs.empty());
        if (kind != QLatin1String("missing"))
            QVERIFY(FileManager::fileExists(victim));
        QCOMPARE(readBytes(scene.root + "/pics/p.png"), std::string("picture"));
        QCOMPARE(scene.recordsBelow(scene.root), std::vector<std::string>());
        QVERIFY(QDir(QString::fromStdString(scene.work))
                    .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void otherFileSystemsUseTheirOwnTrash_data()
    {
        QTest::addColumn<QString>("shared"); // what lies at <top>/.Trash
        QTest::addColumn<QString>("used");   // the trash below <top>, or none
        const QString own = QStringLiteral(".Trash-%1").arg(::getuid());
        QTest::newRow("none") << QString() << own;
        QTest::newRow("sticky folder")
            << QStringLiteral("sticky") << QStringLiteral(".Trash/%1").arg(::getuid());
        QTest::newRow("folder not sticky") << QStringLiteral("plain") << own;
        QTest::newRow("link to a sticky folder") << QStringLiteral("link") << own;
        QTest::newRow("own trash is a file") << QStringLiteral("own file") << QString();
    }
    void otherFileSystemsUseTheirOwnTrash()
    {
        QFETCH(QString, shared);
        QFETCH(QString, used);
        // /dev/shm is its own file system on most machines: its top is itself.
        const std::string top = "/dev/shm";
        struct stat volume {};
        struct stat temporary {};
        if (::stat(top.c_str(), &volume) != 0 ||
            ::stat(str(QDir::tempPath()).c_str(), &temporary) != 0 ||
            volume.st_dev == temporary.st_dev)
            QSKIP("no second file system at /dev/shm beside the temporary folder");
        const std::string sharedTrash = top + "/.Trash";
        const std::string ownTrash = top + "/.Trash-" + std::to_string(::getuid());
        if (FileManager::fileExists(sharedTrash) || FileManager::fileExists(ownTrash))
            QSKIP("/dev/shm already has a trash, which a test must not touch");
        TrashScene scene;
        QTemporaryDir place(QStringLiteral("/dev/shm/ovrin-trash-XXXXXX"));
        const std::string folder = str(place.path());
        const std::string victim = folder + "/p \xff.png";
        QVERIFY(writeBytes(victim, "picture"));
        const auto cleanUp = qScopeGuard([&] {
            ::unlink(sharedTrash.c_str());
            ::unlink(ownTrash.c_str());
            std::error_code ignored;
            for (const std::string& made : {sharedTrash, ownTrash, folder})
                std::filesystem::remove_all(made, ignored);
        });
        if (shared == QLatin1String("sticky") || shared == QLatin1String("plain")) {
            QCOMPARE(::mkdir(sharedTrash.c_str(), 0777), 0);
            QCOMPARE(::chmod(sharedTrash.c_str(), shared == QLatin1String("sticky") ? 01777 : 0777),
                     0);
        } else if (shared == QLatin1String("link")) {
            QCOMPARE(::mkdir((folder + "/elsewhere").c_str(), 0777), 0);
            QCOMPARE(::chmod((folder + "/elsewhere").c_str(), 01777), 0);
            QCOMPARE(::symlink((folder + "/elsewhere").c_str(), sharedTrash.c_str()), 0);
        } else if (shared == QLatin1String("own file")) {
            QVERIFY(writeBytes(ownTrash, "x"));
        }

        const TrashOutcome outcome = Trash::moveToTrash(victim);
        // Never the home trash: that would be a copy between file systems.
        QVERIFY(!FileManager::fileExists(scene.home + "/.local"));
        QCOMPARE(TrashScene::recordsBelow(folder), std::vector<std::string>());
        if (used.isEmpty()) {
            QCOMPARE(outcome.failure, TrashOutcome::Failure::NoVolumeTrash);
            QCOMPARE(outcome.place, top);
            QCOMPARE(readBytes(victim), std::string("picture"));
            return;
        }
        QVERIFY(outcome);
        const std::string trash = top + "/" + str(used);
        QCOMPARE(outcome.trashedAs, trash + "/files/p \xff.png");
        QCOMPARE(readBytes(outcome.trashedAs), std::string("picture"));
        QCOMPARE(modeOf(trash), 0700u);
        // named from the top, so the record holds wherever the file system is mounted
        checkRecord(trash + "/info/p \xff.png.trashinfo",
                    Trash::encodePath(folder.substr(top.size() + 1)) + "/p%20%FF.png");
    }

    // The streamed reduction against a direct sum over every pixel, for
    // shapes that exercise whole rows, rows split between cells, more cells
    // than pixels, and decoded points standing for several pixels.
    void streamedReductionMatchesDirectSum_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("uniformFrom"); // rows from here on are one colour
        QTest::newRow("many rows per cell") << 61 << 700 << 8 << 1 << 700;
        QTest::newRow("rows split") << 37 << 29 << 8 << 1 << 11;
        QTest::newRow("fewer pixels than cells") << 3 << 5 << 8 << 1 << 5;
        QTest::newRow("scaled, partial edges") << 125 << 94 << 8 << 8 << 50;
        QTest::newRow("scaled half") << 33 << 517 << 5 << 2 << 517;
    }
    void streamedReductionMatchesDirectSum()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, side);
        QFETCH(int, scale);
        QFETCH(int, uniformFrom);
        // the picture: the decoded size times the scale, less a bit at the edges
        const std::int64_t pictureWidth = std::int64_t{width} * scale - (scale > 1 ? scale / 2 : 0);
        const std::int64_t pictureHeight = std::int64_t{height} * scale - (scale > 1 ? 1 : 0);
        QRandomGenerator random(quint32(width * 1000 + height));
        std::vector<std::uint8_t> rgb(std::size_t(width) * std::size_t(height) * 3);
        const std::size_t uniformAt = std::size_t(uniformFrom) * std::size_t(width) * 3;
        for (std::size_t k = 0; k < rgb.size(); ++k)
            rgb[k] = std::uint8_t(k < uniformAt ? random.bounded(256u) : 60u * (k % 3 + 1));

        AreaReducer reducer(width, height, side, scale, pictureWidth, pictureHeight);
        for (int y = 0; y < uniformFrom; ++y)
            reducer.addRgbRow(&rgb[std::size_t(y) * std::size_t(width) * 3]);
        reducer.fillRemainingRows(60, 120, 180);
        const ThumbnailRaster raster = reducer.finish();

        // every picture pixel weighs the same; it takes its decoded point's colour
        const std::int64_t n = side;
        for (std::int64_t j = 0; j < n; ++j) {
            for (std::int64_t i = 0; i < n; ++i) {
                std::uint64_t sums[3] = {};
                for (std::int64_t py = 0; py < pictureHeight; ++py) {
                    const std::int64_t wy = std::min((py + 1) * n, (j + 1) * pictureHeight) -
                                            std::max(py * n, j * pictureHeight);
                    if (wy <= 0)
                        continue;
                    for (std::int64_t px = 0; px < pictureWidth; ++px) {
                        const std::int64_t wx = std::min((px + 1) * n, (i + 1) * pictureWidth) -
                                                std::max(px * n, i * pictureWidth);
                        if (wx <= 0)
                            continue;
                        const std::size_t at = (std::size_t(py / scale) * std::size_t(width) +
                                                std::size_t(px / scale)) *
                                               3;
                        for (int c = 0; c < 3; ++c)
                            sums[c] += std::uint64_t(wx * wy) * rgb[at + std::size_t(c)];
                    }
                }
                const auto area = std::uint64_t(pictureWidth * pictureHeight);
                const ColorFraction got = raster.colorAt(int(i), int(j));
                QCOMPARE(level(got.red), int((sums[0] + area / 2) / area));
                QCOMPARE(level(got.green), int((sums[1] + area / 2) / area));
                QCOMPARE(level(got.blue), int((sums[2] + area / 2) / area));
            }
        }
    }

    void readsTheCommonFormats_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QImage::Format>("layout");
        QTest::addColumn<int>("tolerance");
        QTest::newRow("jpeg") << QByteArray("jpeg") << QImage::Format_RGB32 << 12;
        QTest::newRow("jpeg grey") << QByteArray("jpeg") << QImage::Format_Grayscale8 << 12;
        QTest::newRow("png") << QByteArray("png") << QImage::Format_RGB32 << 1;
        QTest::newRow("png alpha") << QByteArray("png") << QImage::Format_ARGB32 << 1;
        QTest::newRow("png 16-bit alpha") << QByteArray("png") << QImage::Format_RGBA64 << 1;
        QTest::newRow("png palette") << QByteArray("png") << QImage::Format_Indexed8 << 1;
        QTest::newRow("png grey") << QByteArray("png") << QImage::Format_Grayscale8 << 1;
        QTest::newRow("gif") << QByteArray("gif") << QImage::Format_RGB32 << 1;
        QTest::newRow("gif transparent") << QByteArray("gif") << QImage::Format_ARGB32 << 1;
        QTest::newRow("bmp") << QByteArray("bmp") << QImage::Format_RGB32 << 1;
        QTest::newRow("bmp palette") << QByteArray("bmp") << QImage::Format_Indexed8 << 1;
        QTest::newRow("webp") << QByteArray("webp") << QImage::Format_RGB32 << 12;
        QTest::newRow("webp alpha") << QByteArray("webp") << QImage::Format_ARGB32 << 12;
        QTest::newRow("tiff") << QByteArray("tiff") << QImage::Format_RGB32 << 1;
        QTest::newRow("tiff alpha") << QByteArray("tiff") << QImage::Format_ARGB32 << 1;
        QTest::newRow("tiff grey") << QByteArray("tiff") << QImage::Format_Grayscale8 << 1;
        QTest::newRow("ppm (toolkit)") << QByteArray("ppm") << QImage::Format_RGB32 << 1;
    }
    void readsTheCommonFormats()
    {
        QFETCH(QByteArray, format);
        QFETCH(QImage::Format, layout);
        QFETCH(int, tolerance);
        QTemporaryDir dir;
        // left half orange, right half teal; where there is alpha, the top
        // left quarter is half transparent
        QImage image(64, 32, QImage::Format_ARGB32);
        image.fill(QColor(240, 128, 16));
        for (int y = 0; y < 32; ++y)
            for (int x = 32; x < 64; ++x)
                image.setPixel(x, y, qRgb(0, 128, 128));
        const bool alpha = image.convertToFormat(layout).hasAlphaChannel();
        if (alpha)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, qRgba(240, 128, 16, 128));
        image = layout == QImage::Format_Indexed8
                    ? image.convertToFormat(layout, {qRgb(240, 128, 16), qRgb(0, 128, 128)})
                    : image.convertToFormat(layout);
        const QString path = dir.filePath(QStringLiteral("picture.") + QString::fromLatin1(format));
        if (format == "gif") {
            // Qt writes no GIF; where there is alpha, orange is transparent
            const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
            QVERIFY(ovrin::test::writeText(
                path, gif(opaque, alpha ? std::optional(qRgb(240, 128, 16)) : std::nullopt)));
            image = opaque.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; alpha && y < 32; ++y)
                for (int x = 0; x < 32; ++x)
                    image.setPixel(x, y, qRgba(0, 0, 0, 0));
        } else {
            QVERIFY(ovrin::test::writeImage(path, image, format.constData(), 95));
        }
        // what the picture shows, on white
        const auto shown = [&image](int x, int y) {
            const QRgb p = image.convertToFormat(QImage::Format_ARGB32).pixel(x, y);
            const int a = qAlpha(p);
            return QColor((qRed(p) * a + 255 * (255 - a)) / 255,
                          (qGreen(p) * a + 255 * (255 - a)) / 255,
                          (qBlue(p) * a + 255 * (255 - a)) / 255);
        };
        const auto raster = ImageLoader::loadThumbnail(str(path), 2).raster;
        QVERIFY(raster.has_value());
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                checkNear(shade(raster->colorAt(x, y)),
                          shown(x * (image.width() - 1), y * (image.height() - 1)), tolerance, x,
                          y);
    }

    // Six colours in three columns and two rows: each of the eight ways to
    // turn or mirror it looks different. Every format that can carry an EXIF
    // orientation (TIFF its own tag) shows the picture upright; unreadable
    // EXIF leaves it as stored.
    void appliesTheStoredOrientation_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("exif"); // for TIFF, only its orientation counts
        QTest::addColumn<int>("upright");     // the orientation that must be applied
        const char* formats[] = {"jpeg", "png", "webp", "tiff"};
        for (const char* format : formats) {
            for (int orientation = 1; orientation <= 8; ++orientation) {
                // the marker JPEG needs, and PNG and WebP may have
                const QByteArray marker =
                    qstrcmp(format, "png") == 0 ? QByteArray() : QByteArray("Exif\0\0", 6);
                QTest::addRow("%s %d", format, orientation)
                    << QByteArray(format) << marker + exifBlock(orientation, orientation % 2 == 0)
                    << orientation;
            }
        }
        const QByteArray turned = exifBlock(6, false);
        QTest::newRow("png too short") << QByteArray("png") << QByteArray("MM") << 1;
        QTest::newRow("png IFD far away")
            << QByteArray("png") << turned.left(4) + be32(0xfffffff0u) << 1;
        QTest::newRow("png IFD cut") << QByteArray("png") << turned.left(20) << 1;
        QByteArray endless = turned; // 65535 entries, and no orientation among them
        endless[8] = endless[9] = '\xff';
        endless[11] = '\x13';
        QTest::newRow("webp endless entries") << QByteArray("webp") << endless << 1;
        QByteArray loop = exifBlock(1, false); // IFD0 names itself as the next IFD
        loop[11] = '\x13';
        loop.replace(22, 4, be32(8));
        QTest::newRow("webp IFD loop") << QByteArray("webp") << loop << 1;
        QTest::newRow("jpeg marker missing") << QByteArray("jpeg") << turned << 1;
    }
    void appliesTheStoredOrientation()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, exif);
        QFETCH(int, upright);
        QImage stored(60, 40, QImage::Format_RGB32);
        const QRgb colours[] = {qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(0, 0, 255),
                                qRgb(255, 255, 0), qRgb(255, 0, 255), qRgb(0, 255, 255)};
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x)
                stored.setPixel(x, y, colours[y / 20 * 3 + x / 20]);
        QByteArray bytes;
        if (format == "jpeg") {
            bytes = jpegWithExif(stored, exif);
        } else if (format == "png") {
            bytes = pngWithExif(stored, exif);
        } else if (format == "webp") {
            bytes = webpWithExif(stored, exif);
        } else {
            // each orientation as the toolkit's transformation flags
            static constexpr int kTiff[] = {0, 1, 3, 2, 6, 4, 5, 7};
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "tiff");
            writer.setTransformation(QImageIOHandler::Transformations(kTiff[upright - 1]));
            QVERIFY(writer.write(stored));
        }
        // the picture as a person sees it: turns clockwise, mirrors left to right
        const QImage quarter = stored.transformed(QTransform().rotate(90));
        const QImage seen[] = {stored,
                               stored.mirrored(true, false),
                               stored.mirrored(true, true),
                               stored.mirrored(false, true),
                               quarter.mirrored(true, false),
                               quarter,
                               quarter.mirrored(false, true),
                               stored.transformed(QTransform().rotate(270))};
        const QImage want = seen[upright - 1].convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const ThumbnailRaster expected =
            ImageLoader::reduce(reinterpret_cast<const std::uint32_t*>(want.constBits()),
                                want.width(), want.height(), std::size_t(want.width()), 6);
        const auto raster = loaded(bytes, 6).raster;
        QVERIFY(raster.has_value());
        const int tolerance = format == "png" || format == "tiff" ? 0 : 48;
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                checkNear(shade(raster->colorAt(x, y)), shade(expected.colorAt(x, y)), tolerance, x,
                          y);
    }

    // Every decoder reduces the rows it gives to the finer grid too: its
    // luminance is the luma of the raster made at the grid's side, turned
    // alike, the size comes as seen, and the raster stays what it was.
    void fineGridIsTheLumaOfTheRasterAtItsSide_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("width"); // as seen
        QTest::addColumn<int>("height");
        const QImage photo = ovrin::test::photoLike(131, 97, 3);
        // large enough that JPEG decodes at 1/8 for either side
        const QImage large = ovrin::test::photoLike(512, 384, 4);
        QImage alpha = photo.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < alpha.height(); ++y)
            for (int x = 0; x < alpha.width(); ++x)
                alpha.setPixel(x, y,
                               (alpha.pixel(x, y) & 0xffffffu) | quint32((x + 2 * y) % 256) << 24);
        const QByteArray turned = exifBlock(6, false);
        QTest::newRow("jpeg") << encoded(large, "jpeg") << 512 << 384;
        QTest::newRow("jpeg grey progressive")
            << encoded(large.convertToFormat(QImage::Format_Grayscale8), "jpeg", true) << 512
            << 384;
        QTest::newRow("jpeg turned")
            << jpegWithExif(large, QByteArray("Exif\0\0", 6) + turned) << 384 << 512;
        QTest::newRow("png") << encoded(photo, "png") << 131 << 97;
        QTest::newRow("png alpha") << encoded(alpha, "png") << 131 << 97;
        QTest::newRow("png interlaced") << interlacedPng(photo) << 131 << 97;
        QTest::newRow("png turned") << pngWithExif(photo, turned) << 97 << 131;
        QTest::newRow("gif") << gif(photo) << 131 << 97;
        QTest::newRow("bmp") << encoded(photo, "bmp") << 131 << 97;
        QTest::newRow("webp") << encoded(alpha, "webp") << 131 << 97;
        QTest::newRow("tiff") << encoded(photo, "tiff") << 131 << 97;
        QTest::newRow("tiff planar") << tiffDirectoryFirst(photo, true) << 131 << 97;
        QTest::newRow("ppm (toolkit)") << encoded(photo, "ppm") << 131 << 97;
    }
    void fineGridIsTheLumaOfTheRasterAtItsSide()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, width);
        QFETCH(int, height);
        constexpr int kSide = 8;
        constexpr int kFine = 32;
        const auto levels = [](const ThumbnailRaster& r) {
            std::vector<QRgb> out;
            out.reserve(static_cast<std::size_t>(r.side()) * static_cast<std::size_t>(r.side()));
            for (int k = 0; k < r.side() * r.side(); ++k)
                out.push_back(shade(r.colorAt(k % r.side(), k / r.side())).rgb());
            return out;
        };
        const LoadResult plain = loaded(bytes, kSide);
        const LoadResult both = loaded(bytes, kSide, kFine);
        const LoadResult fine = loaded(bytes, kFine);
        QVERIFY(plain.raster && both.raster && fine.raster);
        QVERIFY(plain.luminance.empty());
        QVERIFY(levels(*both.raster) == levels(*plain.raster));
        QCOMPARE(both.width, width);
        QCOMPARE(both.height, height);
        std::vector<int> luma;
        for (const QRgb p : levels(*fine.raster))
            luma.push_back((299 * qRed(p) + 587 * qGreen(p) + 114 * qBlue(p) + 500) / 1000);
        QCOMPARE(both.luminance.size(), luma.size());
        for (std::size_t k = 0; k < luma.size(); ++k)
            QVERIFY2(both.luminance[k] == luma[k], qPrintable(QString::number(k)));
    }

    // A file cut short is read with the rows that came, as long as one came
    // and the format's library can decode them; what was read is the part of
    // the picture stored first.
    void cutFilesShowWhatCame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("kept");
        QTest::addColumn<bool>("read");
        QTest::addColumn<int>("firstRow"); // the raster row stored first
        QTest::addColumn<int>("tolerance");
        const QImage photo = ovrin::test::photoLike(128, 128, 7);
        const struct {
            const char* name;
            QByteArray bytes;
            qsizetype headerCut; // no row in it
            bool read;
            int firstRow;
            int tolerance = 12; // an early interlaced pass only samples the picture
        } formats[] = {
            {"jpeg", encoded(photo, "jpeg"), 40, true, 0},
            {"jpeg progressive", encoded(photo, "jpeg", true), 40, true, 0},
            {"png", encoded(photo, "png"), 30, true, 0},
            {"png interlaced", interlacedPng(photo), 100, true, 0, 24},
            {"png with eXIf", pngWithExif(photo, exifBlock(1, true)), 50, true, 0},
            {"gif", gif(photo), 800, true, 0},
            {"webp", encoded(photo, "webp"), 60, true, 0},
            {"webp lossless", encoded(photo, "webp", false, 100), 60, true, 0},
            {"tiff directory first", tiffDirectoryFirst(photo, false), 50, true, 0},
            {"tiff planar", tiffDirectoryFirst(photo, true), 50, true, 0},
            {"tiff directory last", encoded(photo, "tiff"), 50, false, 0},
            {"bmp bottom up", encoded(photo, "bmp"), 30, true, 7},
        };
        for (const auto& format : formats) {
            QTest::addRow("%s, header", format.name)
                << format.bytes << format.headerCut << false << format.firstRow << 0;
            for (const int percent : {50, 90})
                QTest::addRow("%s, %d%%", format.name, percent)
                    << format.bytes << format.bytes.size() * percent / 100 << format.read
                    << format.firstRow << format.tolerance;
        }
    }
    void cutFilesShowWhatCame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, kept);
        QFETCH(bool, read);
        QFETCH(int, firstRow);
        QFETCH(int, tolerance);
        const auto complete = loaded(bytes, 8).raster;
        QVERIFY(complete.has_value());
        LoadResult result;
        const QByteArray said = stderrOf([&] { result = loaded(bytes.left(kept), 8); });
        QCOMPARE(result.failure, read ? LoadFailure::None : LoadFailure::NotAnImage);
        QVERIFY2(said.isEmpty(), said.constData()); // no decoder speaks of a cut file
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
        if (!read)
            return;
        for (int x = 0; x < 8; ++x)
            checkNear(shade(result.raster->colorAt(x, firstRow)),
                      shade(complete->colorAt(x, firstRow)), tolerance, x, firstRow);
    }

    // Pictures far larger than the budget decode when their format can be
    // streamed: memory follows the width, not the size.
    void largePicturesStreamWithinASmallBudget_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("jpeg") << QByteArray("jpeg");
        QTest::newRow("png") << QByteArray("png");
        QTest::newRow("tiff") << QByteArray("tiff");
        QTest::newRow("bmp") << QByteArray("bmp");
    }
    void largePicturesStreamWithinASmallBudget()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.") + QString::fromLatin1(format));
        QImage image(3000, 2000, QImage::Format_RGB888); // 18 MB decoded
        image.fill(QColor(200, 40, 40));
        for (int y = 1000; y < 2000; ++y)
            std::fill_n(image.scanLine(y), 3000 * 3, uchar(20));
        QImageWriter writer(path, format);
        writer.setCompression(1);
        QVERIFY(writer.write(image));
        ImageLoader::setDecodeBudgetForTesting(4 * 1024 * 1024);
        const auto result = ImageLoader::loadThumbnail(str(path), 8);
        QCOMPARE(result.failure, LoadFailure::None);
        QVERIFY(level(result.raster->colorAt(3, 0).red) > 190);
        QVERIFY(level(result.raster->colorAt(3, 7).red) < 30);
    }

    // Every file gets its reason, and no decoder says a word about it, on
    // stderr or through the toolkit's messages.
    void badFilesGiveTheirReasonQuietly_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<LoadFailure>("reason");
        const QImage photo = ovrin::test::photoLike(64, 64, 1);
        QByteArray png = encoded(photo, "png");
        png[png.indexOf("IDAT") + 40] = char(png[png.indexOf("IDAT") + 40] ^ 0x5a);
        QTest::newRow("text") << QByteArray("text.jpg") << QByteArray("not a picture")
                              << LoadFailure::NotAnImage;
        QTest::newRow("empty") << QByteArray("empty.png") << QByteArray() << LoadFailure::EmptyFile;
        QTest::newRow("png damaged") << QByteArray("bad.png") << png << LoadFailure::NotAnImage;
        QTest::newRow("tiff header only")
            << QByteArray("head.tif") << encoded(photo, "tiff").left(8) << LoadFailure::NotAnImage;
        QTest::newRow("gif cut") << QByteArray("cut.gif") << QByteArray("GIF89a\x10\0")
                                 << LoadFailure::NotAnImage;
        // headers that claim more than the budget: refused before decoding
        QTest::newRow("progressive jpeg 46000 square")
            << QByteArray("huge.jpg") << jpegClaiming(46000, true) << LoadFailure::TooLarge;
        // signature, header (interlaced), an empty first data chunk
        const QByteArray interlaced =
            QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000186a0000186a008020000015037ac09"
                                "000000004944415435af061e");
        QTest::newRow("interlaced png 100000 square")
            << QByteArray("huge.png") << interlaced << LoadFailure::TooLarge;
        // TGA, known by the name alone: headers that make no sense
        const QByteArray pixels(12, '\x40');
        const auto refused = [](const char* name, const QByteArray& bytes) {
            QTest::newRow(name) << QByteArray("bad.tga") << bytes << LoadFailure::NotAnImage;
        };
        refused("tga of no such type", tga(4, 24, 0, pixels));
        refused("tga of 12 bits a pixel", tga(2, 12, 0, pixels));
        refused("tga of no width", tga(2, 24, 0, pixels, {}, 0, 0, {}, 0, 2));
        refused("tga map past the indices", tga(1, 8, 0, pixels, QByteArray(300, '\x40'), 24, 200));
        refused("tga colour-mapped without a map", tga(1, 8, 0, pixels));
        refused("tga header only", tga(2, 24, 0, {}));
        refused("tga 65535 square, a few bytes", tga(2, 24, 0, pixels, {}, 0, 0, {}, 65535, 65535));
        refused("text named .tga", "not a picture at all, just some words\n");
    }
    void badFilesGiveTheirReasonQuietly()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, bytes);
        QFETCH(LoadFailure, reason);
        LoadFailure got = LoadFailure::None;
        const QByteArray said =
            stderrOf([&] { got = loaded(bytes, 8, 0, QString::fromLatin1(name)).failure; });
        QCOMPARE(got, reason);
        QVERIFY2(said.isEmpty(), said.constData());
        QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join(u'\n')));
        qWarning("%s", kMarker);
        QCOMPARE(g_messages, QStringList{QLatin1String(kMarker)});
    }

    void nonPicturesAreNeverRead()
    {
        QTemporaryDir dir;
        const std::string root = str(dir.path());
        QCOMPARE(::mkfifo((root + "/fifo.jpg").c_str(), 0600), 0);
        QCOMPARE(::symlink("/dev/zero", (root + "/zero.jpg").c_str()), 0);
        QCOMPARE(ImageLoader::loadThumbnail(root + "/fifo.jpg", 8).failure,
                 LoadFailure::NotRegularFile); // must not block
        QCOMPARE(ImageLoader::loadThumbnail(root + "/zero.jpg", 8).failure,
                 LoadFailure::NotRegularFile); // must not read forever
        QCOMPARE(ImageLoader::loadThumbnail(root, 8).failure, LoadFailure::NotRegularFile);
        QCOMPARE(ImageLoader::loadThumbnail(root + "/missing.png", 8).failure,
                 LoadFailure::Missing);
        QCOMPARE(ImageLoader::loadThumbnail("", 8).failure, LoadFailure::Missing);
    }

    // Decodes that would take seconds end soon after the stop, whether they
    // decode or wait for their share of the budget.
    void stopEndsADecode_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("budgetTaken");
        QByteArray bmp = encoded(ovrin::test::photoLike(16, 16, 5), "bmp").left(54);
        bmp.replace(18, 8, le32(30000) + le32(30000)); // its width and height
        QTest::newRow("bmp of 900 megapixels")
            << QByteArray("big.bmp") << bmp << qint64(54) + 90000LL * 30000 << false;
        QTest::newRow("jpeg claiming 60000 square")
            << QByteArray("big.jpg") << jpegClaiming(60000, false) << qint64(0) << false;
        QTest::newRow("waiting for the budget")
            << QByteArray("wait.jpg") << encoded(ovrin::test::photoLike(64, 64, 2), "jpeg")
            << qint64(0) << true;
    }
    void stopEndsADecode()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, head);
        QFETCH(qint64, size);
        QFETCH(bool, budgetTaken);
        QTemporaryDir dir;
        const QString path = dir.filePath(QString::fromLatin1(name));
        QVERIFY(writeSparse(path, head, std::max<qint64>(size, head.size())));
        DecodeBudget::Reservation held;
        if (budgetTaken)
            QCOMPARE(DecodeBudget::reserve(DecodeBudget::capacity(), nullptr, held),
                     LoadFailure::None);

        std::atomic<bool> proceed{true};
        LoadFailure got = LoadFailure::None;
        std::thread decode(
            [&] { got = ImageLoader::loadThumbnail(str(path), 8, &proceed).failure; });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        proceed = false;
        decode.join();
        QCOMPARE(got, LoadFailure::Stopped);
    }

    // No decode may wait on a thread it cannot start (the toolkit converts
    // large pictures on its thread pool): with threads refused to the
    // process, as an unprivileged user, pictures that need conversions still
    // load.
    void decodesWhereNoThreadCanStart()
    {
        QTemporaryDir dir;
        QImage image(2000, 1500, QImage::Format_ARGB32);
        image.fill(QColor(10, 200, 30, 128));
        const QString alpha = dir.filePath(QStringLiteral("alpha.png"));
        const QString grey = dir.filePath(QStringLiteral("grey.pgm")); // through the toolkit
        QVERIFY(ovrin::test::writeImage(alpha, image, "png"));
        QVERIFY(
            ovrin::test::writeImage(grey, image.convertToFormat(QImage::Format_Grayscale8), "pgm"));
        const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadOther;
        for (const QString& file : {alpha, grey})
            QVERIFY(QFile::setPermissions(file, readable | QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(dir.path(),
                                      readable | QFileDevice::ExeOwner | QFileDevice::ExeOther));

        // A fresh program rather than a fork: a fork of this threaded process
        // may inherit an allocator lock some idle pool thread held, and hang.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kDecodeWithoutThreads), alpha, grey});
        QVERIFY(child.waitForStarted());
        if (!child.waitForFinished(60000)) {
            child.kill();
            child.waitForFinished();
            QFAIL("decoding waited for a thread that could not start");
        }
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        if (child.exitCode() == 3 || child.exitCode() == 4)
            QSKIP("threads cannot be refused to this process here");
        QCOMPARE(child.exitCode(), 0);
    }

    // Workers decoding at once wait for each other rather than add up past
    // the budget, and all of them get their picture.
    void workersShareTheBudget()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("whole.webp"));
        // WebP is decoded whole: some 3.6 MB each, so two at once would not fit
        QImage image(600, 600, QImage::Format_RGB32);
        image.fill(QColor(250, 0, 0));
        QVERIFY(ovrin::test::writeImage(path, image, "webp", 90));
        ImageLoader::setDecodeBudgetForTesting(5 * 1024 * 1024);
        std::vector<std::thread> workers;
        workers.reserve(4);
        std::atomic<int> loaded{0};
        for (int i = 0; i < 4; ++i)
            workers.emplace_back([&] {
                for (int k = 0; k < 5; ++k) {
                    const auto result = ImageLoader::loadThumbnail(str(path), 8);
                    loaded +=
                        result.raster && level(result.raster->colorAt(7, 7).red) > 240 ? 1 : 0;
                }
            });
        for (auto& worker : workers)
            worker.join();
        QCOMPARE(loaded.load(), 20);
        QVERIFY(DecodeBudget::highWater() > 3 * 1024 * 1024);
        QVERIFY(DecodeBudget::highWater() <= 5 * 1024 * 1024);
    }

    // Readings in MiB (-1: no such limit), each thread taking 72 MiB of
    // address space, under the 1 GiB ceiling.
    void budgetFollowsTheLimits_data()
    {
        QTest::addColumn<int>("addressSpace");
        QTest::addColumn<int>("used");
        QTest::addColumn<int>("cgroup");
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("wanted");
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("together");
        QTest::addColumn<int>("alone");
        QTest::newRow("no limits") << -1 << 150 << -1 << -1 << 8 << 8 << 1024 << 1024;
        QTest::newRow("wide address space") << 16384 << 150 << -1 << -1 << 8 << 8 << 1024 << 1024;
        QTest::newRow("ulimit -v 800000") << 780 << 150 << -1 << -1 << 8 << 4 << 171 << 171;
        QTest::newRow("room for one thread only") << 400 << 150 << -1 << -1 << 8 << 1 << 125 << 125;
        QTest::newRow("limit below the use") << 100 << 150 << -1 << -1 << 8 << 1 << 0 << 0;
        QTest::newRow("cgroup") << -1 << 150 << 600 << -1 << 8 << 8 << 300 << 300;
        QTest::newRow("available memory") << -1 << 150 << -1 << 400 << 8 << 8 << 200 << 1024;
        QTest::newRow("tightest of all") << 2048 << 100 << 1000 << 300 << 2 << 2 << 150 << 500;
    }
    void budgetFollowsTheLimits()
    {
        QFETCH(int, addressSpace);
        QFETCH(int, used);
        QFETCH(int, cgroup);
        QFETCH(int, available);
        QFETCH(int, wanted);
        QFETCH(int, threads);
        QFETCH(int, together);
        QFETCH(int, alone);
        constexpr std::int64_t kMiB = 1024 * 1024;
        const auto reading = [](int mib) {
            return mib < 0 ? std::nullopt : std::optional<std::int64_t>(mib * kMiB);
        };
        MemoryReadings readings;
        readings.addressSpaceLimit = reading(addressSpace);
        readings.addressSpaceUsed = used * kMiB;
        readings.threadAddressSpace = 72 * kMiB;
        readings.cgroupRoom = reading(cgroup);
        readings.available = reading(available);
        QCOMPARE(DecodeBudget::threadsWithin(readings, wanted, 1024 * kMiB), threads);
        const auto share = DecodeBudget::shareFor(readings, threads > 1 ? threads : 0, 1024 * kMiB);
        QCOMPARE(share.together, together * kMiB);
        QCOMPARE(share.alone, alone * kMiB);
    }

    void limitsAreReadFromTheCgroupHierarchy_data()
    {
        QTest::addColumn<QByteArrayList>("files"); // "path: content"
        QTest::addColumn<qint64>("room");          // -1: none
        QTest::newRow("version 2, the parent binds")
            << QByteArrayList{"proc/self/cgroup: 0::/a/b\n",
                              "sys/fs/cgroup/a/memory.max: 1000000\n",
                              "sys/fs/cgroup/a/memory.current: 600000\n",
                              // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one file
                              "sys/fs/cgroup/a/memory.stat: "
                              "anon 5\nactive_file 40000\ninactive_file 60000\n",
                              "sys/fs/cgroup/a/b/memory.max: max\n",
                              "sys/fs/cgroup/a/b/memory.current: 300000\n"}
            << qint64(500000);
        QTest::newRow("version 1, unlimited root")
            << QByteArrayList{"proc/self/cgroup: 5:cpu,memory:/x\n1:pids:/\n",
                              "sys/fs/cgroup/memory/x/memory.limit_in_bytes: 800000\n",
                              "sys/fs/cgroup/memory/x/memory.usage_in_bytes: 500000\n",
                              // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one file
                              "sys/fs/cgroup/memory/x/memory.stat: "
                              "total_active_file 20000\ntotal_inactive_file 30000\n",
                              "sys/fs/cgroup/memory/memory.limit_in_bytes: 9223372036854771712\n",
                              "sys/fs/cgroup/memory/memory.usage_in_bytes: 900000\n"}
            << qint64(350000);
        QTest::newRow("no memory controller")
            << QByteArrayList{"proc/self/cgroup: 1:pids:/\n"} << qint64(-1);
    }
    void limitsAreReadFromTheCgroupHierarchy()
    {
        QFETCH(QByteArrayList, files);
        QFETCH(qint64, room);
        QTemporaryDir root;
        files << "proc/meminfo: MemTotal: 9 kB\nMemAvailable:    2048 kB\n"
              << "proc/self/statm: 1000 20 3\n";
        for (const QByteArray& entry : files) {
            const qsizetype colon = entry.indexOf(": ");
            const QString path = root.filePath(QString::fromUtf8(entry.left(colon)));
            QVERIFY(QDir(root.path()).mkpath(QFileInfo(path).path()));
            QVERIFY(ovrin::test::writeText(path, entry.mid(colon + 2)));
        }
        const MemoryReadings readings = MemoryReadings::read(str(root.path()));
        QCOMPARE(readings.cgroupRoom.value_or(-1), room);
        QCOMPARE(readings.available.value_or(-1), 2048 * 1024);
        QCOMPARE(readings.addressSpaceUsed, 1000 * ::sysconf(_SC_PAGESIZE));
        QVERIFY(!readings.addressSpaceLimit);
    }

    // A decode needing more than the shared part waits until it is alone;
    // past the largest single decode it is refused at once.
    void largeDecodeWaitsToRunAlone()
    {
        ImageLoader::setDecodeBudgetForTesting(100 * 1024 * 1024);
        MemoryReadings readings;
        readings.available = 20 * 1024 * 1024; // 10 MiB at once
        DecodeBudget::fit(readings, 0);
        DecodeBudget::Reservation small;
        QCOMPARE(DecodeBudget::reserve(1024 * 1024, nullptr, small), LoadFailure::None);
        DecodeBudget::Reservation large;
        QCOMPARE(DecodeBudget::reserve(101 * 1024 * 1024, nullptr, large), LoadFailure::TooLarge);
        std::atomic<bool> granted{false};
        std::thread waiter([&] {
            granted = DecodeBudget::reserve(60 * 1024 * 1024, nullptr, large) == LoadFailure::None;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const bool grantedBeside = granted.load();
        small = DecodeBudget::Reservation();
        waiter.join();
        DecodeBudget::unfit();
        QVERIFY(!grantedBeside);
        QVERIFY(granted.load());
    }
};

QObject* makePlatformTests()
{
    return new TestPlatform;
}
#include "tst_platform.moc"
