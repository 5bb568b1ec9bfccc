#include "wavefield/wave_tables.h"

#include <new>

namespace lumar {

// 2^24 entries (2 GB): far above any display mode the set-up accepts.
constexpr std::size_t kMaxTableEntries = std::size_t{1} << 24;

bool WaveTables::Allocate(int32_t columns, int32_t rows) {
  Free();
  if (columns < 0 || rows < 0) return false;
  const std::size_t stride = static_cast<std::size_t>(rows) + 1;
  const std::size_t columnsPlusOne = static_cast<std::size_t>(columns) + 1;
  if (columnsPlusOne > kMaxTableEntries / stride) return false;
  const std::size_t count = columnsPlusOne * stride;
  entries_.reset(new (std::nothrow) TableEntry[count]());
  if (!entries_) return false;
  columnCount = columns;
  rowCount = rows;
  stride_ = stride;
  return true;
}

void WaveTables::Free() {
  entries_.reset();
  columnCount = 0;
  rowCount = 0;
  stride_ = 0;
}

std::size_t WaveTables::EntryCount() const {
  return empty() ? 0 : (static_cast<std::size_t>(columnCount) + 1) * stride_;
}

}  // namespace lumar
