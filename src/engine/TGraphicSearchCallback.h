#pragma once

#include "engine/RunSummary.h"

#include <memory>
#include <string>

namespace ovrin {

class TFileInfo;

// How the engine reports to its receiver. Progress and hits arrive on the
// worker thread; searchEndCallback arrives exactly once for every start, on the
// worker when a run ends and on the caller's thread when a start is refused.
// The record passed in belongs to the worker; keeping the shared pointer keeps
// the record. A callback must never wait for the thread that calls join().
class TGraphicSearchCallback {
public:
    virtual ~TGraphicSearchCallback() = default;

    virtual void hitItemCallback(const std::shared_ptr<TFileInfo>& info) = 0;
    virtual void progressCallback(const std::shared_ptr<TFileInfo>& info) = 0;
    virtual void searchEndCallback() = 0;

protected:
    TGraphicSearchCallback() = default;
    TGraphicSearchCallback(const TGraphicSearchCallback&) = default;
    TGraphicSearchCallback& operator=(const TGraphicSearchCallback&) = default;
};

// A receiver that also implements this hears of every file or folder a run
// passes over, with the reason, on the worker thread, in walk order.
class GraphicSearchDiagnostics {
public:
    virtual ~GraphicSearchDiagnostics() = default;
    virtual void skippedCallback(const std::string& path, SkipReason reason,
                                 platform::LoadFailure detail) = 0;

protected:
    GraphicSearchDiagnostics() = default;
    GraphicSearchDiagnostics(const GraphicSearchDiagnostics&) = default;
    GraphicSearchDiagnostics& operator=(const GraphicSearchDiagnostics&) = default;
};

} // namespace ovrin
