// What the frame engine hands its inner loops, and the loops of each instruction set (frame_kernels.h).
#pragma once

namespace lumar {

// One table row (fixed J): the factor planes a branch reads, in the order of its formula.
struct TableRow {
  const double* plane[6];
};

// One source's coefficients for a branch, in the order of its formula (see frame_kernels.h).
struct SourceTerms {
  double c[6];
};

// One source's terms along a table row, indexed by the column offset I: height, and the radial slope times
// I and times the row offset (the slope's components on the side where both offsets are positive).
struct RowTerms {
  double* height;
  double* slopeX;
  double* slopeY;
};

// Consecutive nodes of one grid row in the accumulators.
struct NodeSums {
  double* height;
  double* slopeX;
  double* slopeY;
};

// Rows of terms for I in [from, to] (computed in whole registers around that run), and the addition of
// count terms to count nodes: forward from I = first, or backward (the mirrored side, dx = -I), with the
// y slope negated on the mirrored row (dy = -row offset).
using RowKernel = void (*)(const TableRow& row, const SourceTerms& s, double rowOffset, int from, int to,
                           const RowTerms& out);
using ApplyKernel = void (*)(const RowTerms& terms, int first, int count, const NodeSums& nodes,
                             bool backward, bool negateY);

struct FrameKernels {
  RowKernel risingRow;
  RowKernel behindCrestRow;
  RowKernel aheadOfCrestRow;
  ApplyKernel applyRun;
};

// SSE2: every x86-64 processor. AVX2: only call where CpuHasAvx2().
const FrameKernels& Sse2Kernels();
const FrameKernels& Avx2Kernels();
bool CpuHasAvx2();

}  // namespace lumar
