#include "cli/HitOutput.h"

#include <cstdio>

namespace ovrin::cli {

std::string formatHeader(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Tsv:
        return "rate\tlikeness\tpath\n";
    case OutputFormat::Csv:
        return "rate,likeness,path\r\n";
    default:
        return {};
    }
}

std::string formatHit(const HitLine& hit, OutputFormat format, bool nullTerminated)
{
    char numbers[64];
    switch (format) {
    case OutputFormat::Plain:
        if (nullTerminated)
            return std::to_string(hit.rate) + '\t' + hit.path + '\0';
        return std::to_string(hit.rate) + '\t' + escapePath(hit.path) + '\n';
    case OutputFormat::Tsv:
        std::snprintf(numbers, sizeof numbers, "%d\t%.1f\t", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + escapePath(hit.path) + '\n';
    case OutputFormat::Csv:
        std::snprintf(numbers, sizeof numbers, "%d,%.1f,", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + csvField(hit.path) + "\r\n";
    case OutputFormat::Json:
        std::snprintf(numbers, sizeof numbers,
                      "{\"rate\":%d,\"likeness\":%.1f,\"path\":", static_cast<int>(hit.rate),
                      hit.likeness);
        return numbers + jsonString(hit.path) + "}\n";
    }
    return {};
}

} // namespace ovrin::cli
