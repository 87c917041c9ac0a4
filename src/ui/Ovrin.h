#pragma once

#include "engine/ReviewActions.h"
#include "engine/RunSummary.h"
#include "platform/fs/FileManager.h"
#include "settings/WindowSetting.h"
#include "signature/FineSignature.h"
#include "ui/ContextStrip.h"
#include "ui/GroupsDlg.h"
#include "ui/HitListModel.h"
#include "ui/RunBridge.h"
#include "ui/RunReport.h"
#include "ui/TargetCheck.h"

#include <QDir>
#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

class QIcon;
class QMainWindow;
class QMimeData;
class QTranslator;
class QUrl;

namespace Ui {
class MainWindow;
}

namespace ovrin {
class TGraphicSearch;
class TSetting;
struct LookAlikeResult;
struct Review;
} // namespace ovrin

namespace ovrin::ui {

class CompareView;
class GroupTreeModel;
class MarkSet;
class PictureLoader;
class ProtectedFoldersDlg;
class TCreateIndexFileDlg;
class TSearchDlg;
class ThumbnailCache;
struct PictureInfo;

// The application's controller: builds the main window and its dialogs from
// their layouts, owns the engine (through its RunBridge), the hit list, the
// groups and the settings, shows what the bridge hands over from a run and
// carries out every command.
class Ovrin : public QObject {
    Q_OBJECT

public:
    explicit Ovrin(QObject* parent = nullptr);
    ~Ovrin() override;

    QMainWindow* mainWindow() const { return m_window.get(); }
    Ui::MainWindow& widgets() { return *m_ui; }
    TSearchDlg* searchDlg() const { return m_searchDlg; }
    TCreateIndexFileDlg* createIndexFileDlg() const { return m_createIndexFileDlg; }
    GroupsDlg* groupsDlg() const { return m_groupsDlg; }
    // Null until Compare first opens it.
    CompareView* compareView() const { return m_compare; }
    TGraphicSearch& engine() { return *m_gs; }
    RunBridge& bridge() { return *m_bridge; }
    HitListModel* hits() const { return m_hits; }
    GroupTreeModel* groups() const { return m_groups; }
    bool quited() const { return m_quited; }
    // The marks of the hits and of the groups, each kept apart.
    MarkSet* hitMarks() const { return m_hitMarks; }
    MarkSet* groupMarks() const { return m_groupMarks; }
    // What an action works on: the marked pictures of the view shown, or its
    // selection when none is marked.
    struct ActionTargets {
        std::vector<std::string> paths;
        bool marked = false;
    };
    ActionTargets actionTargets() const;
    // Whether a dropped picture is being decoded before it becomes the target.
    bool isCheckingTarget() const;
    // Whether an action or its undo is being carried out.
    bool isActing() const { return m_acting; }

    // The application's icon, drawn at the usual sizes.
    static QIcon icon();
    // The button titles, from the keys "Search" and "Stop".
    static QString searchTitle();
    static QString stopTitle();
    // Our translation for the locale, and Qt's own (buttons, file panels),
    // when they are installed.
    static std::unique_ptr<QTranslator> loadTranslation(const QLocale& locale);
    static std::unique_ptr<QTranslator> loadQtTranslation(const QLocale& locale);

    // A drop of file names on the main window, in drag order.
    void performDragOperation(const QList<QUrl>& urls);
    // What a paste or a drop offers: files are taken as a drop of them, a
    // picture's data is checked off this thread and becomes the target in
    // memory. A paste says why it takes nothing in an alert, a drop in the strip.
    void takeOffered(const QMimeData* data, bool pasted);
    // Files and folders named on the command line, taken like a drop.
    void openArguments(const std::vector<std::string>& arguments, const std::string& workingFolder);

public Q_SLOTS:
    // Ends the application as closing the window does, without asking first
    // (SIGTERM, SIGHUP): a running index creation stops, keeping what was there.
    void quitWithoutAsking();
    void btnSearchAction();
    void doubleClickTvResultAction();
    void menuCreateIndexFileAction();
    void menuSearchAction();
    void menuStopAction();
    // Edit → Paste Target: the clipboard's picture, or the picture file copied there.
    void menuPasteTargetAction();
    void menuOpenGraphicFileAction();
    void menuShowInFolderAction();
    void menuCopyPathsAction();
    void menuMoveToTrashAction();
    void menuMoveToFolderAction();
    void menuHardLinkAction();
    void menuUndoAction();
    void menuExportHitsAction();
    void menuFindGroupsAction();
    void menuSelectMembersAction();
    void menuExportGroupsAction();
    void menuMarkAllButKeptAction();
    void menuUnmarkAllAction();
    void menuInvertMarksAction();
    void menuMarkInFolderAction();
    void menuUnmarkInFolderAction();
    void menuMakeReferenceAction();
    void menuKeepAndNextAction();
    void menuNextGroupAction();
    void menuPreviousGroupAction();
    void menuProtectedFoldersAction();
    // Space in a view: the selected rows (or the current one) are all marked,
    // or all unmarked when every one that can be is marked already.
    void toggleMarksAction();

    ProtectedFoldersDlg* protectedFoldersDlg() const { return m_protectedDlg; }
    void menuSaveReviewAction();
    void menuOpenReviewAction();
    void menuCompareAction();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class RunKind { None, Search, IndexCreation, Groups };
    // What the main area shows: the hits of a search or the groups of a grouping.
    enum class View { Hits, Groups };
    struct RememberedPaths {
        std::optional<std::string> target;
        std::optional<std::string> folder;
        std::optional<std::string> index;
        // The target was a picture in memory: kept as such, with no path.
        bool targetPasted = false;
    };

    // False when the person chose to keep the window open.
    bool windowWillClose();
    bool m_quitWithoutAsking = false;
    void takePaths(const std::vector<std::string>& paths);
    void showTaken(const QStringList& taken, const QStringList& refused, bool targetTaken,
                   const QString& note = {});
    void startRun(RunKind kind, std::vector<std::int16_t> preparedSignature = {},
                  std::optional<FineSignature> preparedFine = std::nullopt);
    void showHits(const std::vector<HitRecord>& batch);
    void showProgress(const std::optional<std::string>& path);
    void endOfRun(RunSummary summary, const std::shared_ptr<const LookAlikeResult>& groups);
    StartResult beginGroups();
    void showView(View view);
    // The status line's counts as the views' rows stand now.
    void refreshSummary();
    // The preview and the strip's picture once rows left or came back.
    void refreshShownPictures();
    void showGone(int slot, const std::string& path);
    StripContext nextSearchContext() const;
    std::optional<std::string> shownTarget() const;
    // The picture in memory the hits view shows as its target, if any.
    std::shared_ptr<const std::vector<std::uint8_t>> shownPicture() const;
    void takePicture(TargetCheck::Picture picture, bool pasted);
    RunReport::GroupingState groupingState() const;
    RunSummary completeSummary(RunSummary summary) const;
    void setButtonTitle(const QString& title);
    void updateActions();
    void updateTitle();
    void refreshContext();
    void requestTargetPreview();
    void previewSelection();
    void previewGroupSelection();
    void requestPreview(int slot, const std::string& path);
    void pictureLoaded(int slot, std::uint64_t ticket, const PictureInfo& info);
    // Hands the compare view, while it is open, the pair the selection names.
    void followCompare();
    std::vector<std::string> selectedPaths() const;
    void rememberPaths();
    std::vector<std::string> windowState() const;
    void restoreWindow();
    // The least width of a path column, beyond its indentation.
    int pathFloor() const;
    void saveWindow();
    void loadGroupsValues();
    bool saveGroupsValues();
    MarkSet* shownMarks() const;
    QModelIndex currentRow() const;
    // Marks or unmarks `paths` in the view shown and says in the status line
    // how many: `one` and `many` count them ("Marked %1 pictures"), `extra`
    // fills their %2, and the pictures under protected folders left unmarked
    // are told after them.
    void markAndReport(const std::vector<std::string>& paths, bool mark, const QString& one = {},
                       const QString& many = {}, const QString& extra = {});
    void report(const QString& text);
    void markFolder(bool mark);
    void stepGroup(int step);
    static QString reviewFilter();
    // A review read and checked away from the UI thread comes here; it is
    // dropped when a run started meanwhile.
    void reviewRead(std::uint64_t generation, const QString& path,
                    const std::shared_ptr<Review>& review, int problem, int error,
                    const std::vector<std::string>& leftOut);
    // Why a review file was refused, from ReviewFile::Problem and the system's error number.
    static QString reviewProblem(int problem, int error);
    void act(ActionKind kind);
    // Where Move to Folder keeps paths relative to, for the view shown.
    std::string actionRoot() const;
    void startJournal(std::function<ActionReport()> work, const QString& busy);
    void actionEnded(const ActionReport& report);
    void stopActing();

    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    TCreateIndexFileDlg* m_createIndexFileDlg = nullptr;
    TSearchDlg* m_searchDlg = nullptr;
    GroupsDlg* m_groupsDlg = nullptr;
    ProtectedFoldersDlg* m_protectedDlg = nullptr;
    RunBridge* m_bridge = nullptr;
    std::shared_ptr<TGraphicSearch> m_gs;
    HitListModel* m_hits = nullptr;
    GroupTreeModel* m_groups = nullptr;
    MarkSet* m_hitMarks = nullptr;
    MarkSet* m_groupMarks = nullptr;
    std::unique_ptr<TSetting> m_setting;
    std::unique_ptr<TSetting> m_settingSaved;
    bool m_quited = false;

    // Paths kept for the next start: those a run started with or a drop took,
    // never a dialog's that the engine then refused.
    RememberedPaths m_remembered;
    // The window's own keys in the settings store, as loaded.
    std::vector<std::pair<windowsetting::State, std::string>> m_windowKeys;

    // The grouping's own values: as the dialog left them, as a run last
    // started with them (kept for the next start), and as loaded.
    GroupsRequest m_groupsValues;
    GroupsRequest m_groupsStarted;
    GroupsRequest m_groupsLoaded;
    // Where review panels start: where the last review was saved or opened.
    QString m_reviewFolder = QDir::homePath();
    std::thread m_reviewReader;
    bool m_readingReview = false;

    RunKind m_runKind = RunKind::None;
    View m_view = View::Hits;
    // The runs whose results the views show: their settings as they started
    // (what the strip shows with them; none before a search), and how they
    // ended, for the status line, which follows the rows as they leave and
    // come back. The next run's values show once a run has taken them.
    std::optional<StripContext> m_hitsRun;
    GroupsRequest m_groupsRun;
    std::optional<RunSummary> m_hitsSummary;
    std::optional<RunSummary> m_groupsSummary;
    std::optional<RunReport::GroupingState> m_groupsStop;
    std::int64_t m_groupsPictures = -1;
    // Whose summary the status line shows; none while a run goes on or after
    // an index creation.
    // The pictures an action under way, and the one an undo would take back,
    // worked on as marked.
    std::set<std::string> m_actingMarked;
    std::set<std::string> m_journalMarked;
    std::optional<View> m_summaryOf;
    // Pictures an opened review left out as changed; -1 while the groups
    // shown come from a grouping.
    std::int64_t m_reviewLeftOut = -1;
    RunSummary::Kind m_summaryKind = RunSummary::Kind::FolderSearch;
    bool m_starting = false;
    QElapsedTimer m_runClock;

    // The journal of the window's actions, which works on m_actionThread;
    // the view and kind of its last action, whose undo puts the rows back.
    ActionJournal m_journal;
    std::thread m_actionThread;
    std::atomic<bool> m_actionProceed{true};
    bool m_acting = false;
    View m_journalView = View::Hits;
    View m_actingView = View::Hits;
    ActionKind m_journalKind = ActionKind::Trash;
    std::string m_lastDestination;
    // The hits' search: its target, and its folder when it searched one.
    std::string m_hitsTarget;
    std::optional<std::string> m_hitsFolder;

    TargetCheck* m_targetCheck = nullptr;
    // What the drop being checked took besides its target.
    QStringList m_dropTaken;
    QStringList m_dropRefused;
    // The check under way is of a pasted picture rather than a drop.
    bool m_checkingPasted = false;
    // Whether the clipboard offers anything at all, as of its last change.
    bool m_clipboardHolds = false;
    // The last picture taken from data, and its size, for the strip.
    std::shared_ptr<const std::vector<std::uint8_t>> m_pasted;
    QSize m_pastedSize;
    PictureLoader* m_previews = nullptr;
    ThumbnailCache* m_thumbnails = nullptr;
    // Slots of the preview loader: the pane's two sides, and the target's
    // small picture in the strip while the pane shows groups.
    static constexpr int kStripSlot = 2;
    std::uint64_t m_previewTickets[3] = {0, 0, 0};
    CompareView* m_compare = nullptr;
    // Its geometry as the store had it, or as restored from there.
    std::string m_compareGeometry;
    // What each slot shows or is loading; the target's, in the hits view.
    std::string m_previewPaths[3];
    // Whether a slot says its picture is gone, which stays until it shows another.
    bool m_gone[3] = {false, false, false};
};

} // namespace ovrin::ui
