#pragma once

#include <QTreeView>

namespace ovrin::ui {

// The groups view: each group's reference with its members beneath; like the
// hits table it opens the selection on Enter, shows its menu from the
// keyboard and a short hint while it is empty.
class GroupTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit GroupTreeView(QWidget* parent = nullptr);

    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return m_placeholder; }
    // The space that selects the current row searches nothing: no row's text
    // begins with one, so the search would pass every row of the tree.
    void keyboardSearch(const QString& search) override;
    void setModel(QAbstractItemModel* model) override;

Q_SIGNALS:
    void openRequested();
    // Space: the marks of the selected rows, or of the current one, turn.
    void markToggleRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void mergeSelection();

    QString m_placeholder;
};

} // namespace ovrin::ui
