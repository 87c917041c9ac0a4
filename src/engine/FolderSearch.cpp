#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "signature/Orientation.h"
#include "signature/TFileInfo.h"

namespace ovrin {

void runFolderSearch(RunContext& run, const TFileInfo& target)
{
    const RunSettings& settings = run.settings();
    // A target prepared by the window comes with its fingerprint but not the
    // grid it was made from, which the turned forms' fingerprints need: one
    // more decode of the target, against thousands of candidates.
    TFileInfo source = target;
    // A target held in memory is read again from its bytes, not from the
    // path the engine may still hold from an earlier target.
    if (settings.anyOrientation && source.luminance().empty() &&
        (settings.targetPath || settings.targetPicture)) {
        TFileInfo again(settings.targetPath.value_or(std::string()));
        if (loadTarget(again, settings.targetPicture.get(), settings.pixelNumber,
                       &run.proceedFlag()) == platform::LoadFailure::None) {
            source.setFine(again.fine());
            source.setLuminance(again.luminance());
        }
    }
    const OrientedTarget forms(source, settings.anyOrientation);
    PictureWalk::Steps steps;
    steps.complete = [&](DecodePipeline::Item& item) {
        const auto record = std::make_shared<TFileInfo>(item.path);
        record->setThumbnail(std::move(item.values));
        record->setFine(item.fine); // so its likeness is the finer measure
        if (forms.matches(settings.bits, settings.matchRate, *record))
            run.hit(record);
    };
    PictureWalk(run, std::move(steps)).run();
}

} // namespace ovrin
