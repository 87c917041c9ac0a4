#pragma once

#include "settings/SearchParameters.h"

#include <QFrame>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace ovrin::ui {

// What the next or current run works with, as the engine holds it.
struct StripContext {
    std::optional<std::string> target;
    // A target held in memory (pasted, or dropped as data) in place of
    // `target`: its encoded bytes and its size in pixels (invalid: unknown).
    std::shared_ptr<const std::vector<std::uint8_t>> picture;
    QSize pictureSize;
    std::optional<std::string> folder;
    std::optional<std::string> index;
    SearchMethod method = SearchMethod::Directory;
    std::int32_t bits = 0;
    std::int32_t matchRate = 0;
    // A grouping: no target, every picture of the folder or index file; its
    // similarity and copy to keep, as the groups dialog names them.
    bool groups = false;
    QString grouping;
};

// The strip above the table: the target (name and a small picture), the
// folder or index file, bits and match rate, and what the last drop did.
class ContextStrip : public QFrame {
    Q_OBJECT

public:
    explicit ContextStrip(QWidget* parent = nullptr);

    void showContext(const StripContext& context);
    // How a picture held in memory is named: "(pasted picture)", with its
    // size when known.
    static QString pictureName(QSize size = {});
    void setTargetImage(const QImage& image);
    void showFeedback(const QString& text, bool warning);

    QString contextText() const;
    QString feedbackText() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_picture;
    QLabel* m_targetCaption;
    QLabel* m_target;
    QLabel* m_sourceCaption;
    QLabel* m_source;
    QLabel* m_settings;
    QLabel* m_feedback;
    StripContext m_context;
};

} // namespace ovrin::ui
