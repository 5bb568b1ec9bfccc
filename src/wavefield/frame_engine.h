// The frame engine: the field's sums at every node of the grid in one pass over the sources, with the
// same bits as SumSources node by node (field_evaluation.h), which stays as the reference.
//
// How it keeps the bits: every node still adds its sources' contributions in source index order, each
// with the same double operations. What it saves: a source's contribution depends on |dx| and |dy| only,
// so each table offset is evaluated once and added to the up to four mirrored nodes (the slopes negated
// exactly); along a table row the cut-offs pass one run of offsets, found from the row's distances, so
// the rest of the row is never read; the per-source decisions are taken once per source; and the table
// rows are walked several offsets at a time (SSE2, or AVX2 where the processor has it). Where factors are
// computed rather than read, they are computed once per distance class (WaveTables::GroupDistances):
// every offset at the same distance takes the same contribution, and those values go straight to the
// nodes (ClassRunKernel) rather than through a row of terms.
//
// The sin, cos and exp of computed factors are our own (wave_math.h), evaluated a register at a time. On
// large grids the work may be shared by threads, each summing a band of grid rows (UseThreads).
//
// The engine is a part of its wave field and owns only scratch memory; it keeps no state between
// frames that the results depend on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "wavefield/kernel_table.h"
#include "wavefield/node_field.h"
#include "wavefield/run_constants.h"

namespace lumar {

struct WaveField;
class WorkerPool;

enum class SimdVariant { kSse2, kAvx2 };

bool SimdVariantSupported(SimdVariant variant);

class FrameEngine {
 public:
  // Runs the widest variant the processor supports.
  FrameEngine();

  ~FrameEngine();
  FrameEngine(const FrameEngine&) = delete;
  FrameEngine& operator=(const FrameEngine&) = delete;

  // False, and the variant unchanged, when the processor lacks it.
  bool SelectVariant(SimdVariant variant);
  SimdVariant variant() const { return variant_; }

  // Sums grids of at least kThreadedNodes nodes on `threads` threads (the calling one included; 1 to
  // kMaxEngineThreads), each summing a band of grid rows. The workers are made here, once; 1 ends them.
  // The bits are those of one thread: every node still adds its sources in index order.
  void UseThreads(int threads);
  // The same with a pool the caller made once for the run and shares among its fields (they are summed
  // one after another, never at once); null: the one thread.
  void UsePool(std::shared_ptr<WorkerPool> pool);
  int threads() const;
  const WorkerPool* pool() const { return pool_.get(); }
  static constexpr std::size_t kThreadedNodes = 20000;

  // Runs work(first, end) over [0, count) in contiguous parts, one per thread, when the last SumField was
  // threaded (the calling thread takes the first part); else work(0, count) on the calling thread. For
  // arithmetic and memory writes only, like the sums. With count = gridCellsY + 1 the parts are the bands
  // of rows each thread summed.
  void ForEachPart(int count, const std::function<void(int first, int end)>& work) const;

  // How many sources of the last SumField took each route where factors are computed rather than read:
  // rising with computed factors; travelling with computed trail factors and no space fading (one growth
  // for every distance); travelling with the trail from the tables and the lead computed (the lead's
  // exponent rebased); travelling with the trail's exponent rebased.
  struct RouteCounts {
    int risingComputed = 0;
    int constantGrowth = 0;
    int leadOnlyComputed = 0;
    int trailRebased = 0;
  };
  RouteCounts routes() const;

  // The sums of every node (a in 0..gridCellsX, b in 0..gridCellsY) for the field's sources as they
  // stand; read them with SumsAt until the next call. The scratch is sized here, on the calling thread
  // (the threads never allocate); false, and nothing held (Holds is false), when its memory cannot be had.
  // Like ForEachPart, it runs under FixedFloatingPointState: the caller's SSE control state cannot change
  // the bits.
  bool SumField(const WaveField& field);

  // Whether the values of computed distance classes go straight to the nodes (the default) or through a
  // row of terms that is then added, as before: the same bits either way (for tests and the benchmark).
  void FuseClassRuns(bool fuse) { fuseClassRuns_ = fuse; }
  bool fusesClassRuns() const { return fuseClassRuns_; }
  // Whether the distance classes nearer than the grid's edge are computed in one ascending run (the
  // default) or stamped and listed like the farther ones, as before: the same bits either way.
  void SpanNearClasses(bool span) { spanNearClasses_ = span; }

  // For tests: refuse any scratch array above this many bytes, as if the system had no more memory.
  void LimitScratchForTesting(std::size_t bytes) { scratchLimit_ = bytes; }
  FieldSums SumsAt(int a, int b) const {
    const std::size_t k = Index(a, b);
    return {heightSums_[k], slopeXSums_[k], slopeYSums_[k]};
  }
  // Whether the last SumField covered a grid of these constants' size (OutputsAt may read every node).
  bool Holds(const RunConstants& constants) const {
    return width_ == constants.gridCellsX + 1 && height_ == constants.gridCellsY + 1 &&
           heightSums_.size() == static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  }
  // EvaluateNode's outputs, bit for bit, at nodes a = firstColumn .. firstColumn + count - 1 of row b, after
  // SumField: resolved from the sums here, where the vertex fill needs them, so that they are never stored
  // for the whole grid. Under FixedFloatingPointState, like the sums (ForEachPart runs there).
  void OutputsAt(int firstColumn, int count, int b, NodeOutputs* out) const;

 private:
  std::size_t Index(int a, int b) const {
    return static_cast<std::size_t>(b) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(a);
  }
  struct Walk;
  enum class Branch;
  // An inclusive run of column offsets; empty when first > last.
  struct Run {
    int64_t first;
    int64_t last;
    bool empty() const { return first > last; }
    Run Within(int64_t from, int64_t to) const {
      return {from > first ? from : first, to < last ? to : last};
    }
  };
  // One table row a source reaches: row offset d, the offsets of the nodes on each side of its column
  // within the grid, their span, and the first offset ahead of the crest; up and down: whether grid rows
  // nodeY + d and nodeY - d exist.
  struct RowPlan {
    int d;
    Run right;
    Run left;
    Run both;
    int64_t crest;
    bool up;
    bool down;
  };
  // One source's walk, its rows and its values per distance class: planned by one thread, then read by
  // every thread for its band.
  struct SourcePlan;
  // One thread's scratch: a row of terms, indexed by the column offset, and what it uses while it computes
  // a source's distance classes.
  struct ThreadScratch;
  // Sizes every array a frame of this field uses; false when the memory cannot be had.
  bool SizeScratch(const WaveField& field);
  template <class T>
  void Size(std::vector<T>& v, std::size_t count) const;
  // Frees the scratch: nothing is held until the next SumField.
  void ReleaseScratch();
  // Zeroes the sums of the rows [firstRow, endRow).
  void ClearSums(int firstRow, int endRow);
  // Plans and adds every source on one thread.
  void SumSources(const WaveField& field);
  // The work of thread `thread` of `threads` (at least two): its band of rows, to which it adds every source
  // in index order, and the planning of whichever sources are due when it would otherwise wait.
  void SumBand(const WaveField& field, int thread, int threads);
  // Plans source `index` into `plan`; false when it reaches no node.
  bool PlanSource(const WaveField& field, int index, SourcePlan& plan, ThreadScratch& scratch) const;
  void ComputeClasses(SourcePlan& plan, ThreadScratch& scratch) const;
  int32_t NearClassesEnd(const Walk& walk, int32_t lowest, int32_t highest) const;
  // Adds a planned source to the rows [firstRow, endRow).
  void ApplySource(const SourcePlan& plan, int firstRow, int endRow, ThreadScratch& scratch);
  // One source's terms along its planned row for the offsets the row reaches.
  void ComputeRow(const SourcePlan& plan, const RowPlan& rowPlan, const RowTerms& out) const;
  void ComputeSegment(const SourcePlan& plan, int d, const Run& run, Branch branch,
                      const RowTerms& out) const;
  // The travelling terms at distances[from..to] with factors computed there.
  void ComputeTravelling(const Walk& walk, Branch branch, const float* distances,
                         const float* inverseDistances, int from, int to, double rowOffset,
                         const RowTerms& out) const;
  // Adds the values of the computed distance classes of offsets right and left (within one segment of a
  // planned row) to the grid rows nodeY + d (up) and nodeY - d (down), without a row of terms.
  void AddClassRuns(const SourcePlan& plan, const RowPlan& rowPlan, const Run& right, const Run& left,
                    bool up, bool down);
  // Adds the row's terms to grid row b: `right` forward from the source's column, `left` mirrored.
  void ApplyRow(const Walk& walk, int b, const Run& right, const Run& left, bool negateY,
                const RowTerms& terms);

  SimdVariant variant_ = SimdVariant::kSse2;
  bool fuseClassRuns_ = true;
  bool spanNearClasses_ = true;
  const FrameKernels* kernels_ = nullptr;
  int width_ = 0;   // nodes per grid row: gridCellsX + 1
  int height_ = 0;  // grid rows: gridCellsY + 1
  // Per node, row by row: the height sum H and the slope sums Gx, Gy.
  std::vector<double> heightSums_;
  std::vector<double> slopeXSums_;
  std::vector<double> slopeYSums_;
  OutputScales scales_{};  // of the last SumField's run
  // The sources' plans in a ring (source k in slot k mod the ring's size), so that threads may plan sources
  // ahead of those still being added; and each thread's scratch.
  std::vector<std::unique_ptr<SourcePlan>> plans_;
  std::vector<std::unique_ptr<ThreadScratch>> scratch_;
  struct Schedule;
  std::unique_ptr<Schedule> schedule_;
  int summedOnThreads_ = 1;  // the threads of the last SumField
  std::size_t scratchLimit_ = static_cast<std::size_t>(-1);
  std::shared_ptr<WorkerPool> pool_;
};

}  // namespace lumar
