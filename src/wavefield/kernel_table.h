// What the frame engine hands its inner loops, and the loops of each instruction set (kernel_loops.h).
#pragma once

#include <cstdint>

namespace lumar {

struct FactorInputs;

// Scratch rows are padded by this many entries: a register's loads and stores may run that far past the
// last entry of a row.
constexpr int kLanePadding = 4;

// One table row (fixed J): the factor planes a branch reads, in the order of its formula.
struct TableRow {
  const double* plane[6];
};

// One source's coefficients for a branch, in the order of its formula (see kernel_loops.h).
struct SourceTerms {
  double c[6];
};

// One source's terms along a table row, indexed by the column offset I: height, and the radial slope times
// I and times the row offset (the slope's components on the side where both offsets are positive). Either
// the components or the radial slope itself may be left out (null): a table row needs the components, a
// list of distance classes the slope.
struct RowTerms {
  double* height;
  double* slopeX;  // with slopeY
  double* slopeY;
  double* slope;  // the radial slope over r itself
};

// Consecutive nodes of one grid row in the accumulators.
struct NodeSums {
  double* height;
  double* slopeX;
  double* slopeY;
};

// One source's values at one distance class: the height term and the radial slope over r.
struct ClassValue {
  double height;
  double slope;
};

// Where a run of offsets I of a table row, from `first` on, is added: the grid rows nodeY + d (up) and
// nodeY - d (down, the y slope negated), on the right side (the node of I = first, forward) and the left
// side (the node of dx = -I for the run's last I, walked backward, the x slope negated). A null height
// leaves that target out.
struct ClassRunTargets {
  NodeSums upRight;
  NodeSums downRight;
  NodeSums upLeft;
  NodeSums downLeft;
};

// The run's output scales (RunConstants), widened to double as the evaluation uses them.
struct OutputScales {
  double height;         // heightScale
  double negativeLight;  // -lightSlopeScale
  double optic;          // opticSlopeScale
};

// One node's outputs, kept together: the vertex fill's tile reads them column by column, across the rows in
// which they are computed, two nodes to a cache line. Height and normal x, y as floats, the refraction's -z
// (unit) too; its x and y.
struct alignas(32) NodeOutputs {
  float height;
  float normalX;
  float normalY;
  float unit;
  double refractionX;
  double refractionY;
};
static_assert(sizeof(NodeOutputs) == 32, "a node's outputs fill half a cache line");

// Rows of terms for I in [from, to] (computed in whole registers around that run), and the addition of
// count terms to count nodes: forward from I = first, or backward (the mirrored side, dx = -I), with the
// y slope negated on the mirrored row (dy = -row offset).
using RowKernel = void (*)(const TableRow& row, const SourceTerms& s, double rowOffset, int from, int to,
                           const RowTerms& out);
// The same with the factors computed from distances and inverse distances (lane_formulas.h).
using ComputedRowKernel = void (*)(const float* distances, const float* inverseDistances,
                                   const FactorInputs& inputs, const SourceTerms& s, double rowOffset,
                                   int from, int to, const RowTerms& out);
using ApplyKernel = void (*)(const RowTerms& terms, int first, int count, const NodeSums& nodes,
                             bool backward, bool negateY);

// Adds the values of the distance classes of offsets I = first .. first + count - 1 (classes[I]) to their
// nodes as they are read: the terms are those a row of terms would hold (height; slope times I and times
// the row offset), added with the same operations, with no row in between.
using ClassRunKernel = void (*)(const ClassValue* values, const int32_t* classes, double rowOffset, int first,
                                int count, const ClassRunTargets& targets);

// The outputs of the first nodes of a row from their sums, in whole registers; returns how many it did
// (the rest, fewer than a register, are left to the caller).
using OutputKernel = int (*)(const OutputScales& scales, const double* height, const double* slopeX,
                             const double* slopeY, int count, NodeOutputs* out);

struct FrameKernels {
  RowKernel risingRow;
  RowKernel behindCrestRow;
  RowKernel aheadOfCrestRow;
  ComputedRowKernel risingComputedRow;
  ComputedRowKernel behindCrestComputedRow;
  ComputedRowKernel aheadOfCrestComputedRow;
  ApplyKernel applyRun;
  ClassRunKernel classRun;
  OutputKernel outputRow;
};

// SSE2: every x86-64 processor. AVX2: only call where CpuHasAvx2().
const FrameKernels& Sse2Kernels();
const FrameKernels& Avx2Kernels();
bool CpuHasAvx2();

}  // namespace lumar
