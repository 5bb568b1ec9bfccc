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
// every offset at the same distance takes the same contribution.
//
// The engine is a part of its wave field and owns only scratch memory; it keeps no state between
// frames that the results depend on.
#pragma once

#include <cstdint>
#include <vector>

#include "wavefield/frame_engine_kernels.h"
#include "wavefield/node_field.h"

namespace lumar {

struct WaveField;

enum class SimdVariant { kSse2, kAvx2 };

bool SimdVariantSupported(SimdVariant variant);

class FrameEngine {
 public:
  // Runs the widest variant the processor supports.
  FrameEngine();

  // False, and the variant unchanged, when the processor lacks it.
  bool SelectVariant(SimdVariant variant);
  SimdVariant variant() const { return variant_; }

  // The sums of every node (a in 0..gridCellsX, b in 0..gridCellsY) for the field's sources as they
  // stand; read them with SumsAt until the next call.
  void SumField(const WaveField& field);
  FieldSums SumsAt(int a, int b) const {
    const std::size_t k = Index(a, b);
    return {heightSums_[k], slopeXSums_[k], slopeYSums_[k]};
  }
  // EvaluateNode's result at node (a, b), bit for bit, after SumField.
  NodeField NodeAt(int a, int b) const {
    const std::size_t k = Index(a, b);
    NodeField node;
    node.height = heights_[k];
    node.normal[0] = normalsX_[k];
    node.normal[1] = normalsY_[k];
    node.refraction[0] = refractionsX_[k];
    node.refraction[1] = refractionsY_[k];
    node.refraction[2] = -static_cast<double>(units_[k]);
    return node;
  }

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
  void SumSource(const WaveField& field, int index);
  void ComputeClasses(const Walk& walk);
  void ResolveOutputs(const WaveField& field);
  // One source's terms along its planned row for the offsets the row reaches.
  void ComputeRow(const Walk& walk, const RowPlan& plan);
  void ComputeSegment(const Walk& walk, int d, const Run& run, Branch branch, const RowTerms& out) const;
  // The travelling terms at distances[from..to] with factors computed there.
  void ComputeTravelling(const Walk& walk, Branch branch, const float* distances,
                         const float* inverseDistances, int from, int to, double rowOffset,
                         const RowTerms& out);
  // Adds the row's terms to grid row b: `right` forward from the source's column, `left` mirrored.
  void ApplyRow(const Walk& walk, int b, const Run& right, const Run& left, bool negateY);

  SimdVariant variant_ = SimdVariant::kSse2;
  const FrameKernels* kernels_ = nullptr;
  int width_ = 0;   // nodes per grid row: gridCellsX + 1
  int height_ = 0;  // grid rows: gridCellsY + 1
  // Per node, row by row: the height sum H and the slope sums Gx, Gy.
  std::vector<double> heightSums_;
  std::vector<double> slopeXSums_;
  std::vector<double> slopeYSums_;
  // Per node, row by row: the outputs (NodeAt).
  std::vector<float> heights_;
  std::vector<float> normalsX_;
  std::vector<float> normalsY_;
  std::vector<double> refractionsX_;
  std::vector<double> refractionsY_;
  std::vector<float> units_;
  // One source's terms along the current table row, indexed by the column offset.
  std::vector<double> rowHeight_;
  std::vector<double> rowSlopeX_;
  std::vector<double> rowSlopeY_;
  std::vector<double> rowSlope_;  // the radial slope over r, which the kernels store too
  // One source's rows.
  std::vector<RowPlan> plans_;
  // One source's values per distance class (those whose stamp is classSerial_), and the lists of
  // classes behind and ahead of its crest that it computes: their distances, library results and terms.
  uint32_t classSerial_ = 0;
  std::vector<uint32_t> classStamps_;
  struct ClassValue {
    double height;
    double slope;
  };
  std::vector<ClassValue> classValues_;
  std::vector<int32_t> classList_[2];
  std::vector<float> listDistances_;
  std::vector<float> listInverseDistances_;
  static constexpr int kWaveLanes = 5;
  std::vector<double> waveScratch_[kWaveLanes];
  std::vector<double> listHeight_;
  std::vector<double> listSlopeX_;
  std::vector<double> listSlopeY_;
  std::vector<double> listSlope_;
};

}  // namespace lumar
