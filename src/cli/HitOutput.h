#pragma once

#include "cli/CommandLine.h"
#include "engine/NameText.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace ovrin::cli {

// One line (or record) of a search's output.
struct HitLine {
    std::int32_t rate = 0;
    double likeness = 0.0;
    std::string path;
};

// The escaping of names is shared with the window's exports.
using ovrin::csvField;
using ovrin::escapePath;
using ovrin::jsonString;

// The header line of a format (empty for the plain and JSON formats).
std::string formatHeader(OutputFormat format);
std::string formatHit(const HitLine& hit, OutputFormat format, bool nullTerminated);

} // namespace ovrin::cli
