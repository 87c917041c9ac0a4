#include "engine/ReviewActions.h"
#include "engine/tests/EngineTestSupport.h"
#include "signature/TFileInfo.h"

#include <filesystem>
#include <map>

using namespace ovrin;
using namespace ovrin::test;

namespace {

std::string bytesOf(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(none)");
}

ino_t inodeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A scene with its own home, so that the trash lies in it.
struct Scene {
    QTemporaryDir dir;
    std::string root = str(dir.path());
    QByteArray savedHome = qgetenv("HOME");
    QByteArray savedData = qgetenv("XDG_DATA_HOME");

    Scene()
    {
        qputenv("HOME", QByteArray::fromStdString(root + "/home"));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root + "/data"));
        QDir(dir.path()).mkpath(QStringLiteral("pics/sub"));
    }
    ~Scene()
    {
        qputenv("HOME", savedHome);
        savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
    }
    std::string image(const std::string& relative, quint32 seed)
    {
        const std::string path = root + "/" + relative;
        writeImage(QString::fromStdString(path), photoLike(40, 30, seed), "png");
        return path;
    }
    std::string trash() const { return root + "/data/Trash"; }
    // Every file below the scene's pictures with its bytes.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root + "/pics"))
            if (!entry.is_directory())
                found[entry.path().string()] = bytesOf(entry.path().string());
        return found;
    }
};

ExaminedPicture examined(const std::string& path)
{
    TFileInfo info(path);
    info.loadThumbnail(8);
    return {path, currentStamp(path), info.thumbnail(), 8};
}

ActionRequest group(ActionKind kind, std::vector<std::string> items, std::vector<std::string> kept)
{
    ActionRequest request;
    request.kind = kind;
    for (const std::string& path : items)
        request.items.push_back({examined(path), 0});
    request.kept.emplace_back();
    for (const std::string& path : kept)
        request.kept[0].push_back(examined(path));
    return request;
}

} // namespace

class TestActions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusalsLeaveEveryFileAsItWas_data()
    {
        QTest::addColumn<QString>("kindText");
        QTest::addColumn<ActionRefusal>("refusal");
        // What the refusal names, below the scene ("kept": the kept copy).
        QTest::addColumn<QString>("detail");
        const auto row = [](const char* kind, ActionRefusal refusal, const char* detail = "") {
            QTest::newRow(kind) << QString::fromLatin1(kind) << refusal
                                << QString::fromLatin1(detail);
        };
        row("target", ActionRefusal::Target);
        row("target by another name", ActionRefusal::Target, "pics/sub/../sub/b.png");
        row("protected", ActionRefusal::Protected, "pics/sub");
        row("protected by its real place", ActionRefusal::Protected, "alias");
        row("last of its group", ActionRefusal::LastOfGroup);
        row("kept copy asked for too", ActionRefusal::LastOfGroup);
        row("link to the kept copy", ActionRefusal::Alias, "kept");
        row("hard link of the kept copy", ActionRefusal::Alias, "kept");
        row("missing", ActionRefusal::Missing);
        row("changed stamp", ActionRefusal::Changed);
        row("another picture's signature", ActionRefusal::NotThePicture);
        row("text file", ActionRefusal::NotThePicture);
        row("never examined", ActionRefusal::NotExamined);
        row("destination taken", ActionRefusal::Occupied, "pics/to/sub/b.png");
        row("kept copy changed", ActionRefusal::Changed, "kept");
        row("stopped", ActionRefusal::Stopped);
    }
    void refusalsLeaveEveryFileAsItWas()
    {
        QFETCH(QString, kindText);
        const std::string kind = str(kindText);
        QFETCH(ActionRefusal, refusal);
        QFETCH(QString, detail);
        Scene scene;
        const std::string kept = scene.image("pics/kept.png", 1);
        std::string item = scene.image("pics/sub/b.png", 2);
        ActionRequest request = group(ActionKind::Trash, {item}, {kept});
        ExaminedPicture& picture = request.items[0].picture;
        std::atomic<bool> proceed = true;
        if (kind == "target") {
            request.target = item;
        } else if (kind == "target by another name") {
            request.target = scene.root + "/pics/sub/../sub/b.png";
        } else if (kind.starts_with("protected")) {
            request.protectedFolders = {scene.root + "/pics/su", scene.root + "/pics/sub"};
            if (kind.ends_with("place")) {
                QCOMPARE(::symlink("pics/sub", (scene.root + "/alias").c_str()), 0);
                request.protectedFolders = {scene.root + "/alias"};
            }
        } else if (kind == "last of its group") {
            request.kept[0].clear();
        } else if (kind == "kept copy asked for too") {
            request.items.push_back({examined(kept), 0});
        } else if (kind.find("link") != std::string::npos) {
            item = scene.root + "/pics/sub/l.png";
            QCOMPARE(kind.starts_with("hard") ? ::link(kept.c_str(), item.c_str())
                                              : ::symlink(kept.c_str(), item.c_str()),
                     0);
            picture = examined(item);
        } else if (kind == "missing") {
            QVERIFY(QFile::remove(QString::fromStdString(item)));
        } else if (kind == "changed stamp") {
            picture.stamp->modifiedNs -= 1'000'000'000;
        } else if (kind == "another picture's signature") {
            picture.signature = examined(kept).signature;
        } else if (kind == "text file") {
            QVERIFY(writeText(QString::fromStdString(item), "not a picture"));
            picture.stamp = currentStamp(item);
        } else if (kind == "never examined") {
            picture.signature.clear();
        } else if (kind == "destination taken") {
            request.kind = ActionKind::MoveToFolder;
            request.destination = scene.root + "/pics/to";
            request.root = scene.root + "/pics";
            QDir(scene.dir.path()).mkpath(QStringLiteral("pics/to/sub"));
            scene.image("pics/to/sub/b.png", 3);
        } else if (kind == "kept copy changed") {
            request.kind = ActionKind::HardLink;
            request.kept[0][0].stamp->size += 1;
        } else if (kind == "stopped") {
            proceed = false;
        }
        const auto before = scene.files();
        ActionJournal journal;
        const ActionReport report = journal.perform(request, &proceed);
        QCOMPARE(report.done.size(), 0u);
        QVERIFY(!report.refused.empty());
        QCOMPARE(report.refused.back().refusal, refusal);
        const std::string named = str(detail);
        QCOMPARE(report.refused.back().detail, named == "kept" ? kept
                                               : named.empty() ? named
                                                               : scene.root + "/" + named);
        QVERIFY(!journal.canUndo());
        QCOMPARE(scene.files(), before);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(scene.trash() + "/files")) ||
                QDir(QString::fromStdString(scene.trash() + "/files")).isEmpty());
    }

    void trashThenUndoTwiceWhereAPathWasTaken()
    {
        Scene scene;
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string b = scene.image("pics/b.png", 2);
        const std::string c = scene.image("pics/sub/c.png", 3);
        const std::string bBytes = bytesOf(b), cBytes = bytesOf(c);
        ActionJournal journal;
        ActionReport report = journal.perform(group(ActionKind::Trash, {b, c}, {kept}));
        QCOMPARE(report.done.size(), 2u);
        QCOMPARE(report.done[1].placedAt, scene.trash() + "/files/c.png");
        QCOMPARE(bytesOf(scene.trash() + "/files/c.png"), cBytes);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(c)));
        // A perform that does nothing leaves the journal to undo.
        QCOMPARE(journal.perform(group(ActionKind::Trash, {kept}, {})).done.size(), 0u);
        QVERIFY(journal.canUndo());

        QVERIFY(writeText(QString::fromStdString(b), "newcomer"));
        report = journal.undo();
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(report.done[0].path, c);
        QCOMPARE(report.refused.size(), 1u);
        QCOMPARE(report.refused[0].refusal, ActionRefusal::Occupied);
        QCOMPARE(bytesOf(b), std::string("newcomer"));
        QCOMPARE(bytesOf(c), cBytes);
        QVERIFY(
            !QFileInfo::exists(QString::fromStdString(scene.trash() + "/info/c.png.trashinfo")));
        QVERIFY(journal.canUndo());

        QVERIFY(QFile::remove(QString::fromStdString(b)));
        report = journal.undo();
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(bytesOf(b), bBytes);
        QVERIFY(!journal.canUndo());
        QVERIFY(QDir(QString::fromStdString(scene.trash() + "/info")).isEmpty());
    }

    void moveToFolderThenUndo_data()
    {
        QTest::addColumn<bool>("otherFileSystem");
        QTest::newRow("same file system") << false;
        QTest::newRow("other file system") << true;
    }
    void moveToFolderThenUndo()
    {
        QFETCH(bool, otherFileSystem);
        Scene scene;
        QTemporaryDir shm(QStringLiteral("/dev/shm/ovrin-actions-XXXXXX"));
        std::string destination = scene.root + "/moved";
        if (otherFileSystem) {
            struct stat a {
            }, b{};
            if (!shm.isValid() || ::stat(shm.path().toUtf8(), &a) != 0 ||
                ::stat(scene.root.c_str(), &b) != 0 || a.st_dev == b.st_dev)
                QSKIP("/dev/shm is not another file system here");
            destination = str(shm.path()) + "/moved";
        }
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string below = scene.image("pics/sub/b.png", 2);
        const std::string beside = scene.image("c.png", 3);
        const auto before = scene.files();
        const std::string besideBytes = bytesOf(beside);
        ActionRequest request = group(ActionKind::MoveToFolder, {below, beside}, {kept});
        request.destination = destination;
        request.root = scene.root + "/pics";
        ActionJournal journal;
        ActionReport report = journal.perform(request);
        QCOMPARE(report.done.size(), 2u);
        QCOMPARE(report.done[0].placedAt, destination + "/sub/b.png");
        QCOMPARE(report.done[1].placedAt, destination + "/c.png");
        QCOMPARE(bytesOf(destination + "/sub/b.png"), before.at(below));
        QCOMPARE(bytesOf(destination + "/c.png"), besideBytes);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(below)));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(beside)));
        QCOMPARE(QDir(QString::fromStdString(destination)).entryList(QDir::Hidden | QDir::Files),
                 QStringList{QStringLiteral("c.png")}); // no partial copy left

        report = journal.undo();
        QCOMPARE(report.done.size(), 2u);
        QCOMPARE(scene.files(), before);
        QCOMPARE(bytesOf(beside), besideBytes);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(destination + "/c.png")));
    }

    void hardLinkThenUndo()
    {
        Scene scene;
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string b = scene.image("pics/sub/b.png", 2);
        const ino_t original = inodeOf(b);
        const std::string bytes = bytesOf(b);
        ActionJournal journal;
        ActionReport report = journal.perform(group(ActionKind::HardLink, {b}, {kept}));
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(inodeOf(b), inodeOf(kept));
        QCOMPARE(report.done[0].placedAt, scene.trash() + "/files/b.png");
        QCOMPARE(inodeOf(report.done[0].placedAt), original);

        report = journal.undo();
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(inodeOf(b), original);
        QCOMPARE(bytesOf(b), bytes);
        struct stat st {};
        QCOMPARE(::stat(kept.c_str(), &st), 0);
        QCOMPARE(st.st_nlink, nlink_t(1));
        QCOMPARE(QDir(QString::fromStdString(scene.root + "/pics/sub"))
                     .entryList(QDir::Hidden | QDir::Files),
                 QStringList{QStringLiteral("b.png")});
    }

    void hardLinkAcrossFileSystemsIsRefused()
    {
        Scene scene;
        QTemporaryDir shm(QStringLiteral("/dev/shm/ovrin-actions-XXXXXX"));
        struct stat a {
        }, b{};
        if (!shm.isValid() || ::stat(shm.path().toUtf8(), &a) != 0 ||
            ::stat(scene.root.c_str(), &b) != 0 || a.st_dev == b.st_dev)
            QSKIP("/dev/shm is not another file system here");
        const std::string kept = str(shm.path()) + "/kept.png";
        writeImage(QString::fromStdString(kept), photoLike(40, 30, 1), "png");
        const std::string item = scene.image("pics/b.png", 2);
        const auto before = scene.files();
        ActionJournal journal;
        const ActionReport report = journal.perform(group(ActionKind::HardLink, {item}, {kept}));
        QCOMPARE(report.refused.size(), 1u);
        QCOMPARE(report.refused[0].refusal, ActionRefusal::OtherFileSystem);
        QCOMPARE(report.refused[0].detail, kept);
        QCOMPARE(scene.files(), before);
        QVERIFY(!journal.canUndo());
    }
};

QObject* makeActionsTests()
{
    return new TestActions;
}

#include "tst_actions.moc"
