#pragma once

#include "signature/FineSignature.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QLabel;

namespace Ui {
class TSearchDlg;
}

namespace ovrin {
class TGraphicSearch;
}

namespace ovrin::ui {

class TargetCheck;

// The modal dialog in which a person sets up a search. It is made once and
// reused; its fields keep their text between runs. It copies its values into
// the engine only when every test passed, and starts nothing itself.
class TSearchDlg : public QDialog {
    Q_OBJECT

public:
    explicit TSearchDlg(QWidget* parent = nullptr);
    ~TSearchDlg() override;

    void setup(TGraphicSearch* engine);
    // Runs the dialog; yes only when confirmed and the values are in the engine.
    bool doModal();

    Ui::TSearchDlg& widgets() { return *m_ui; }
    // Whether the target is being decoded after OK; Escape stops that.
    bool isChecking() const;
    QString checkingText() const;
    // The target's signature as the confirmed check made it, at the engine's
    // pixel number, and its fingerprint, for the start to take instead of
    // decoding it again.
    std::vector<std::int16_t> takeSignature() { return std::move(m_signature); }
    std::optional<FineSignature> takeFine() { return std::exchange(m_fine, std::nullopt); }

    // The whole number a text holds when it is one within [low, high]: digits
    // only, surrounding blanks allowed; no value for anything else.
    static std::optional<int> wholeNumber(const QString& text, int low, int high);
    // The field's number, or an alert (the problem, then the correction with the
    // text for %1) and the field in focus to correct it.
    static std::optional<int> fieldNumber(QWidget* parent, QComboBox* field, int low, int high,
                                          const QString& problem, const QString& correction);

public Q_SLOTS:
    void okAction();
    void cancelAction();
    void indexFilePathRefAction();
    void targetFilePathRefAction();
    void topDirPathRefAction();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void showChecking(bool checking);
    void missingAlert(QWidget* field, const QString& message, const QString& informative);
    void fileLoadErrorAlert(const QString& path, const QString& reason);
    std::optional<int> number(QComboBox* field, int low, int high, const QString& problem);
    void markNumbers();

    std::unique_ptr<Ui::TSearchDlg> m_ui;
    TGraphicSearch* m_gs = nullptr;
    bool m_result = false;
    TargetCheck* m_check = nullptr;
    QLabel* m_checking = nullptr;
    std::vector<std::int16_t> m_signature;
    std::optional<FineSignature> m_fine;
    // The pasted picture the target field names, until the field is edited
    // or a file is chosen in its place.
    std::shared_ptr<const std::vector<std::uint8_t>> m_picture;
};

} // namespace ovrin::ui
