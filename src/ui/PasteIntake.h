#pragma once

#include "platform/fs/LoadFailure.h"
#include "ui/TargetCheck.h"

#include <string>
#include <vector>

class QMimeData;

namespace ovrin::ui {

// What a paste, or a drop, offers before anything is decoded: files (by URL,
// or a path as text), else a picture's encoded bytes as the source offered
// them (so the same decoders and bounds meet them as a file's), else a
// decoded picture only, else nothing to take. No window needed.
struct PasteIntake {
    enum class Kind : std::uint8_t {
        Nothing, // an empty clipboard or a drop without data
        Files,
        Picture,
        Refused, // data, but no picture and no file: `why` and `webAddress` say more
    };
    Kind kind = Kind::Nothing;
    std::vector<std::string> paths;
    TargetCheck::Picture picture;
    platform::LoadFailure why = platform::LoadFailure::NotAnImage;
    // It named pictures on the web only, which are not fetched.
    bool webAddress = false;
};

PasteIntake readPaste(const QMimeData* data);
// Whether a drag brings anything readPaste would take.
bool offersPicture(const QMimeData* data);

} // namespace ovrin::ui
