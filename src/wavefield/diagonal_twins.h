// The diagonal mirror of the tables. Where the grid's cells are square, the offsets (I, J) and (J, I) lie
// at the same distance from a source, so its contribution there is the same: same factors, same height,
// same radial slope. A source's walk goes up the table rows; a row that computes its factors (rather than
// reading the tables) keeps what it finds at each column I = e * rowStep beyond its own row offset J for
// row e, and row e takes it at column J instead of computing it again.
//
// Only the frame engine uses it, for one source at a time; a row's value is taken only when that row was
// walked for the same source and its run reached the column.
#pragma once

#include <cstdint>
#include <vector>

namespace lumar {

class DiagonalTwins {
 public:
  // For tables of `rows` stored rows (row e at offset J = e * step); off when the cells are not square.
  // Keeps the storage of earlier frames of the same size.
  void Prepare(int rows, int step, bool squareCells);
  bool enabled() const { return enabled_; }
  int step() const { return step_; }

  // A new source's walk: nothing kept before is taken.
  void StartSource() { ++source_; }
  // Row d of the current source computed the columns first..last.
  void RecordRow(int d, int64_t first, int64_t last);

  // At row d, column c = e * step (e < d): whether row e kept its value at column d * step.
  bool Has(int d, int e) const {
    const Walked& row = walked_[static_cast<std::size_t>(e)];
    const int64_t column = static_cast<int64_t>(d) * step_;
    return row.source == source_ && row.first <= column && column <= row.last;
  }
  double Height(int d, int e) const { return height_[Slot(d, e)]; }
  double Slope(int d, int e) const { return slope_[Slot(d, e)]; }

  // At row d, column c = e * step (e > d): keeps the value there for row e.
  void Keep(int d, int e, double height, double slope) {
    if (e >= rows_) return;
    if (height_.empty()) Allocate();
    height_[Slot(e, d)] = height;
    slope_[Slot(e, d)] = slope;
  }

 private:
  struct Walked {
    uint64_t source;
    int64_t first;
    int64_t last;
  };
  // The value row `from` kept for row `to` (from < to).
  std::size_t Slot(int to, int from) const {
    return static_cast<std::size_t>(to) * static_cast<std::size_t>(rows_) + static_cast<std::size_t>(from);
  }
  void Allocate();

  bool enabled_ = false;
  int rows_ = 0;
  int step_ = 1;
  uint64_t source_ = 0;
  std::vector<Walked> walked_;
  std::vector<double> height_;
  std::vector<double> slope_;
};

}  // namespace lumar
