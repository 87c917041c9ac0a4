#include "engine/ReviewActions.h"
#include "engine/tests/EngineTestSupport.h"
#include "platform/fs/FileManager.h"
#include "signature/TFileInfo.h"

#include <filesystem>
#include <map>

using namespace ovrin;
using namespace ovrin::test;
using platform::FileManager;

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

// A scene with its own trash.
struct Scene {
    QTemporaryDir dir;
    std::string root = str(dir.path());
    QByteArray savedData = qgetenv("XDG_DATA_HOME");
    QTemporaryDir shm{QStringLiteral("/dev/shm/ovrin-actions-XXXXXX")};

    Scene() { qputenv("XDG_DATA_HOME", QByteArray::fromStdString(root + "/data")); }
    ~Scene()
    {
        savedData.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", savedData);
    }
    std::string image(const std::string& relative, quint32 seed)
    {
        std::string path = root + "/" + relative;
        QDir().mkpath(QString::fromStdString(FileManager::folderOf(path)));
        writeImage(QString::fromStdString(path), photoLike(40, 30, seed), "png");
        return path;
    }
    std::string trash() const { return root + "/data/Trash"; }
    // A folder on another file system than the scene's; empty where there is none.
    std::string otherFileSystem()
    {
        struct stat a {
        }, b{};
        return shm.isValid() && ::stat(shm.path().toUtf8(), &a) == 0 &&
                       ::stat(root.c_str(), &b) == 0 && a.st_dev != b.st_dev
                   ? str(shm.path())
                   : std::string();
    }
    // Every file of the scene, trash and destinations included, with its bytes.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
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

ActionRequest group(ActionKind kind, const std::vector<std::string>& items,
                    const std::vector<std::string>& kept)
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
        QTest::addColumn<ActionRefusal>("refusal");
        // What the refusal names, below the scene ("kept": the kept copy).
        QTest::addColumn<std::string>("detail");
        const auto row = [](const char* kind, ActionRefusal refusal, const char* detail = "") {
            QTest::newRow(kind) << refusal << std::string(detail);
        };
        row("target by another name", ActionRefusal::Target, "pics/sub/../sub/b.png");
        row("protected", ActionRefusal::Protected, "pics/sub");
        row("protected by its real place", ActionRefusal::Protected, "alias");
        row("last of its group", ActionRefusal::LastOfGroup);
        row("kept copy asked for too", ActionRefusal::LastOfGroup);
        row("kept copy rewritten", ActionRefusal::LastOfGroup);
        row("link to the kept copy", ActionRefusal::Alias, "kept");
        row("hard link of the kept copy", ActionRefusal::Alias, "kept");
        row("missing", ActionRefusal::Missing);
        row("changed stamp", ActionRefusal::Changed);
        row("another picture's signature", ActionRefusal::NotThePicture);
        row("text file", ActionRefusal::NotThePicture);
        row("never examined", ActionRefusal::NotExamined);
        row("destination taken", ActionRefusal::Occupied, "pics/to/sub/b.png");
        row("kept copy changed", ActionRefusal::Changed, "kept");
        row("kept copy on another file system", ActionRefusal::OtherFileSystem, "kept");
        row("stopped", ActionRefusal::Stopped);
    }
    void refusalsLeaveEveryFileAsItWas()
    {
        const std::string kind = QTest::currentDataTag();
        QFETCH(ActionRefusal, refusal);
        QFETCH(std::string, detail);
        Scene scene;
        std::string kept = scene.image("pics/kept.png", 1);
        std::string item = scene.image("pics/sub/b.png", 2);
        ActionRequest request = group(ActionKind::Trash, {item}, {kept});
        ExaminedPicture& picture = request.items[0].picture;
        std::atomic<bool> proceed = true;
        if (kind == "target by another name") {
            request.target = scene.root + "/pics/sub/../sub/b.png";
        } else if (kind.starts_with("protected")) {
            request.protectedFolders = {scene.root + "/pics/su", scene.root + "/pics/sub"};
            if (kind.ends_with("place")) {
                QCOMPARE(::symlink("pics/sub", (scene.root + "/alias").c_str()), 0);
                request.protectedFolders = {scene.root + "/alias"};
            }
        } else if (kind == "last of its group") {
            request.kept[0].clear();
        } else if (kind == "kept copy rewritten") {
            request.kept[0][0].stamp->size += 1;
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
            scene.image("pics/to/sub/b.png", 3);
        } else if (kind == "kept copy changed") {
            request.kind = ActionKind::HardLink;
            request.kept[0][0].stamp->size += 1;
        } else if (kind == "kept copy on another file system") {
            if (scene.otherFileSystem().empty())
                QSKIP("/dev/shm is not another file system here");
            kept = scene.otherFileSystem() + "/kept.png";
            writeImage(QString::fromStdString(kept), photoLike(40, 30, 1), "png");
            request.kind = ActionKind::HardLink;
            request.kept[0][0] = examined(kept);
        } else if (kind == "stopped") {
            proceed = false;
        }
        const auto before = scene.files();
        ActionJournal journal;
        const ActionReport report = journal.perform(request, &proceed);
        QCOMPARE(report.done.size(), 0u);
        QVERIFY(!report.refused.empty());
        QCOMPARE(report.refused.back().refusal, refusal);
        QCOMPARE(report.refused.back().detail, detail == "kept" ? kept
                                               : detail.empty() ? detail
                                                                : scene.root + "/" + detail);
        QVERIFY(!journal.canUndo());
        QCOMPARE(scene.files(), before);
    }

    void trashThenUndoTwiceWhereAPathWasTaken()
    {
        Scene scene;
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string b = scene.image("pics/b.png", 2);
        const std::string c = scene.image("pics/sub/c.png", 3);
        const auto before = scene.files();
        ActionJournal journal;
        ActionReport report = journal.perform(group(ActionKind::Trash, {b, c}, {kept}));
        QCOMPARE(report.done.size(), 2u);
        QCOMPARE(report.done[1].placedAt, scene.trash() + "/files/c.png");
        QCOMPARE(bytesOf(scene.trash() + "/files/c.png"), before.at(c));
        // A perform that does nothing leaves the journal to undo.
        QCOMPARE(journal.perform(group(ActionKind::Trash, {kept}, {})).done.size(), 0u);

        QVERIFY(writeText(QString::fromStdString(b), "newcomer"));
        report = journal.undo();
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(report.refused.at(0).refusal, ActionRefusal::Occupied);
        QCOMPARE(bytesOf(b), std::string("newcomer"));
        QCOMPARE(bytesOf(c), before.at(c));
        QVERIFY(journal.canUndo());
        QVERIFY(QFile::remove(QString::fromStdString(b)));
        QCOMPARE(journal.undo().done.size(), 1u);
        QVERIFY(!journal.canUndo());
        QCOMPARE(scene.files(), before); // the records are gone with the files
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
        if (otherFileSystem && scene.otherFileSystem().empty())
            QSKIP("/dev/shm is not another file system here");
        const std::string to = (otherFileSystem ? scene.otherFileSystem() : scene.root) + "/to";
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string below = scene.image("pics/sub/b.png", 2);
        const std::string beside = scene.image("c.png", 3);
        const auto before = scene.files();
        ActionRequest request = group(ActionKind::MoveToFolder, {below, beside}, {kept});
        request.destination = to;
        request.root = scene.root + "/pics";
        ActionJournal journal;
        const ActionReport report = journal.perform(request);
        QCOMPARE(report.done.size(), 2u);
        QCOMPARE(report.done[0].placedAt, to + "/sub/b.png");
        QCOMPARE(bytesOf(to + "/sub/b.png"), before.at(below));
        QCOMPARE(bytesOf(to + "/c.png"), before.at(beside));
        QCOMPARE(QDir(QString::fromStdString(to)).entryList(QDir::Hidden | QDir::Files),
                 QStringList{QStringLiteral("c.png")}); // no partial copy left
        QVERIFY(!QFileInfo::exists(QString::fromStdString(below)));

        QCOMPARE(journal.undo().done.size(), 2u);
        QCOMPARE(scene.files(), before);
        QVERIFY(!QFileInfo::exists(QString::fromStdString(to + "/c.png")));
    }

    void hardLinkThenUndo()
    {
        Scene scene;
        const std::string kept = scene.image("pics/kept.png", 1);
        const std::string b = scene.image("pics/sub/b.png", 2);
        const ino_t original = inodeOf(b);
        const auto before = scene.files();
        ActionJournal journal;
        const ActionReport report = journal.perform(group(ActionKind::HardLink, {b}, {kept}));
        QCOMPARE(report.done.size(), 1u);
        QCOMPARE(inodeOf(b), inodeOf(kept));
        QCOMPARE(report.done[0].placedAt, scene.trash() + "/files/b.png");
        QCOMPARE(inodeOf(report.done[0].placedAt), original);

        QCOMPARE(journal.undo().done.size(), 1u);
        QCOMPARE(inodeOf(b), original);
        QCOMPARE(scene.files(), before); // nothing put aside is left behind
        struct stat st {};
        QCOMPARE(::stat(kept.c_str(), &st), 0);
        QCOMPARE(st.st_nlink, nlink_t(1));

        // With the kept copy gone meanwhile, the link is all that is left of it.
        QCOMPARE(journal.perform(group(ActionKind::HardLink, {b}, {kept})).done.size(), 1u);
        QVERIFY(QFile::remove(QString::fromStdString(kept)));
        const ActionReport undone = journal.undo();
        QCOMPARE(undone.refused.size(), 1u);
        QCOMPARE(undone.refused[0].refusal, ActionRefusal::LastOfGroup);
        QCOMPARE(::stat(b.c_str(), &st), 0);
        QVERIFY(st.st_ino != original);
    }
};

QObject* makeActionsTests()
{
    return new TestActions;
}

#include "tst_actions.moc"
