#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QPushButton;

namespace ovrin::ui {

// The folders whose pictures can never be marked, edited as a list: folders
// are added from a panel and removed one by one, kept as raw paths.
class ProtectedFoldersDlg : public QDialog {
    Q_OBJECT

public:
    explicit ProtectedFoldersDlg(QWidget* parent = nullptr);

    void setFolders(const std::vector<std::string>& folders);
    std::vector<std::string> folders() const;
    QListWidget* list() const { return m_list; }

public Q_SLOTS:
    void addAction();
    void removeAction();

private:
    QListWidget* m_list = nullptr;
    QPushButton* m_remove = nullptr;
};

} // namespace ovrin::ui
