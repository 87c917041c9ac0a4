#pragma once

#include <cstdint>

// The search's numbers in one place, standard C++ alone: the engine, the
// command line, the stored settings and the dialogs all take them from here,
// so a default or a bound cannot drift apart between them.
namespace ovrin {

// Where a search takes its candidates from. The stored number is taken as it
// is; a value of neither kind is kept and refused when a run starts.
enum class SearchMethod : std::int32_t { Directory = 0, IndexFile = 1 };

namespace search {

inline constexpr std::int32_t kDefaultBits = 3;
inline constexpr std::int32_t kMinBits = 1;
inline constexpr std::int32_t kMaxBits = 4;
inline constexpr std::int32_t kDefaultMatchRate = 70;
inline constexpr std::int32_t kMinMatchRate = 0;
inline constexpr std::int32_t kMaxMatchRate = 100;
// Its upper bound is the signature's (TFileInfo::kMaxPixelNumber).
inline constexpr std::int32_t kDefaultPixelNumber = 8;
inline constexpr SearchMethod kDefaultMethod = SearchMethod::Directory;

} // namespace search

} // namespace ovrin
