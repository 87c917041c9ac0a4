#pragma once

#include "engine/TGraphicSearch.h"
#include "signature/FineSignature.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;

namespace Ui {
class GroupsDlg;
}

namespace ovrin::ui {

// The modal dialog that sets up a grouping. Like the search dialog it checks
// the numbers and the folder or index file and says why it refuses; it
// touches no engine, so the search settings stay as they were.
class GroupsDlg : public QDialog {
    Q_OBJECT

public:
    explicit GroupsDlg(QWidget* parent = nullptr);
    ~GroupsDlg() override;

    void setup(const GroupsRequest& values);
    // Yes only when confirmed with values that passed every check.
    bool doModal();
    const GroupsRequest& values() const { return m_values; }

    Ui::GroupsDlg& widgets() { return *m_ui; }

    // The choices as the dialog names them.
    static QString similarityText(Similarity similarity);
    static QString keepText(KeepRule rule);

public Q_SLOTS:
    void okAction();
    void cancelAction();
    void indexFilePathRefAction();
    void topDirPathRefAction();
    void preferredAddAction();
    void preferredRemoveAction();

private:
    void showNotes();
    std::vector<std::string> preferredFolders() const;
    std::optional<int> number(QComboBox* field, int low, int high, const QString& problem);

    std::unique_ptr<Ui::GroupsDlg> m_ui;
    GroupsRequest m_values;
    bool m_result = false;
};

} // namespace ovrin::ui
