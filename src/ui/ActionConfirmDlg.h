#pragma once

#include "engine/ReviewActions.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QTreeWidget;
class QPushButton;

namespace ovrin::ui {

// What the confirmation of an action shows: the question, what will happen,
// the pictures it will act on with their total size, and those its rules
// leave as they are, each with the reason.
struct ActionConfirmation {
    ActionKind kind = ActionKind::Trash;
    QString question; // says how many and whether marked or selected
    QString effect;
    QString actingTitle;  // "3 pictures, 4.2 MB in all:"
    QString refusedTitle; // empty when nothing is refused beforehand
    QString actionText;   // the button that acts
    struct Entry {
        std::string path;
        QString reason; // for the refused
    };
    std::vector<Entry> acting;
    std::vector<Entry> refused;
    // Whether Enter acts; otherwise Cancel is the default button.
    bool enterActs = true;
    // The request that will be performed, for tests to read.
    const ActionRequest* request = nullptr;
};

class ActionConfirmDlg : public QDialog {
    Q_OBJECT

public:
    explicit ActionConfirmDlg(const ActionConfirmation& confirmation, QWidget* parent = nullptr);

    QTreeWidget* actingList() const { return m_acting; }
    QListWidget* refusedList() const { return m_refused; }
    QPushButton* actionButton() const { return m_action; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    QTreeWidget* m_acting = nullptr;
    QListWidget* m_refused = nullptr;
    QPushButton* m_action = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace ovrin::ui
