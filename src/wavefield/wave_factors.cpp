#include "wavefield/wave_factors.h"

#include "wavefield/lane_formulas.h"

namespace lumar {

RiseFactors ComputeRiseFactors(const WaveShape& shape, double r, double ir) {
  const FactorInputs travel{shape.waveNumber, shape.spaceFadeRate, 0.0, shape.oneSide, false, 0.0, false,
                            kFullForm};
  double f[4];
  RiseFactorsAt<ScalarLane>(travel, r, ir, f);
  return {f[0], f[1], f[2], f[3]};
}

TrailFactors ComputeTrailFactors(const WaveShape& shape, double r, double ir, double exponentShift) {
  const FactorInputs travel{
      shape.waveNumber, shape.spaceFadeRate, exponentShift, shape.oneSide, false, 0.0, false, kFullForm};
  double f[5];
  TrailFactorsAt<ScalarLane>(travel, r, ir, f);
  return {f[0], f[1], f[2], f[3], f[4]};
}

LeadFactors ComputeLeadFactors(const WaveShape& shape, double r, double ir, double exponentShift) {
  const FactorInputs travel{
      shape.waveNumber, shape.spaceFadeRate, exponentShift, shape.oneSide, false, 0.0, false, kFullForm};
  double f[6];
  LeadFactorsAt<ScalarLane>(travel, r, ir, f);
  return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

}  // namespace lumar
