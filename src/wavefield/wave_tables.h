// The lookup tables of the run: every factor of a source's contribution that depends only on the
// offset between a node and the source, for column offsets I = 0..columnCount and scaled row offsets
// J = 0..rowCount. Offsets are absolute values, so one quadrant serves all four directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wavefield/wave_factors.h"

namespace lumar {

// The seventeen tables at one offset, side by side so that a node's lookups share cache lines.
struct TableEntry {
  float distance;         // pixels: 10 * sqrt(I^2 + aspectSquare * J^2)
  float inverseDistance;  // 1 / distance, 0 where distance is 0
  RiseFactors rise;
  TrailFactors trail;  // filled for fast calculation only
  LeadFactors lead;    // filled for fast calculation only
};

class WaveTables {
 public:
  // Replaces the tables with zeroed ones of the given size. False (and empty tables) when the memory
  // cannot be had or the size is beyond all reason.
  bool Allocate(int32_t columns, int32_t rows);
  void Free();

  bool empty() const { return entries_ == nullptr; }
  std::size_t EntryCount() const;

  // I in 0..columnCount, J in 0..rowCount.
  const TableEntry& At(int i, int j) const { return entries_[static_cast<std::size_t>(i) * stride_ + j]; }
  TableEntry& At(int i, int j) { return entries_[static_cast<std::size_t>(i) * stride_ + j]; }

  int32_t columnCount = 0;  // gridCellsX
  int32_t rowCount = 0;     // rowOffsetScale * gridCellsY

 private:
  std::unique_ptr<TableEntry[]> entries_;
  std::size_t stride_ = 0;
};

}  // namespace lumar
