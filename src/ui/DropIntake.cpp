#include "ui/DropIntake.h"

#include "platform/fs/FileManager.h"

namespace ovrin::ui {

DropIntake sortDrop(const std::vector<std::string>& paths,
                    const std::function<bool(const std::string&)>& isIndexFile)
{
    DropIntake intake;
    for (const std::string& path : paths) {
        bool isFolder = false;
        if (!platform::FileManager::fileExists(path, isFolder))
            intake.refused.emplace_back(path, platform::LoadFailure::Missing);
        else if (isFolder)
            intake.folder = path;
        else if (isIndexFile(path))
            intake.index = path;
        else
            intake.pictures.push_back(path);
    }
    return intake;
}

} // namespace ovrin::ui
