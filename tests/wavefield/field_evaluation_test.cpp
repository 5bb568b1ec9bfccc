#include "wavefield/field_evaluation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "wavefield/field_fixture.h"

namespace lumar {
namespace {

using testing_support::DefaultRecord;
using testing_support::PlaceSource;
using testing_support::Prepare;
using testing_support::WorkedRecord;

// One source at node (0, 0) of the worked example, aged `milliseconds`.
struct OneSource {
  WaveField field;
  ManualClock clock;
  RippleSource* source = nullptr;

  explicit OneSource(ParameterSet record, uint32_t milliseconds, int nodeX = 0, int nodeY = 0) {
    Prepare(field, record);
    source = &PlaceSource(field, clock, nodeX, nodeY);
    clock.Set(milliseconds);
    UpdateSource(*source, field, clock);
  }
  WaveShape Shape() const {
    return {source->effectiveWaveNumber, field.constants.oneSide, field.constants.spaceFadeRate};
  }
};

TEST(FieldEvaluation, WorkedValuesOfOneSource) {
  OneSource travelling(WorkedRecord(), 2000);                              // D = 175 px, phi = 4 pi
  EXPECT_NEAR(SumSources(travelling.field, 12, 0).height, -0.8515, 1e-4);  // behind the crest
  EXPECT_NEAR(SumSources(travelling.field, 18, 0).height, 0.9598, 1e-4);   // ahead
  EXPECT_NEAR(SumSources(travelling.field, 20, 0).height, 0.5344, 1e-4);
  EXPECT_NEAR(SumSources(travelling.field, 25, 0).height, 0.0513, 1e-4);
  EXPECT_NEAR(SumSources(travelling.field, 12, 0).slopeX / 12, -0.001451, 1e-6);

  OneSource rising(WorkedRecord(), 100);  // quarterWaveTime 0.25 s
  EXPECT_NEAR(SumSources(rising.field, 0, 0).height, 0.4449, 1e-4);
  EXPECT_NEAR(SumSources(rising.field, 1, 0).height, 0.3678, 1e-4);
}

TEST(FieldEvaluation, ContinuousAcrossTheCrest) {
  for (int zSides = 0; zSides <= 1; ++zSides) {
    ParameterSet record = WorkedRecord();
    record.zSides = zSides;
    record.timeFading = 1000;  // tau = 1 s: the envelope is below 1 at 1.4 s
    OneSource one(record, 1400);
    const RippleSource& s = *one.source;
    ASSERT_LT(s.envelope, 1.0f);
    const double d = s.frontDistance;
    const Contribution behind = BehindCrestContribution(s, ComputeTrailFactors(one.Shape(), d, 1 / d));
    const Contribution ahead = AheadOfCrestContribution(s, ComputeLeadFactors(one.Shape(), d, 1 / d));
    EXPECT_NEAR(behind.height, ahead.height, 1e-5) << "zSides " << zSides;
    EXPECT_NEAR(behind.slope, ahead.slope, 1e-7) << "zSides " << zSides;
    // The crest's main term is E_t (one side: 2 E_t), plus the small centre term.
    const double kd = s.effectiveWaveNumber * d;
    const double phi = s.effectiveWaveNumber * (100.0 * 1.4);
    const double centreTerm = s.envelope * std::exp(-kd) * std::sin(kd) * std::cos(phi);
    EXPECT_NEAR(ahead.height, (zSides ? 2 : 1) * s.envelope + centreTerm, 1e-5);
  }
}

TEST(FieldEvaluation, ContinuousAcrossTheSwitchFromRisingToTravelling) {
  for (int zSides = 0; zSides <= 1; ++zSides) {
    ParameterSet record = WorkedRecord();
    record.zSides = zSides;
    record.speed = 10;        // quarterWaveTime 2.5 s
    record.timeFading = 500;  // tau = 2 s: E_t = e^(-5/16) at the switch
    OneSource one(record, 2500);
    const RippleSource& s = *one.source;
    ASSERT_FLOAT_EQ(s.quarterWaveTime, 2.5f);
    ASSERT_FALSE(s.age < s.quarterWaveTime);  // the travelling branch from now on
    const double envelope = std::exp(-5.0 / 16);
    ASSERT_NEAR(s.envelope, envelope, 1e-6);
    for (double r : {0.0, 5.0, 10.0, 30.0, 60.0, 150.0}) {
      const double ir = r == 0.0 ? 0.0 : 1 / r;
      const Contribution rising = RisingContribution(s, ComputeRiseFactors(one.Shape(), r, ir));
      const Contribution travelling =
          r - s.frontDistance <= 0.0 ? BehindCrestContribution(s, ComputeTrailFactors(one.Shape(), r, ir))
                                     : AheadOfCrestContribution(s, ComputeLeadFactors(one.Shape(), r, ir));
      EXPECT_NEAR(rising.height, travelling.height, 1e-5) << "r " << r << " zSides " << zSides;
      EXPECT_NEAR(rising.slope, travelling.slope, 1e-7) << "r " << r << " zSides " << zSides;
    }
    // The centre stands at E_t with both sides and 2 E_t with one side.
    EXPECT_NEAR(SumSources(one.field, 0, 0).height, (zSides ? 2 : 1) * envelope, 1e-5);
  }
}

TEST(FieldEvaluation, CentreHasHeightButNoSlope) {
  OneSource one(WorkedRecord(), 1000, 40, 30);
  const FieldSums sums = SumSources(one.field, 40, 30);
  EXPECT_NE(sums.height, 0.0);
  EXPECT_EQ(sums.slopeX, 0.0);
  EXPECT_EQ(sums.slopeY, 0.0);
}

TEST(FieldEvaluation, ASourceOfAgeZeroAddsNothing) {
  OneSource one(WorkedRecord(), 0, 10, 10);
  const NodeField node = EvaluateNode(one.field, 10, 10);
  EXPECT_EQ(node.height, 0.0f);
  EXPECT_EQ(node.normal[0], 0.0);
  EXPECT_EQ(node.refraction[2], -1.0);
}

TEST(FieldEvaluation, SpaceFadingCutsOffFarBehindTheCrestOnlyWhenItFades) {
  ParameterSet record = WorkedRecord();
  record.spaceFading = 0;
  OneSource calm(record, 5000);  // D = 475 px; the node at 50 px is 425 px behind
  EXPECT_NE(SumSources(calm.field, 5, 0).height, 0.0);
  record.spaceFading = 50;  // alpha = 0.01: 4 / alpha = 400 px
  OneSource fading(record, 5000);
  EXPECT_EQ(SumSources(fading.field, 5, 0).height, 0.0);
  EXPECT_NE(SumSources(fading.field, 45, 0).height, 0.0);
}

TEST(FieldEvaluation, DoubledRowOffsetsIndexTheTablesOnly) {
  ParameterSet record = WorkedRecord();
  record.view = kViewBottom;
  OneSource one(record, 1500, 20, 20);
  const FieldSums sums = SumSources(one.field, 20, 23);
  const WaveTables& tables = one.field.tables;
  ASSERT_LE(tables.Distance(0, 6), one.source->frontDistance);  // 60 px from the centre, behind the crest
  const Contribution expected = BehindCrestContribution(*one.source, tables.Trail(0, 6));
  EXPECT_DOUBLE_EQ(sums.height, expected.height);
  EXPECT_DOUBLE_EQ(sums.slopeY, expected.slope * 3);
  EXPECT_EQ(sums.slopeX, 0.0);
}

// Fields with the same sources but other signs in the record.
void CopySources(const WaveField& from, WaveField& to) { to.sourceSet = from.sourceSet; }

TEST(FieldEvaluation, FallFlipsEverythingAndMirrorFlipsOnlyTheRefraction) {
  OneSource out(WorkedRecord(), 1300, 30, 30);  // fall out, mirror (the defaults)
  ParameterSet in = WorkedRecord();
  in.fall = 0;
  ParameterSet lens = WorkedRecord();
  lens.optics = 0;
  WaveField fallIn;
  WaveField lensField;
  Prepare(fallIn, in);
  Prepare(lensField, lens);
  CopySources(out.field, fallIn);
  CopySources(out.field, lensField);
  for (int a = 10; a < 50; a += 3) {
    const NodeField o = EvaluateNode(out.field, a, 27);
    const NodeField i = EvaluateNode(fallIn, a, 27);
    const NodeField l = EvaluateNode(lensField, a, 27);
    ASSERT_NE(o.height, 0.0f);
    ASSERT_NE(o.normal[0], 0.0);
    EXPECT_EQ(i.height, -o.height);
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(i.normal[k], -o.normal[k]);
      EXPECT_EQ(i.refraction[k], -o.refraction[k]);
      EXPECT_EQ(l.normal[k], o.normal[k]);
      EXPECT_EQ(l.refraction[k], -o.refraction[k]);
    }
    EXPECT_EQ(l.height, o.height);
    EXPECT_EQ(i.refraction[2], o.refraction[2]);
  }
}

TEST(FieldEvaluation, NormalCalculationWithoutBroadeningMatchesFast) {
  ParameterSet record = DefaultRecord(640, 480);
  record.spaceFading = 20;
  record.waveLength = 120;
  record.speed = 300;
  record.drops = 20;
  WaveField fast;
  Prepare(fast, record);
  record.calculation = 0;
  WaveField normal;
  Prepare(normal, record);
  ManualClock clock;
  RandomGenerator random(5);
  testing_support::RunFrames(fast, clock, random, 600, 33);
  ASSERT_GT(fast.sourceSet.sourceCount, 5);
  CopySources(fast, normal);
  double largest = 0.0;
  for (int a = 0; a <= fast.constants.gridCellsX; ++a) {
    for (int b = 0; b <= fast.constants.gridCellsY; ++b) {
      const FieldSums f = SumSources(fast, a, b);
      const FieldSums n = SumSources(normal, a, b);
      largest = std::max(largest, std::abs(f.height));
      EXPECT_NEAR(n.height, f.height, 1e-9);
      EXPECT_NEAR(n.slopeX, f.slopeX, 1e-9);
      EXPECT_NEAR(n.slopeY, f.slopeY, 1e-9);
    }
  }
  EXPECT_GT(largest, 0.5);
}

TEST(FieldEvaluation, NormalsAndRefractionsOfARunningField) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    ParameterSet record = DefaultRecord(800, 600);
    record.calculation = calculation;
    record.broadening = calculation ? 0 : 60;
    record.waveLength = 150;
    record.speed = 400;
    record.drops = 30;
    WaveField field;
    Prepare(field, record);
    ManualClock clock;
    RandomGenerator random(8);
    testing_support::RunFrames(field, clock, random, 300, 40);
    double steepest = 0.0;
    for (int a = 0; a <= field.constants.gridCellsX; ++a) {
      for (int b = 0; b <= field.constants.gridCellsY; ++b) {
        const NodeField n = EvaluateNode(field, a, b);
        ASSERT_TRUE(std::isfinite(n.height));
        EXPECT_EQ(n.normal[2], -1.0);
        const double length =
            std::sqrt(n.refraction[0] * n.refraction[0] + n.refraction[1] * n.refraction[1] +
                      n.refraction[2] * n.refraction[2]);
        EXPECT_NEAR(length, 1.0, 1e-6);
        EXPECT_LT(n.refraction[2], 0.0);
        steepest = std::max(steepest, std::abs(n.normal[0]));
      }
    }
    EXPECT_GT(steepest, 0.01);
  }
}

TEST(FieldEvaluation, NodesOutsideTheGridReadNoTable) {
  OneSource one(WorkedRecord(), 1000, 50, 40);
  const NodeField far = EvaluateNode(one.field, one.field.constants.gridCellsX + 200, -300);
  EXPECT_EQ(far.height, 0.0f);
  EXPECT_TRUE(std::isfinite(EvaluateNode(one.field, -1, one.field.constants.gridCellsY + 1).height));
}

// Short waves on a large grid: e^(b psi) leaves double range while the crest is still on the screen. The
// field keeps to its closed form there.
TEST(FieldEvaluationLargeGrid, CrestFarOutStaysFiniteAndTrue) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    for (int zSides = 0; zSides <= 1; ++zSides) {
      OneSource one(testing_support::FarCrestRecord(calculation, zSides),
                    4950);  // D = 4940 px: e^(b psi) would be e^776
      const RippleSource& s = *one.source;
      ASSERT_EQ(s.leadRebased, zSides == 0);  // one side: beta * psi = 549 still fits
      ASSERT_FALSE(s.trailRebased);           // alpha * D = 124: the trail tables still serve
      const double kappa = s.effectiveWaveNumber;
      const double b = zSides ? kOneSideDecay : 1.0;
      const double phi = static_cast<float>(kappa * static_cast<float>(1000 * 4.95f));
      const double alpha = one.field.constants.spaceFadeRate;
      // Nodes 160 rows up (table row 320 in the bottom view) and across the crest.
      for (int dx = 360; dx <= one.field.constants.gridCellsX; ++dx) {
        const double r = one.field.tables.Distance(dx, 320);
        const double delta = r - s.frontDistance;
        double expected;
        if (delta * kappa > 10 || alpha * delta < -4) {
          expected = 0.0;  // beyond the cut-offs
        } else if (delta > 0) {
          expected = (zSides ? 2 : 1) * s.envelope * (1 + b * kappa * delta) * std::exp(-b * kappa * delta);
        } else {
          expected = s.envelope * std::exp(alpha * delta) * (std::sin(phi - kappa * r) + (zSides ? 1 : 0));
        }
        const FieldSums sums = SumSources(one.field, dx, 160);
        EXPECT_NEAR(sums.height, expected, 2e-4) << "dx " << dx;
        EXPECT_TRUE(std::isfinite(sums.slopeX));
      }
    }
  }
}

// Records only a hand-edited registry value can hold still give finite fields.
TEST(FieldEvaluationBadInput, ExtremeStoredValuesGiveFiniteFields) {
  const testing_support::RecordCase cases[] = {
      {"waveLength 1", [](ParameterSet& r) { r.waveLength = 1; }},
      {"waveLength huge", [](ParameterSet& r) { r.waveLength = INT32_MAX; }},
      {"speed 0", [](ParameterSet& r) { r.speed = 0; }},
      {"speed huge", [](ParameterSet& r) { r.speed = INT32_MAX; }},
      {"spaceFading huge", [](ParameterSet& r) { r.spaceFading = INT32_MAX; }},
      {"spaceFading huge, waveLength 1",
       [](ParameterSet& r) {
         r.spaceFading = 1000000;
         r.waveLength = 1;
       }},
      {"timeFading huge", [](ParameterSet& r) { r.timeFading = INT32_MAX; }},
      {"drops 0", [](ParameterSet& r) { r.drops = 0; }},
      {"drops huge", [](ParameterSet& r) { r.drops = INT32_MAX; }},
      {"broadening huge",
       [](ParameterSet& r) {
         r.broadening = INT32_MAX;
         r.calculation = 0;
       }},
      {"broadening with fast calculation", [](ParameterSet& r) { r.broadening = 100; }},
      {"reliefs huge",
       [](ParameterSet& r) {
         r.reliefGeometry = INT32_MAX;
         r.reliefLight = INT32_MIN;
         r.reliefOptical = INT32_MAX;
       }},
      {"odd flags",
       [](ParameterSet& r) {
         r.zSides = 7;
         r.effect = 9;
         r.view = -1;
         r.texture = -4;
       }},
  };
  for (const auto& c : cases) {
    for (int calculation = 0; calculation <= 1; ++calculation) {
      ParameterSet record = DefaultRecord(320, 200);
      record.calculation = calculation;
      record.drops = 20;
      c.apply(record);
      WaveField field;
      ASSERT_EQ(PrepareWaveField(field, record, {320, 200}, testing_support::NoFiles), SetupResult::Ok)
          << c.what;
      ManualClock clock;
      RandomGenerator random(21);
      SpawnSource(field, clock, random);
      for (int frame = 0; frame < 120; ++frame) {
        clock.Advance(frame % 10 == 0 ? 1700 : 30);
        AdvanceSources(field, clock, random);
        ASSERT_LE(field.sourceSet.sourceCount, kMaxSources);
        for (int a = 0; a <= field.constants.gridCellsX; a += 3) {
          for (int b = 0; b <= field.constants.gridCellsY; b += 3) {
            const NodeField n = EvaluateNode(field, a, b);
            ASSERT_TRUE(std::isfinite(n.height) && std::isfinite(n.normal[0]) && std::isfinite(n.normal[1]) &&
                        std::isfinite(n.refraction[0]) && std::isfinite(n.refraction[1]) &&
                        std::isfinite(n.refraction[2]))
                << c.what << " calculation " << calculation << " frame " << frame << " node " << a << ","
                << b;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace lumar
