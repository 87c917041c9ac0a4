#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TCreateIndexFileDlg;
}

namespace ovrin {
class TGraphicSearch;
}

namespace ovrin::ui {

// The modal dialog that names the folder to index and the index file to write.
class TCreateIndexFileDlg : public QDialog {
    Q_OBJECT

public:
    explicit TCreateIndexFileDlg(QWidget* parent = nullptr);
    ~TCreateIndexFileDlg() override;

    void setup(TGraphicSearch* engine);
    bool doModal();

    Ui::TCreateIndexFileDlg& widgets() { return *m_ui; }

public Q_SLOTS:
    void okAction();
    void cancelAction();
    void indexFilePathRefAction();
    void topDirPathRefAction();

private:
    std::unique_ptr<Ui::TCreateIndexFileDlg> m_ui;
    TGraphicSearch* m_gs = nullptr;
    bool m_result = false;
};

} // namespace ovrin::ui
