#pragma once

#include "engine/TGraphicSearchCallback.h"

#include <QObject>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class QMainWindow;
class QTranslator;
class QUrl;

namespace Ui {
class MainWindow;
}

namespace ovrin {
class TGraphicSearch;
class TSetting;
} // namespace ovrin

namespace ovrin::ui {

class HitListModel;
class TCreateIndexFileDlg;
class TSearchDlg;

// The application's controller: builds the main window and both dialogs from
// their layouts, owns the engine, the hit list and the settings, receives the
// engine's callbacks and carries out every command. Callbacks arrive on the
// worker thread and are handed to the UI thread without waiting for it.
class Ovrin : public QObject, public TGraphicSearchCallback {
    Q_OBJECT

public:
    explicit Ovrin(QObject* parent = nullptr);
    ~Ovrin() override;

    QMainWindow* mainWindow() const { return m_window.get(); }
    Ui::MainWindow& widgets() { return *m_ui; }
    TSearchDlg* searchDlg() const { return m_searchDlg; }
    TCreateIndexFileDlg* createIndexFileDlg() const { return m_createIndexFileDlg; }
    TGraphicSearch& engine() { return *m_gs; }
    HitListModel* hits() const { return m_hits; }
    bool quited() const { return m_quited; }

    // The button titles, from the keys "Search" and "Stop".
    static QString searchTitle();
    static QString stopTitle();
    // Installs the translation for the locale, when one is shipped.
    static std::unique_ptr<QTranslator> loadTranslation(const QLocale& locale);

    void hitItemCallback(const std::shared_ptr<TFileInfo>& info) override;
    void progressCallback(const std::shared_ptr<TFileInfo>& info) override;
    void searchEndCallback() override;

    // A drop of file names on the main window, in drag order.
    void performDragOperation(const QList<QUrl>& urls);

public Q_SLOTS:
    void btnSearchAction();
    void doubleClickTvResultAction();
    void menuCreateIndexFileAction();
    void menuSearchAction();
    void menuStopAction();
    void menuOpenGraphicFileAction();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowWillClose();
    void showStatus();
    void endOfRun();
    void setButtonTitle(const QString& title);

    std::unique_ptr<Ui::MainWindow> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    TCreateIndexFileDlg* m_createIndexFileDlg = nullptr;
    TSearchDlg* m_searchDlg = nullptr;
    std::shared_ptr<TGraphicSearch> m_gs;
    HitListModel* m_hits = nullptr;
    std::unique_ptr<TSetting> m_setting;
    std::unique_ptr<TSetting> m_settingSaved;
    bool m_quited = false;
    bool m_indexRunning = false;

    // The latest path the worker reported; one status update is pending at a
    // time however fast files go by.
    std::mutex m_statusLock;
    std::optional<QString> m_pendingStatus;
};

} // namespace ovrin::ui
