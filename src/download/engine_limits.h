#pragma once
// How many files the engine fetches at once and on how many connections each.
namespace download {

inline constexpr int kSlotCount = 3;      // files at a time (slots, by row index mod 3)
inline constexpr int kWorkersPerSlot = 5; // connections per file at most

} // namespace download
