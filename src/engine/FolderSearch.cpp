#include "engine/PictureWalk.h"
#include "engine/RunContext.h"
#include "signature/Orientation.h"
#include "signature/TFileInfo.h"

namespace ovrin {

void runFolderSearch(RunContext& run, const TFileInfo& target)
{
    const RunSettings& settings = run.settings();
    const OrientedTarget forms(target.thumbnail(), settings.anyOrientation);
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
