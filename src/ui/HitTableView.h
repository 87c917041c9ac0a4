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

Q_SIGNALS:
    void openRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_placeholder;
};

} // namespace ovrin::ui
