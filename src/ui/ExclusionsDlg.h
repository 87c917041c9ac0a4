#pragma once

#include "engine/Exclusions.h"
#include "settings/ExclusionSetting.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace ovrin {
class TGraphicSearch;
}

namespace ovrin::ui {

// The folders and name patterns left out of every search, index creation and
// grouping the window starts: a list of folders and one pattern a line.
class ExclusionsDlg : public QDialog {
    Q_OBJECT

public:
    explicit ExclusionsDlg(QWidget* parent = nullptr);

    void setup(const ExclusionSetting& values);
    // Yes only when confirmed with patterns that can match a name.
    bool doModal();
    const ExclusionSetting& values() const { return m_values; }

    // The exclusions kept in the settings, as the engine takes them.
    static Exclusions stored();
    // Shows the kept exclusions; confirmed, they are kept and the engine's
    // runs take them from their next start.
    static void edit(QWidget* parent, TGraphicSearch& engine);

    QListWidget* folderList() const { return m_folders; }
    QPlainTextEdit* patternField() const { return m_patterns; }

public Q_SLOTS:
    void okAction();
    void addFolderAction();
    void removeFolderAction();

private:
    std::vector<std::string> folders() const;
    QListWidgetItem* addItem(const std::string& folder);

    QListWidget* m_folders;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPlainTextEdit* m_patterns;
    ExclusionSetting m_values;
    bool m_result = false;
};

} // namespace ovrin::ui
