// The wave field at one grid node: the sum over the active sources of their height and radial slope.
#pragma once

#include "wavefield/kernel_table.h"
#include "wavefield/node_field.h"
#include "wavefield/wave_factors.h"
#include "wavefield/wave_field.h"

namespace lumar {

// The field at node column a (0..gridCellsX) and row b (0..gridCellsY), after the sources have been
// advanced for the frame. Only reads the field; nodes may be evaluated in any order. A source whose
// offset from the node lies outside the tables contributes nothing.
NodeField EvaluateNode(const WaveField& field, int a, int b);

// The unscaled sums behind EvaluateNode.
FieldSums SumSources(const WaveField& field, int a, int b);

// EvaluateNode's outputs from the sums: the scales of the run and the unit refraction vector.
NodeField NodeFieldFromSums(const RunConstants& constants, const FieldSums& sums);
NodeField NodeFieldFromSums(const OutputScales& scales, const FieldSums& sums);

// A node's field as the engine's outputs hold it: its normal's x and y and the refraction's unit are floats
// in both (NodeFieldFromSums rounds them).
NodeOutputs NodeOutputsOf(const NodeField& node);

// The cut-offs: beyond them a source contributes exactly nothing. While rising, kappa * r > 10; while
// travelling, more than 4/alpha behind the crest (alpha * delta < -4) or more than 10/kappa ahead of it
// (delta * kappa > 10), with delta = r - frontDistance. A node on the crest (delta = 0) counts as behind.
// Each test is monotonic in r, so along a table row the pairs that pass form one run.
inline bool WithinRiseReach(float kappa, float r) { return !(kappa * r > 10.0f); }
inline bool WithinTrailReach(float alpha, float delta) { return !(alpha * delta < -4.0f); }
inline bool WithinLeadReach(float kappa, float delta) { return !(delta * kappa > 10.0f); }
inline bool BehindCrest(float delta) { return delta <= 0.0f; }

// Which branches of a source read their factors from the tables; the others compute them at the node.
// Fast calculation reads them, and so does normal calculation for a source whose wave number is the base
// one (the tables hold exactly what it would compute), except on a side whose exponent was rebased out of
// the tables' range. The node-by-node evaluation and the frame engine both route by this.
struct FactorRoutes {
  bool riseFromTables;
  bool trailFromTables;
  bool leadFromTables;
};
inline FactorRoutes RoutesFor(const RunConstants& c, const RippleSource& s) {
  const bool tablesFit = c.fastCalculation || s.effectiveWaveNumber == c.baseWaveNumber;
  return {tablesFit, tablesFit && !s.trailRebased, tablesFit && !s.leadRebased};
}

// One source's part at a node: its height, and its radial slope divided by the distance (so that
// slope * dx and slope * dy are the slope's components). One function per branch of the wave, given the
// distance factors at the node's distance.
struct Contribution {
  double height = 0.0;
  double slope = 0.0;
};
Contribution RisingContribution(const RippleSource& source, const RiseFactors& factors);
Contribution BehindCrestContribution(const RippleSource& source, const TrailFactors& factors);
Contribution AheadOfCrestContribution(const RippleSource& source, const LeadFactors& factors);

}  // namespace lumar
