#pragma once

#include "platform/fs/LoadFailure.h"
#include "signature/FineSignature.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ovrin::ui {

// Decodes a would-be target on a thread of its own, since a hostile picture
// can take many seconds, and hands the verdict back on the UI thread. One
// check at a time: a new one or a cancel clears the stop flag of the one
// before, whose verdict, should it still come, is dropped.
class TargetCheck : public QObject {
    Q_OBJECT

public:
    // Of the candidates tried, last first: the first that decoded (its
    // signature at the pixel number asked for, and its fingerprint), and why
    // the others did not.
    struct Verdict {
        std::string target; // empty when none decoded
        // A check of a picture held in memory: the bytes that decoded
        // (encoded first where a decoded picture was offered), none when
        // they did not; its refusal has an empty path.
        std::shared_ptr<const std::vector<std::uint8_t>> picture;
        std::vector<std::int16_t> signature;
        std::optional<FineSignature> fine;
        std::vector<std::pair<std::string, platform::LoadFailure>> refused;
    };
    using Done = std::function<void(Verdict verdict)>;
    // Makes the signature (and fingerprint) of the picture at path; a cleared
    // proceed asks it to stop (Stopped). Replaceable so that tests can hold a
    // decode.
    using Decoder = std::function<platform::LoadFailure(
        const std::string& path, std::int32_t pixelNumber, const std::atomic<bool>& proceed,
        std::vector<std::int16_t>& signature, std::optional<FineSignature>& fine)>;

    explicit TargetCheck(QObject* parent = nullptr);
    ~TargetCheck() override;
    TargetCheck(const TargetCheck&) = delete;
    TargetCheck& operator=(const TargetCheck&) = delete;

    // Tries the candidates, the last one first, until one decodes; `done` is
    // called on this object's thread unless the check is cancelled or
    // replaced before. A verdict that comes within `waitMs` is given before
    // this returns, so that a quick picture never flashes a checking state.
    void start(std::vector<std::string> candidates, std::int32_t pixelNumber, Done done,
               int waitMs = kQuickMs);
    // A picture that is no file: its encoded bytes, or where only a decoded
    // picture was offered (a clipboard's image), that picture, which is
    // encoded as PNG on the check's thread, since a large one takes a while.
    struct Picture {
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
        QImage image;
    };
    void start(Picture picture, std::int32_t pixelNumber, Done done, int waitMs = kQuickMs);
    void cancel();
    bool isChecking() const { return m_done != nullptr; }

    static void setDecoder(Decoder decoder);

    // Long enough for an ordinary picture, short enough not to be felt.
    static constexpr int kQuickMs = 100;

private:
    struct Job;

    void launch(std::function<Verdict(const std::atomic<bool>& proceed)> work, Done done,
                int waitMs);
    void deliver(std::uint64_t ticket, Verdict verdict);
    void reap(bool all);

    std::uint64_t m_ticket = 0;
    Done m_done;
    std::shared_ptr<Job> m_job;
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> m_threads;
};

} // namespace ovrin::ui
