#include "wavefield/diagonal_twins.h"

namespace lumar {

void DiagonalTwins::Prepare(int rows, int step, bool squareCells) {
  enabled_ = squareCells && rows > 0;
  if (rows != rows_ || step != step_) {
    rows_ = rows;
    step_ = step;
    height_.clear();
    slope_.clear();
    walked_.assign(static_cast<std::size_t>(rows), Walked{0, 0, -1});
  }
}

void DiagonalTwins::RecordRow(int d, int64_t first, int64_t last) {
  walked_[static_cast<std::size_t>(d)] = Walked{source_, first, last};
}

// Only fields with computed factors need it: it is made on the first value kept.
void DiagonalTwins::Allocate() {
  const std::size_t slots = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(rows_);
  height_.assign(slots, 0.0);
  slope_.assign(slots, 0.0);
}

}  // namespace lumar
