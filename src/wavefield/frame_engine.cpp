#include "wavefield/frame_engine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>

#include "wavefield/field_evaluation.h"
#include "wavefield/lane_formulas.h"
#include "wavefield/wave_field.h"
#include "wavefield/worker_pool.h"

namespace lumar {
namespace {

// The first offset along a table row where `passes` stops holding (it holds for a leading run only).
template <class Predicate>
int FirstFailing(const float* distances, int count, Predicate passes) {
  return static_cast<int>(std::partition_point(distances, distances + count, passes) - distances);
}

// The computed rows read whole registers: from the last entry of a run, up to kLanePadding - 1 entries past
// it.
constexpr int64_t kReadPastClasses = kLanePadding;

TableRow Planes(const WaveTables& tables, TablePlane first, int count, int j) {
  TableRow row{};
  for (int k = 0; k < count; ++k) row.plane[k] = tables.FactorRow(static_cast<TablePlane>(first + k), j);
  return row;
}

}  // namespace

enum class FrameEngine::Branch { kRising, kBehindCrest, kAheadOfCrest };

bool SimdVariantSupported(SimdVariant variant) { return variant == SimdVariant::kSse2 || CpuHasAvx2(); }

// One source's walk over the table rows: its decisions, taken once, and the columns of the grid it reaches.
struct FrameEngine::Walk {
  const WaveTables* tables;
  const RippleSource* source;
  bool rising;
  // Whether each branch reads its factors from the tables. Normal calculation reads them too for a
  // source whose wave number is the base one: the tables hold exactly the factors it would compute.
  bool riseFromTables;
  bool trailFromTables;
  bool leadFromTables;
  WaveShape shape;
  // Computed factors: with no space fading the fading growth e^(alpha r + shift) is e^shift at every
  // distance; with both sides and no rebase the flank's decay e^(-x + shift) is e^(-kr).
  bool constantGrowth;
  double growth;
  bool flankDecayIsPhaseDecay;
  SourceTerms rise;
  SourceTerms trail;
  SourceTerms lead;
  int64_t nodeX;
  int64_t nodeY;
  Run right;  // offsets I of the nodes a = nodeX + I on the grid
  Run left;   // offsets I >= 1 of the nodes a = nodeX - I on the grid
};

struct FrameEngine::SourcePlan {
  Walk walk;
  RouteCounts counts;  // of the sources this plan held in the last SumField
  std::vector<RowPlan> rows;
  // Values per distance class: set for the classes the source's computed segments reach.
  std::vector<ClassValue> classValues;
};

struct FrameEngine::ThreadScratch {
  // A row of terms, indexed by the column offset.
  std::vector<double> height;
  std::vector<double> slopeX;
  std::vector<double> slopeY;
  // The classes a source reaches (those whose stamp is classSerial), listed in ascending distance, and the
  // list's values computed a chunk at a time.
  uint8_t classSerial = 0;
  std::vector<uint8_t> classStamps;
  std::vector<int32_t> classList;
  static constexpr int kChunk = 256;
  std::array<float, kChunk + kLanePadding> chunkDistances{};
  std::array<float, kChunk + kLanePadding> chunkInverseDistances{};
  std::array<double, kChunk + kLanePadding> chunkHeight{};
  std::array<double, kChunk + kLanePadding> chunkSlope{};
};

namespace {

// The ring holds two plans more than there are threads: a thread that is done with its band's part of a
// source may plan one ahead while the slowest still adds the oldest.
int PlanRingSize(int threads) { return threads == 1 ? 1 : threads + 2; }

// Each counter on a cache line of its own: they are written by different threads.
struct alignas(64) SharedCounter {
  std::atomic<int> value{0};
};

}  // namespace

// Who does what while several threads sum a frame. Every thread adds every source, in index order, to its
// own band; source k's plan is published in slot k mod ring (holds = k + 1) by whichever thread planned it,
// and it may be planned only once every thread has added source k - ring, the slot's previous plan.
struct FrameEngine::Schedule {
  SharedCounter nextPlan;
  std::array<SharedCounter, kMaxEngineThreads + 2> holds;
  std::array<SharedCounter, kMaxEngineThreads> added;

  void Reset() {
    nextPlan.value.store(0, std::memory_order_relaxed);
    for (SharedCounter& slot : holds) slot.value.store(0, std::memory_order_relaxed);
    for (SharedCounter& thread : added) thread.value.store(0, std::memory_order_relaxed);
  }
  int LeastAdded(int threads) const {
    int least = added[0].value.load(std::memory_order_acquire);
    for (int t = 1; t < threads; ++t)
      least = std::min(least, added[static_cast<std::size_t>(t)].value.load(std::memory_order_acquire));
    return least;
  }
};

FrameEngine::FrameEngine() {
  if (!SelectVariant(SimdVariant::kAvx2)) SelectVariant(SimdVariant::kSse2);
  UseThreads(1);
}

FrameEngine::~FrameEngine() = default;

void FrameEngine::UseThreads(int threads) {
  threads = std::clamp(threads, 1, kMaxEngineThreads);
  if (threads == this->threads() && !plans_.empty()) return;
  UsePool(threads > 1 ? std::make_shared<WorkerPool>(threads) : nullptr);
}

void FrameEngine::UsePool(std::shared_ptr<WorkerPool> pool) {
  pool_ = std::move(pool);
  const int threads = this->threads();
  plans_.clear();
  for (int k = 0; k < PlanRingSize(threads); ++k) plans_.push_back(std::make_unique<SourcePlan>());
  scratch_.clear();
  for (int t = 0; t < threads; ++t) scratch_.push_back(std::make_unique<ThreadScratch>());
  schedule_ = threads > 1 ? std::make_unique<Schedule>() : nullptr;
}

int FrameEngine::threads() const { return pool_ ? pool_->threads() : 1; }

FrameEngine::RouteCounts FrameEngine::routes() const {
  RouteCounts sum;
  for (const auto& plan : plans_) {
    sum.risingComputed += plan->counts.risingComputed;
    sum.constantGrowth += plan->counts.constantGrowth;
    sum.leadOnlyComputed += plan->counts.leadOnlyComputed;
    sum.trailRebased += plan->counts.trailRebased;
  }
  return sum;
}

bool FrameEngine::SelectVariant(SimdVariant variant) {
  if (!SimdVariantSupported(variant)) return false;
  variant_ = variant;
  kernels_ = variant == SimdVariant::kAvx2 ? &Avx2Kernels() : &Sse2Kernels();
  return true;
}

bool FrameEngine::SumField(const WaveField& field) {
  const FixedFloatingPointState fixedState;
  const RunConstants& c = field.constants;
  width_ = c.gridCellsX + 1;
  height_ = c.gridCellsY + 1;
  scales_ = OutputScalesOf(c);
  if (!SizeScratch(field)) {
    ReleaseScratch();
    return false;
  }
  const std::size_t nodes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  for (auto& plan : plans_) plan->counts = RouteCounts{};
  const int threads = pool_ && nodes >= kThreadedNodes ? pool_->threads() : 1;
  summedOnThreads_ = threads;
  if (threads == 1) {
    SumSources(field);
    return true;
  }
  schedule_->Reset();
  pool_->Run([&](int thread) { SumBand(field, thread, threads); });
  return true;
}

namespace {

// Whether some source of the field computes its travelling factors per distance class (ComputeClasses).
bool ComputesClasses(const WaveField& field) {
  if (field.tables.empty()) return false;
  for (int k = 0; k < field.sourceSet.sourceCount; ++k) {
    const RippleSource& s = field.sourceSet.sources[k];
    const FactorRoutes routes = RoutesFor(field.constants, s);
    if (s.age > 0.0f && !(s.age < s.quarterWaveTime) && !(routes.trailFromTables && routes.leadFromTables))
      return true;
  }
  return false;
}

}  // namespace

template <class T>
void FrameEngine::Size(std::vector<T>& v, std::size_t count) const {
  if (count > v.size() && count > scratchLimit_ / sizeof(T)) throw std::bad_alloc();
  v.resize(count);
}

bool FrameEngine::SizeScratch(const WaveField& field) {
  try {
    const std::size_t nodes = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    for (std::vector<double>* sums : {&heightSums_, &slopeXSums_, &slopeYSums_}) Size(*sums, nodes);
    const std::size_t rowLength = field.tables.RowStride() + kLanePadding;
    const std::size_t classes =
        ComputesClasses(field) ? static_cast<std::size_t>(field.tables.ClassCount()) : std::size_t{0};
    for (auto& scratch : scratch_) {
      Size(scratch->height, rowLength);
      Size(scratch->slopeX, rowLength);
      Size(scratch->slopeY, rowLength);
      if (classes > 0 && scratch->classStamps.size() != classes) {
        Size(scratch->classStamps, classes);
        std::fill(scratch->classStamps.begin(), scratch->classStamps.end(), uint8_t{0});
        Size(scratch->classList, classes + 1);
        scratch->classSerial = 0;
      }
    }
    // A source plans at most one row plan a grid row.
    const std::size_t rows = static_cast<std::size_t>(height_);
    for (auto& plan : plans_) {
      if (plan->rows.capacity() < rows) {
        if (rows > scratchLimit_ / sizeof(RowPlan)) throw std::bad_alloc();
        plan->rows.reserve(rows);
      }
      if (classes > 0) Size(plan->classValues, classes);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void FrameEngine::ReleaseScratch() {
  width_ = 0;
  height_ = 0;
  for (std::vector<double>* v : {&heightSums_, &slopeXSums_, &slopeYSums_}) std::vector<double>().swap(*v);
  for (auto& scratch : scratch_) *scratch = ThreadScratch{};
  for (auto& plan : plans_) *plan = SourcePlan{};
}

void FrameEngine::ForEachPart(int count, const std::function<void(int first, int end)>& work) const {
  const FixedFloatingPointState fixedState;
  const int parts = summedOnThreads_;
  if (parts == 1 || !pool_) return work(0, count);
  pool_->Run([&](int part) {
    work(static_cast<int>(static_cast<int64_t>(count) * part / parts),
         static_cast<int>(static_cast<int64_t>(count) * (part + 1) / parts));
  });
}

void FrameEngine::ClearSums(int firstRow, int endRow) {
  const std::size_t first = static_cast<std::size_t>(firstRow) * static_cast<std::size_t>(width_);
  const std::size_t end = static_cast<std::size_t>(endRow) * static_cast<std::size_t>(width_);
  for (std::vector<double>* sums : {&heightSums_, &slopeXSums_, &slopeYSums_})
    std::fill(sums->begin() + static_cast<std::ptrdiff_t>(first),
              sums->begin() + static_cast<std::ptrdiff_t>(end), 0.0);
}

void FrameEngine::SumSources(const WaveField& field) {
  ClearSums(0, height_);
  const int count = field.tables.empty() ? 0 : field.sourceSet.sourceCount;
  SourcePlan& plan = *plans_[0];
  ThreadScratch& scratch = *scratch_[0];
  for (int index = 0; index < count; ++index) {
    if (PlanSource(field, index, plan, scratch)) ApplySource(plan, 0, height_, scratch);
  }
}

void FrameEngine::SumBand(const WaveField& field, int thread, int threads) {
  const int firstRow = static_cast<int>(static_cast<int64_t>(height_) * thread / threads);
  const int endRow = static_cast<int>(static_cast<int64_t>(height_) * (thread + 1) / threads);
  ClearSums(firstRow, endRow);
  const int count = field.tables.empty() ? 0 : field.sourceSet.sourceCount;
  const int ring = static_cast<int>(plans_.size());
  Schedule& schedule = *schedule_;
  ThreadScratch& scratch = *scratch_[static_cast<std::size_t>(thread)];
  std::atomic<int>& added = schedule.added[static_cast<std::size_t>(thread)].value;
  int next = 0;  // the next source this thread adds to its band
  int idle = 0;
  while (next < count) {
    // Add the next source when its plan is out; else plan the next unplanned source when its slot is free.
    const std::size_t slot = static_cast<std::size_t>(next % ring);
    if (schedule.holds[slot].value.load(std::memory_order_acquire) == next + 1) {
      const SourcePlan& plan = *plans_[slot];
      if (plan.walk.source != nullptr) ApplySource(plan, firstRow, endRow, scratch);
      added.store(++next, std::memory_order_release);
      idle = 0;
      continue;
    }
    int claim = schedule.nextPlan.value.load(std::memory_order_acquire);
    if (claim < count && claim - ring < schedule.LeastAdded(threads) &&
        schedule.nextPlan.value.compare_exchange_strong(claim, claim + 1, std::memory_order_acq_rel)) {
      const std::size_t claimed = static_cast<std::size_t>(claim % ring);
      SourcePlan& plan = *plans_[claimed];
      if (!PlanSource(field, claim, plan, scratch)) plan.walk.source = nullptr;
      schedule.holds[claimed].value.store(claim + 1, std::memory_order_release);
      idle = 0;
      continue;
    }
    WorkerPool::Wait(idle);
  }
}

void FrameEngine::OutputsAt(int firstColumn, int count, int b, NodeOutputs* out) const {
  const std::size_t k = Index(firstColumn, b);
  int a = kernels_->outputRow(scales_, &heightSums_[k], &slopeXSums_[k], &slopeYSums_[k], count, out);
  for (; a < count; ++a) out[a] = NodeOutputsOf(NodeFieldFromSums(scales_, SumsAt(firstColumn + a, b)));
}

bool FrameEngine::PlanSource(const WaveField& field, int index, SourcePlan& sourcePlan,
                             ThreadScratch& scratch) const {
  const RunConstants& c = field.constants;
  const WaveTables& tables = field.tables;
  const RippleSource& s = field.sourceSet.sources[index];
  if (!(s.age > 0.0f)) return false;

  const float kappa = s.effectiveWaveNumber;
  const float front = s.frontDistance;
  const float alpha = c.spaceFadeRate;
  const FactorRoutes routes = RoutesFor(c, s);
  Walk& w = sourcePlan.walk;
  w = Walk{};
  w.tables = &tables;
  w.source = &s;
  w.rising = s.age < s.quarterWaveTime;
  w.riseFromTables = routes.riseFromTables;
  w.trailFromTables = routes.trailFromTables;
  w.leadFromTables = routes.leadFromTables;
  w.shape = WaveShape{c.fastCalculation ? c.baseWaveNumber : kappa, c.oneSide, c.spaceFadeRate};
  w.constantGrowth = w.shape.spaceFadeRate == 0.0;
  w.growth = Exp(w.shape.spaceFadeRate * 0.0 + s.trailExponentShift);
  w.flankDecayIsPhaseDecay = !c.oneSide && s.leadExponentShift == 0.0;
  w.rise = SourceTerms{{s.riseSin, s.riseSinPhase}};
  w.trail = SourceTerms{{s.trailLevel, s.trailSin, s.trailCos, s.trailCosSlope, s.trailSinSlope}};
  w.lead = SourceTerms{
      {s.leadLevel, s.leadLevelPhase, s.frontCos, s.leadLevelSlope, s.leadLevelPhaseSlope, s.frontCosSlope}};
  w.nodeX = s.nodeX;
  w.nodeY = s.nodeY;
  const int64_t lastColumn = width_ - 1;
  const int64_t lastRow = height_ - 1;
  w.right = Run{-w.nodeX, lastColumn - w.nodeX}.Within(0, tables.columnCount);
  w.left = Run{w.nodeX - lastColumn, w.nodeX}.Within(1, tables.columnCount);
  if (w.right.empty() && w.left.empty()) return false;

  // The rows the source reaches: the run of offsets the cut-offs pass within the grid, and the first one
  // ahead of the crest.
  std::vector<RowPlan>& plans = sourcePlan.rows;
  plans.clear();
  const int64_t nodeY = s.nodeY;
  const int64_t scale = tables.rowStep;
  const int64_t farthestRow = std::min<int64_t>(tables.rowCount / scale, std::max(nodeY, lastRow - nodeY));
  const int count = tables.columnCount + 1;
  for (int64_t d = std::max<int64_t>(0, std::max(-nodeY, nodeY - lastRow)); d <= farthestRow; ++d) {
    RowPlan plan{};
    plan.up = nodeY + d >= 0 && nodeY + d <= lastRow;
    plan.down = d > 0 && nodeY - d >= 0 && nodeY - d <= lastRow;
    if (!plan.up && !plan.down) continue;
    const float* distances = tables.DistanceRow(static_cast<int>(d * scale));
    int64_t first = 0;
    int64_t end;
    if (w.rising) {
      end = FirstFailing(distances, count, [&](float r) { return WithinRiseReach(kappa, r); });
      plan.crest = end;
    } else {
      end = FirstFailing(distances, count, [&](float r) { return WithinLeadReach(kappa, r - front); });
      first = FirstFailing(distances, count, [&](float r) { return !WithinTrailReach(alpha, r - front); });
      plan.crest = FirstFailing(distances, count, [&](float r) { return BehindCrest(r - front); });
    }
    // Distances grow with the row offset too: once a row's nearest offset is out of reach, every
    // further row is.
    if (end == 0) break;
    plan.right = w.right.Within(first, end - 1);
    plan.left = w.left.Within(first, end - 1);
    if (plan.right.empty() && plan.left.empty()) continue;
    plan.both = plan.right.empty()  ? plan.left
                : plan.left.empty() ? plan.right
                                    : Run{std::min(plan.left.first, plan.right.first),
                                          std::max(plan.left.last, plan.right.last)};
    plan.d = static_cast<int>(d);
    plans.push_back(plan);
  }
  if (plans.empty()) return false;
  RouteCounts& counts = sourcePlan.counts;
  if (w.rising) {
    counts.risingComputed += !w.riseFromTables;
  } else {
    counts.constantGrowth += !w.trailFromTables && w.constantGrowth;
    counts.leadOnlyComputed += w.trailFromTables && !w.leadFromTables;
    counts.trailRebased += s.trailRebased;
    if (!(w.trailFromTables && w.leadFromTables)) ComputeClasses(sourcePlan, scratch);
  }
  return true;
}

void FrameEngine::ApplySource(const SourcePlan& sourcePlan, int firstRow, int endRow,
                              ThreadScratch& scratch) {
  const Walk& w = sourcePlan.walk;
  const RowTerms terms{scratch.height.data(), scratch.slopeX.data(), scratch.slopeY.data(), nullptr};
  const auto inBand = [&](int64_t b) { return b >= firstRow && b < endRow; };
  for (const RowPlan& plan : sourcePlan.rows) {
    const bool up = plan.up && inBand(w.nodeY + plan.d);
    const bool down = plan.down && inBand(w.nodeY - plan.d);
    if (!up && !down) continue;
    if (!fuseClassRuns_ || w.rising || (w.trailFromTables && w.leadFromTables)) {
      ComputeRow(sourcePlan, plan, terms);
      if (up) ApplyRow(w, static_cast<int>(w.nodeY + plan.d), plan.right, plan.left, false, terms);
      if (down) ApplyRow(w, static_cast<int>(w.nodeY - plan.d), plan.right, plan.left, true, terms);
      continue;
    }
    // Both branches computed: every class of the row has its values, so the row is one run of classes.
    if (!w.trailFromTables && !w.leadFromTables) {
      AddClassRuns(sourcePlan, plan, plan.right, plan.left, up, down);
      continue;
    }
    // Segment by segment: the computed ones straight from their classes' values to the nodes, the others
    // through the row of terms.
    const Run segments[2] = {plan.both.Within(plan.both.first, plan.crest - 1),
                             plan.both.Within(plan.crest, plan.both.last)};
    const bool computed[2] = {!w.trailFromTables, !w.leadFromTables};
    for (int branch = 0; branch < 2; ++branch) {
      const Run& segment = segments[branch];
      if (segment.empty()) continue;
      const Run right = plan.right.Within(segment.first, segment.last);
      const Run left = plan.left.Within(segment.first, segment.last);
      if (computed[branch]) {
        AddClassRuns(sourcePlan, plan, right, left, up, down);
        continue;
      }
      ComputeSegment(sourcePlan, plan.d, segment, branch == 0 ? Branch::kBehindCrest : Branch::kAheadOfCrest,
                     terms);
      if (up) ApplyRow(w, static_cast<int>(w.nodeY + plan.d), right, left, false, terms);
      if (down) ApplyRow(w, static_cast<int>(w.nodeY - plan.d), right, left, true, terms);
    }
  }
}

// The offsets of a computed segment on the right and the left side, cut into pieces that each side covers
// whole, so that each class's values are read once for both sides where they overlap.
void FrameEngine::AddClassRuns(const SourcePlan& p, const RowPlan& plan, const Run& right, const Run& left,
                               bool up, bool down) {
  const Walk& w = p.walk;
  const WaveTables& tables = *w.tables;
  const int32_t* classes = tables.ClassRow(plan.d * tables.rowStep);
  std::array<int64_t, 4> cuts{};
  int n = 0;
  for (const Run* side : {&right, &left}) {
    if (side->empty()) continue;
    cuts[static_cast<std::size_t>(n++)] = side->first;
    cuts[static_cast<std::size_t>(n++)] = side->last + 1;
  }
  for (int k = 1; k < n; ++k)  // at most four: insertion
    for (int m = k; m > 0 && cuts[static_cast<std::size_t>(m - 1)] > cuts[static_cast<std::size_t>(m)]; --m)
      std::swap(cuts[static_cast<std::size_t>(m - 1)], cuts[static_cast<std::size_t>(m)]);
  const std::size_t upStart = static_cast<std::size_t>(w.nodeY + plan.d) * static_cast<std::size_t>(width_);
  const std::size_t downStart = static_cast<std::size_t>(w.nodeY - plan.d) * static_cast<std::size_t>(width_);
  const auto at = [&](bool row, std::size_t start, int64_t column) {
    if (!row) return NodeSums{nullptr, nullptr, nullptr};
    const std::size_t a = start + static_cast<std::size_t>(column);
    return NodeSums{&heightSums_[a], &slopeXSums_[a], &slopeYSums_[a]};
  };
  for (int q = 0; q + 1 < n; ++q) {
    const Run piece{cuts[static_cast<std::size_t>(q)], cuts[static_cast<std::size_t>(q) + 1] - 1};
    if (piece.empty()) continue;
    const bool onRight = !right.Within(piece.first, piece.last).empty();
    const bool onLeft = !left.Within(piece.first, piece.last).empty();
    if (!onRight && !onLeft) continue;
    const ClassRunTargets targets{at(onRight && up, upStart, w.nodeX + piece.first),
                                  at(onRight && down, downStart, w.nodeX + piece.first),
                                  at(onLeft && up, upStart, w.nodeX - piece.last),
                                  at(onLeft && down, downStart, w.nodeX - piece.last)};
    kernels_->classRun(p.classValues.data(), classes, static_cast<double>(plan.d),
                       static_cast<int>(piece.first), static_cast<int>(piece.last - piece.first + 1),
                       targets);
  }
}

// A travelling source whose factors are computed: its contribution depends on the distance alone, so it is
// computed once for each distance class its rows reach, in ascending distance, behind the crest first.
void FrameEngine::ComputeClasses(SourcePlan& p, ThreadScratch& scratch) const {
  const Walk& w = p.walk;
  const WaveTables& tables = *w.tables;
  const bool computed[2] = {!w.trailFromTables, !w.leadFromTables};
  const auto segmentsOf = [](const RowPlan& plan) {
    return std::array<Run, 2>{plan.both.Within(plan.both.first, plan.crest - 1),
                              plan.both.Within(plan.crest, plan.both.last)};
  };
  // The nearest and farthest class the computed segments reach (along a row the classes ascend, so each
  // segment's ends bound it), and the first class ahead of the crest.
  int32_t lowest = tables.ClassCount();
  int32_t highest = -1;
  for (const RowPlan& plan : p.rows) {
    const int32_t* row = tables.ClassRow(plan.d * tables.rowStep);
    const std::array<Run, 2> segments = segmentsOf(plan);
    for (int branch = 0; branch < 2; ++branch) {
      if (!computed[branch] || segments[branch].empty()) continue;
      lowest = std::min(lowest, row[segments[branch].first]);
      highest = std::max(highest, row[segments[branch].last]);
    }
  }
  if (highest < lowest) return;
  const float front = w.source->frontDistance;
  const int32_t crest = lowest + FirstFailing(tables.ClassDistances() + lowest, highest + 1 - lowest,
                                              [&](float r) { return BehindCrest(r - front); });
  const int32_t span = spanNearClasses_ ? NearClassesEnd(w, lowest, highest) : lowest;

  // The classes below `span` lie nearer than the grid's edge on every side of the source: the source
  // reaches each of them, so they are computed in one ascending run straight from the classes' arrays.
  // The farther ones are stamped where the computed segments reach them and listed. The stamps are kept
  // apart from the values, a byte a class, small enough to stay in the cache while a source marks; they
  // are cleared once every 255 sources, when the serial wraps. Both are sized by SizeScratch on the calling
  // thread: a plan never allocates.
  if (++scratch.classSerial == 0) {
    std::fill(scratch.classStamps.begin(), scratch.classStamps.end(), uint8_t{0});
    scratch.classSerial = 1;
  }
  const uint8_t serial = scratch.classSerial;
  uint8_t* stamps = scratch.classStamps.data();
  if (span <= highest) {
    for (const RowPlan& plan : p.rows) {
      const int32_t* row = tables.ClassRow(plan.d * tables.rowStep);
      const std::array<Run, 2> segments = segmentsOf(plan);
      for (int branch = 0; branch < 2; ++branch) {
        const Run& segment = segments[branch];
        if (!computed[branch] || segment.empty() || row[segment.last] < span) continue;
        const int64_t from = std::partition_point(row + segment.first, row + segment.last + 1,
                                                  [&](int32_t k) { return k < span; }) -
                             row;
        for (int64_t i = from; i <= segment.last; ++i) stamps[row[i]] = serial;
      }
    }
  }
  // The stamped classes in ascending distance, those behind the crest first. The list is written one entry
  // ahead and grows only by the stamped classes: no branch to mispredict.
  int32_t* list = scratch.classList.data();
  const int32_t bounds[3] = {lowest, crest, highest + 1};
  std::size_t listed[3] = {0, 0, 0};
  std::size_t n = 0;
  for (int branch = 0; branch < 2; ++branch) {
    for (int32_t k = std::max(bounds[branch], span); k < bounds[branch + 1]; ++k) {
      list[n] = k;
      n += stamps[k] == serial;
    }
    listed[branch + 1] = n;
  }
  // Their values, a chunk at a time. The near run's distances are read where they stand, but for the last
  // chunk of the classes, whose registers would read past the arrays' end; the listed classes' distances
  // are gathered.
  constexpr std::size_t kChunk = ThreadScratch::kChunk;
  const RowTerms out{scratch.chunkHeight.data(), nullptr, nullptr, scratch.chunkSlope.data()};
  const auto compute = [&](int branch, const float* distances, const float* inverseDistances,
                           std::size_t count) {
    ComputeTravelling(w, branch == 0 ? Branch::kBehindCrest : Branch::kAheadOfCrest, distances,
                      inverseDistances, 0, static_cast<int>(count) - 1, 0.0, out);
  };
  const double* __restrict height = scratch.chunkHeight.data();
  const double* __restrict slope = scratch.chunkSlope.data();
  for (int branch = 0; branch < 2; ++branch) {
    if (!computed[branch]) continue;
    const int32_t spanEnd = std::min(bounds[branch + 1], span);
    for (int32_t from = bounds[branch]; from < spanEnd; from += static_cast<int32_t>(kChunk)) {
      const std::size_t count = std::min<std::size_t>(kChunk, static_cast<std::size_t>(spanEnd - from));
      const float* distances = tables.ClassDistances() + from;
      const float* inverseDistances = tables.ClassInverseDistances() + from;
      if (from + static_cast<int64_t>(count) + kReadPastClasses > tables.ClassCount()) {
        std::copy(distances, distances + count, scratch.chunkDistances.begin());
        std::copy(inverseDistances, inverseDistances + count, scratch.chunkInverseDistances.begin());
        distances = scratch.chunkDistances.data();
        inverseDistances = scratch.chunkInverseDistances.data();
      }
      compute(branch, distances, inverseDistances, count);
      ClassValue* __restrict values = p.classValues.data() + from;
      for (std::size_t m = 0; m < count; ++m) values[m] = ClassValue{height[m], slope[m]};
    }
    for (std::size_t from = listed[branch]; from < listed[branch + 1]; from += kChunk) {
      const std::size_t count = std::min(kChunk, listed[branch + 1] - from);
      for (std::size_t m = 0; m < count; ++m) {
        scratch.chunkDistances[m] = tables.ClassDistance(list[from + m]);
        scratch.chunkInverseDistances[m] = tables.ClassInverseDistance(list[from + m]);
      }
      compute(branch, scratch.chunkDistances.data(), scratch.chunkInverseDistances.data(), count);
      for (std::size_t m = 0; m < count; ++m)
        p.classValues[static_cast<std::size_t>(list[from + m])] = ClassValue{height[m], slope[m]};
    }
  }
}

// The first class in [lowest, highest + 1) that may lie beyond the grid's edge on some side of the source:
// every offset (I, J) of a nearer class has I below the first column offset off the grid on both sides and J
// below the first row offset off the grid above and below, since the distances rise along the table's rows
// and columns. So the source reaches every class in [lowest, result) that its distance cut-offs pass.
// Only for a source on the grid (its own node's offsets, 0, are reached from there); else lowest.
int32_t FrameEngine::NearClassesEnd(const Walk& w, int32_t lowest, int32_t highest) const {
  const WaveTables& tables = *w.tables;
  const int64_t lastColumn = width_ - 1;
  const int64_t lastRow = height_ - 1;
  if (w.nodeX < 0 || w.nodeX > lastColumn || w.nodeY < 0 || w.nodeY > lastRow) return lowest;
  const int64_t columnOff = std::max(w.nodeX, lastColumn - w.nodeX) + 1;
  const int64_t rowOff = (std::max(w.nodeY, lastRow - w.nodeY) + 1) * tables.rowStep;
  float edge = std::numeric_limits<float>::infinity();
  if (columnOff <= tables.columnCount) edge = std::min(edge, tables.Distance(static_cast<int>(columnOff), 0));
  if (rowOff <= tables.rowCount) edge = std::min(edge, tables.Distance(0, static_cast<int>(rowOff)));
  return lowest + FirstFailing(tables.ClassDistances() + lowest, highest + 1 - lowest,
                               [&](float r) { return r < edge; });
}

void FrameEngine::ComputeRow(const SourcePlan& p, const RowPlan& plan, const RowTerms& out) const {
  if (p.walk.rising) {
    ComputeSegment(p, plan.d, plan.both, Branch::kRising, out);
    return;
  }
  // Behind first: the registers it writes past the crest are overwritten by the segment ahead.
  ComputeSegment(p, plan.d, plan.both.Within(plan.both.first, plan.crest - 1), Branch::kBehindCrest, out);
  ComputeSegment(p, plan.d, plan.both.Within(plan.crest, plan.both.last), Branch::kAheadOfCrest, out);
}

void FrameEngine::ComputeSegment(const SourcePlan& p, int d, const Run& run, Branch branch,
                                 const RowTerms& out) const {
  const Walk& w = p.walk;
  if (run.empty()) return;
  const WaveTables& tables = *w.tables;
  const int j = d * tables.rowStep;
  const double rowOffset = d;
  const int from = static_cast<int>(run.first);
  const int to = static_cast<int>(run.last);
  switch (branch) {
    case Branch::kRising:
      if (w.riseFromTables) {
        return kernels_->risingRow(Planes(tables, kRiseLevel, 4, j), w.rise, rowOffset, from, to, out);
      }
      break;
    case Branch::kBehindCrest:
      if (w.trailFromTables) {
        return kernels_->behindCrestRow(Planes(tables, kTrailLift, 5, j), w.trail, rowOffset, from, to, out);
      }
      break;
    case Branch::kAheadOfCrest:
      if (w.leadFromTables) {
        return kernels_->aheadOfCrestRow(Planes(tables, kLeadLevelFactor, 6, j), w.lead, rowOffset, from, to,
                                         out);
      }
      break;
  }
  if (branch == Branch::kRising) {
    // The factors computed per offset, with the formulas of the node-by-node evaluation (RiseFactorsAt).
    const FactorInputs shape{
        w.shape.waveNumber, w.shape.spaceFadeRate, 0.0, w.shape.oneSide, false, 0.0, false, kFullForm};
    return kernels_->risingComputedRow(tables.DistanceRow(j), tables.InverseDistanceRow(j), shape, w.rise,
                                       rowOffset, from, to, out);
  }
  // Travelling with computed factors: the values of the offsets' distance classes (ComputeClasses).
  const int32_t* classes = tables.ClassRow(j);
  for (int i = from; i <= to; ++i) {
    const ClassValue& value = p.classValues[static_cast<std::size_t>(classes[i])];
    const double slope = value.slope;
    out.height[i] = value.height;
    out.slopeX[i] = slope * i;
    out.slopeY[i] = slope * rowOffset;
  }
}

void FrameEngine::ComputeTravelling(const Walk& w, Branch branch, const float* distances,
                                    const float* inverseDistances, int from, int to, double rowOffset,
                                    const RowTerms& out) const {
  const RippleSource& s = *w.source;
  // The lean or short forms of sin, cos and exp where every distance of the run keeps their arguments in
  // range: the classes are listed in ascending distance (ComputeClasses), so the run's ends bound them.
  const float nearest = distances[from];
  const float farthest = distances[to];
  if (branch == Branch::kBehindCrest) {
    FactorInputs shape{w.shape.waveNumber,
                       w.shape.spaceFadeRate,
                       s.trailExponentShift,
                       w.shape.oneSide,
                       w.constantGrowth,
                       w.growth,
                       false,
                       kFullForm};
    shape.form = FormFor(shape, false, nearest, farthest);
    return kernels_->behindCrestComputedRow(distances, inverseDistances, shape, w.trail, rowOffset, from, to,
                                            out);
  }
  FactorInputs shape{w.shape.waveNumber,
                     w.shape.spaceFadeRate,
                     s.leadExponentShift,
                     w.shape.oneSide,
                     false,
                     0.0,
                     w.flankDecayIsPhaseDecay,
                     kFullForm};
  shape.form = FormFor(shape, true, nearest, farthest);
  kernels_->aheadOfCrestComputedRow(distances, inverseDistances, shape, w.lead, rowOffset, from, to, out);
}

void FrameEngine::ApplyRow(const Walk& w, int b, const Run& right, const Run& left, bool negateY,
                           const RowTerms& terms) {
  const std::size_t rowStart = static_cast<std::size_t>(b) * static_cast<std::size_t>(width_);
  if (!right.empty()) {
    const std::size_t a = rowStart + static_cast<std::size_t>(w.nodeX + right.first);
    const NodeSums nodes{&heightSums_[a], &slopeXSums_[a], &slopeYSums_[a]};
    kernels_->applyRun(terms, static_cast<int>(right.first), static_cast<int>(right.last - right.first + 1),
                       nodes, false, negateY);
  }
  if (!left.empty()) {
    const std::size_t a = rowStart + static_cast<std::size_t>(w.nodeX - left.last);
    const NodeSums nodes{&heightSums_[a], &slopeXSums_[a], &slopeYSums_[a]};
    kernels_->applyRun(terms, static_cast<int>(left.last), static_cast<int>(left.last - left.first + 1),
                       nodes, true, negateY);
  }
}

}  // namespace lumar
