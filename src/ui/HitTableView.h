#pragma once

#include <QTableView>

namespace ovrin::ui {

// The results table: shows a short hint while it is empty, and opens the
// selection on Enter.
class HitTableView : public QTableView {
    Q_OBJECT

public:
    explicit HitTableView(QWidget* parent = nullptr);

    void setPlaceholderText(const QString& text);
    QString placeholderText() const { return m_placeholder; }

    // What every results view, the groups view too, does with keys and while
    // it is empty: Enter alone opens the selection; the menu key and
    // Shift+F10 show the view's actions at the current row (true: shown).
    static bool isOpenKey(const QKeyEvent* event);
    static bool isMarkKey(const QKeyEvent* event);
    static bool menuKey(QAbstractItemView* view, QKeyEvent* event);
    static void paintPlaceholder(QAbstractItemView* view, const QString& text);

Q_SIGNALS:
    void openRequested();
    // Space: the marks of the selected rows, or of the current one, turn.
    void markToggleRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_placeholder;
};

} // namespace ovrin::ui
