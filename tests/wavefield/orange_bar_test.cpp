#include "wavefield/orange_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "wavefield/field_evaluation.h"
#include "wavefield/field_fixture.h"

namespace lumar {
namespace {

using testing_support::DefaultRecord;
using testing_support::PlaceSource;
using testing_support::Prepare;

// A weak geometric relief (5 of 100): the bar rests at depth 0.5 and rises 1/18 per unit of lift.
ParameterSet BarRecord(uint32_t width = 1024, uint32_t height = 768) {
  ParameterSet record = DefaultRecord(width, height);
  record.effect = kEffectBasis;
  record.showOrangeBar = 1;
  record.reliefGeometry = 5;
  record.geometryMax = 100;
  return record;
}

struct BarRig {
  explicit BarRig(const ParameterSet& r) : record(r) { Prepare(field, record); }
  OrangeBar MakeBar() const { return OrangeBar(BarSizeFor(record.screenWidth), record, field.constants); }
  std::vector<SurfaceVertex> Fill(const OrangeBar& bar) const {
    std::vector<SurfaceVertex> vertices(bar.MeshLayout().vertexCount);
    EXPECT_TRUE(bar.FillBarVertices(field, vertices.data(), vertices.size()));
    return vertices;
  }
  ParameterSet record;
  WaveField field;
};

TEST(OrangeBarSize, LargeModeGetsTheLargeBarAndItsMesh) {
  BarRig rig(BarRecord(1024, 768));
  const OrangeBar bar = rig.MakeBar();
  EXPECT_EQ(bar.barWidth(), 256);
  EXPECT_EQ(bar.barHeight(), 192);
  EXPECT_EQ(bar.columns(), 13);
  EXPECT_EQ(bar.rows(), 10);
  EXPECT_EQ(bar.MeshLayout().vertexCount, 154u);
  EXPECT_EQ(bar.MeshLayout().triangleCount, 260u);
  EXPECT_EQ(bar.MeshLayout().indexWidth, IndexWidth::Bits16);
  EXPECT_FLOAT_EQ(bar.widthFraction(), 0.25f);
  EXPECT_FLOAT_EQ(bar.heightFraction(), 0.25f);
}

TEST(OrangeBarSize, ModesUpTo800PixelsWideGetTheSmallBar) {
  EXPECT_EQ(BarSizeFor(800).width, 128);
  EXPECT_EQ(BarSizeFor(800).height, 96);
  EXPECT_EQ(BarSizeFor(801).width, 256);
  BarRig rig(BarRecord(800, 600));
  const OrangeBar bar = rig.MakeBar();
  EXPECT_EQ(bar.barWidth(), 128);
  EXPECT_EQ(bar.barHeight(), 96);
  EXPECT_EQ(bar.columns(), 7);
  EXPECT_EQ(bar.rows(), 5);
  EXPECT_FLOAT_EQ(bar.widthFraction(), 0.16f);
}

TEST(OrangeBarRelief, DepthAndRippleScalesFollowTheReliefSettings) {
  struct Case {
    const char* what;
    int32_t reliefGeometry, geometryMax, zSides, fall, drops;
    float rippleScale, depthBase, depthStep;
  };
  // Weak only while 0.07 x geometryMax, in single precision, exceeds the relief: exactly 7 % is deep.
  const Case cases[] = {
      {"weak relief", 5, 100, 0, 1, 10, 0.5f, 0.5f, 1.0f / 18},
      {"just below 7 %", 48, 700, 0, 1, 10, 0.5f, 0.5f, 1.0f / 18},
      {"exactly 7 % of 100", 7, 100, 0, 1, 10, 0.2f, 0.675f, 1.475f / 18},
      {"exactly 7 % of 700", 49, 700, 0, 1, 10, 0.2f, 1.725f, 2.525f / 18},
      {"both sides", 40, 100, 0, 1, 10, 0.2f, 1.5f, 2.3f / 18},
      {"one side, fall in", 40, 100, 1, 0, 10, 0.2f, 0.3f, 0.8f / 18},
      {"one side, fall out", 40, 100, 1, 1, 10, 0.2f, 2.0f, 3.0f / 18},
      // A damaged record: drops x reliefGeometry is far beyond int range.
      {"huge drops, fall out", 768, 100, 1, 1, 4587580, 0.2f, 17616307.2f, 17616308.2f / 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ParameterSet record = BarRecord();
    record.reliefGeometry = c.reliefGeometry;
    record.geometryMax = c.geometryMax;
    record.zSides = c.zSides;
    record.fall = c.fall;
    record.drops = c.drops;
    BarRig rig(record);
    const OrangeBar bar = rig.MakeBar();
    EXPECT_FLOAT_EQ(bar.rippleScale(), c.rippleScale);
    EXPECT_FLOAT_EQ(bar.depthBase(), c.depthBase);
    EXPECT_FLOAT_EQ(bar.depthStep(), c.depthStep);
  }
}

TEST(OrangeBarMotion, StartsInTheBottomLeftCornerMovingRightAndUp) {
  BarRig rig(BarRecord());
  OrangeBar bar = rig.MakeBar();
  EXPECT_EQ(bar.left(), -1.0f);
  EXPECT_EQ(bar.bottom(), -1.0f);
  bar.AnimateBar(0.0f);
  EXPECT_FLOAT_EQ(bar.left(), -1.0f);
  EXPECT_FLOAT_EQ(bar.bottom(), -1.0f);
  EXPECT_EQ(bar.directionX(), 1);
  EXPECT_EQ(bar.directionY(), 1);
  bar.AnimateBar(1.0f);  // 0.06 units right and 0.045 up per second
  EXPECT_NEAR(bar.left(), -0.94f, 1e-6);
  EXPECT_NEAR(bar.bottom(), -0.955f, 1e-6);
}

TEST(OrangeBarMotion, OneCrossingTakes25SecondsThenTheBarTurns) {
  BarRig rig(BarRecord());
  OrangeBar bar = rig.MakeBar();
  bar.AnimateBar(24.5f);
  EXPECT_EQ(bar.directionX(), 1);
  EXPECT_NEAR(bar.left(), 0.47f, 1e-5);
  bar.AnimateBar(25.0f);  // the right edge touches the screen's right edge
  EXPECT_EQ(bar.directionX(), -1);
  EXPECT_NEAR(bar.left() + 2 * bar.widthFraction(), 1.0f, 1e-6);
  bar.AnimateBar(26.0f);
  EXPECT_NEAR(bar.left(), 0.44f, 1e-5);
  bar.AnimateBar(50.0f);  // back at the left edge, moving right again
  EXPECT_EQ(bar.directionX(), 1);
  EXPECT_NEAR(bar.left(), -1.0f, 1e-6);
  // Vertically the same height fraction at 450 steps a second: 15000 / 450 s per crossing.
  bar.AnimateBar(15000.0f / 450.0f + 0.5f);
  EXPECT_EQ(bar.directionY(), -1);
}

TEST(OrangeBarMotion, RisesAndSinksOverTwentyCrossings) {
  struct Step {
    float lift;
    int tilt;
  };
  // Crossing m = 0 ... 19, then the cycle starts again.
  const Step schedule[] = {{0, 0},   {0, 1},   {2, 1},  {4, 1},  {6, 1},   {8, 1},   {10, 1},
                           {12, 1},  {14, 1},  {16, 1}, {18, 0}, {18, -1}, {16, -1}, {14, -1},
                           {12, -1}, {10, -1}, {8, -1}, {6, -1}, {4, -1},  {2, -1},  {0, 0}};
  BarRig rig(BarRecord());
  OrangeBar bar = rig.MakeBar();
  for (int m = 0; m <= 20; ++m) {
    SCOPED_TRACE(m);
    bar.AnimateBar(25.0f * m + 3.0f);
    EXPECT_EQ(bar.lift(), schedule[m].lift);
    EXPECT_EQ(bar.tiltSign(), schedule[m].tilt);
    EXPECT_EQ(bar.directionX(), m % 2 == 0 ? 1 : -1);
  }
}

TEST(OrangeBarMotion, ScreenNarrowerThanTheBarStaysDefined) {
  BarRig rig(BarRecord(100, 80));
  OrangeBar wide(kLargeBar, rig.record, rig.field.constants);
  for (float t : {0.0f, 1.0f, 100.0f, 1e6f}) {
    wide.AnimateBar(t);
    EXPECT_TRUE(std::isfinite(wide.left()));
    EXPECT_TRUE(std::isfinite(wide.bottom()));
    for (int i = 0; i <= wide.columns(); ++i) EXPECT_TRUE(std::isfinite(wide.ColumnDepth(i)));
  }
  // Its mesh reaches past the field's grid and repeats the grid's last nodes.
  std::vector<SurfaceVertex> vertices(wide.MeshLayout().vertexCount);
  EXPECT_TRUE(wide.FillBarVertices(rig.field, vertices.data(), vertices.size()));
}

TEST(OrangeBarDepth, LeansAwayFromTheEdgeItTravelsFrom) {
  BarRig rig(BarRecord());
  OrangeBar bar = rig.MakeBar();
  const float base = bar.depthBase();
  const float step = bar.depthStep();
  // Crossing 2: lift 2, tilted, moving right.
  bar.AnimateBar(50.0f);
  ASSERT_EQ(bar.directionX(), 1);
  ASSERT_EQ(bar.tiltSign(), 1);
  EXPECT_FLOAT_EQ(bar.ColumnDepth(0), base - step * 2);  // left zone: no lean
  // 10.1667 s later column 10 lies at pixel 512, the middle of the screen: half the lean.
  bar.AnimateBar(60.1667f);
  EXPECT_FLOAT_EQ(bar.ColumnDepth(10), base + step * (-2 - 1));
  bar.AnimateBar(74.9f);  // at the right edge: the full lean
  EXPECT_FLOAT_EQ(bar.ColumnDepth(5), base + step * (-2 - 2));
  // Crossing 3 goes back to the left: the lean is mirrored.
  bar.AnimateBar(75.0f + 24.9f);
  ASSERT_EQ(bar.directionX(), -1);
  EXPECT_FLOAT_EQ(bar.ColumnDepth(0), base + step * (-4 - 2));
}

TEST(OrangeBarDepth, ScreenExactlyTwoBarsWideHasNoUndefinedDepth) {
  BarRig rig(BarRecord(256, 192));
  OrangeBar bar = rig.MakeBar();  // the small bar, 128 wide: no middle stretch
  for (float t = 0; t < 60; t += 0.37f) {
    bar.AnimateBar(t);
    for (int i = 0; i <= bar.columns(); ++i) ASSERT_TRUE(std::isfinite(bar.ColumnDepth(i))) << t << " " << i;
  }
}

TEST(OrangeBarMesh, QuietFieldGivesAFlatUnshiftedBar) {
  BarRig rig(BarRecord());
  OrangeBar bar = rig.MakeBar();
  bar.AnimateBar(0.0f);
  const std::vector<SurfaceVertex> vertices = rig.Fill(bar);
  for (int i = 0; i <= bar.columns(); ++i) {
    for (int j = 0; j <= bar.rows(); ++j) {
      SCOPED_TRACE(testing::Message() << i << ", " << j);
      const SurfaceVertex& v = vertices[static_cast<size_t>(i) * (bar.rows() + 1) + j];
      EXPECT_FLOAT_EQ(v.x, -1.0f + 40.0f * (i + 1) / 1024);
      EXPECT_FLOAT_EQ(v.y, -1.0f + 40.0f * j / 768);
      EXPECT_FLOAT_EQ(v.z, 0.5f);
      EXPECT_EQ(v.nx, 0.0f);
      EXPECT_EQ(v.ny, 0.0f);
      EXPECT_EQ(v.nz, -1.0f);
      EXPECT_NEAR(v.u, i / 13.0, 1e-6);
      EXPECT_NEAR(v.v, 1.0 - j / 10.0, 1e-6);
    }
  }
}

TEST(OrangeBarMesh, FollowsTheFieldAtItsOwnNodes) {
  BarRig rig(BarRecord());
  ManualClock clock;
  PlaceSource(rig.field, clock, 6, 5);  // under the bar's middle node
  clock.Advance(1500);
  RetireAndUpdateSources(rig.field, clock);
  OrangeBar bar = rig.MakeBar();
  bar.AnimateBar(40.0f);  // wherever the bar is on screen, it reads nodes 0..13 x 0..10
  const std::vector<SurfaceVertex> vertices = rig.Fill(bar);
  int shifted = 0;
  for (int i = 0; i <= bar.columns(); ++i) {
    for (int j = 0; j <= bar.rows(); ++j) {
      SCOPED_TRACE(testing::Message() << i << ", " << j);
      const SurfaceVertex& v = vertices[static_cast<size_t>(i) * (bar.rows() + 1) + j];
      const NodeField node = EvaluateNode(rig.field, i, j);
      EXPECT_FLOAT_EQ(v.z, node.height * 0.5f + bar.ColumnDepth(i));
      EXPECT_FLOAT_EQ(v.nx, static_cast<float>(node.normal[0]));
      EXPECT_FLOAT_EQ(v.ny, static_cast<float>(node.normal[1]));
      // The squeeze keeps the picture inside the texture.
      EXPECT_GE(v.u, 0.0f);
      EXPECT_LE(v.u, 1.0f);
      EXPECT_GE(v.v, 0.0f);
      EXPECT_LE(v.v, 1.0f);
      if (std::fabs(v.u - static_cast<float>(i) / 13) > 1e-4f) ++shifted;
    }
  }
  EXPECT_GT(shifted, 10);  // the ripple moved the picture
}

TEST(OrangeBarMesh, WrongBufferSizesWriteNothing) {
  BarRig rig(BarRecord());
  const OrangeBar bar = rig.MakeBar();
  std::vector<SurfaceVertex> vertices(155);
  EXPECT_FALSE(bar.FillBarVertices(rig.field, vertices.data(), 153));
  EXPECT_FALSE(bar.FillBarVertices(rig.field, vertices.data(), 155));
  EXPECT_FALSE(bar.FillBarVertices(rig.field, nullptr, 154));
  std::vector<uint16_t> indices(780, 0xBEEF);
  EXPECT_FALSE(bar.BuildBarIndices(indices.data(), 779));
  EXPECT_EQ(indices[0], 0xBEEF);
}

TEST(OrangeBarMesh, TwoTrianglesPerCellColumnByColumn) {
  BarRig rig(BarRecord());
  const OrangeBar bar = rig.MakeBar();
  std::vector<uint16_t> indices(780);
  ASSERT_TRUE(bar.BuildBarIndices(indices.data(), indices.size()));
  const uint16_t first[] = {0, 1, 12, 0, 12, 11};  // cell (0, 0) with 11 vertices per column
  for (int k = 0; k < 6; ++k) EXPECT_EQ(indices[k], first[k]);
  const size_t last = 6 * (12 * 10 + 9);  // cell (12, 9)
  const uint16_t a = 12 * 11 + 9;
  const uint16_t expected[] = {a, uint16_t(a + 1), uint16_t(a + 12), a, uint16_t(a + 12), uint16_t(a + 11)};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(indices[last + k], expected[k]);
  EXPECT_EQ(*std::max_element(indices.begin(), indices.end()), 153);  // every vertex is used
}

// Texels of a grey picture with a row pitch wider than the row.
struct GreyTexels {
  static constexpr uint32_t kEdge = 256;
  static constexpr size_t kPitch = kEdge * 4 + 16;
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kEdge * kPitch, 0xAB);
  uint8_t* At(uint32_t row, uint32_t column) { return &bytes[row * kPitch + column * 4]; }
  explicit GreyTexels(uint8_t (*grey)(uint32_t, uint32_t)) {
    for (uint32_t i = 0; i < kEdge; ++i) {
      for (uint32_t j = 0; j < kEdge; ++j) {
        uint8_t* t = At(i, j);
        t[0] = t[1] = t[2] = grey(i, j);
        t[3] = 0xFF;
      }
    }
  }
};

TEST(OrangeBarTexture, RecolouringMakesTheOrangeDiagonalGradient) {
  GreyTexels texels([](uint32_t i, uint32_t j) { return static_cast<uint8_t>(255 - (i + 3 * j) % 200); });
  std::vector<uint8_t> grey(texels.bytes);
  RecolourBarTexels(texels.bytes.data(), GreyTexels::kEdge, GreyTexels::kEdge, GreyTexels::kPitch);
  for (uint32_t i = 0; i < GreyTexels::kEdge; ++i) {
    for (uint32_t j = 0; j < GreyTexels::kEdge; ++j) {
      const uint8_t e = grey[i * GreyTexels::kPitch + j * 4];
      const uint8_t* t = texels.At(i, j);
      ASSERT_EQ(t[2], e) << i << ", " << j;  // red keeps the grey value
      ASSERT_LE(t[1], e);
      ASSERT_EQ(t[0], 0);
      ASSERT_EQ(t[3], 0);
      if (i + j == 256) {
        ASSERT_EQ(t[1], e);  // cos(pi) = -1: full yellow
      }
      if (i + j == 255) {
        ASSERT_EQ(t[1], e - 1);
      }
    }
    // The padding between rows is not touched.
    for (size_t b = GreyTexels::kEdge * 4; b < GreyTexels::kPitch; ++b) {
      ASSERT_EQ(texels.bytes[i * GreyTexels::kPitch + b], 0xAB);
    }
  }
}

TEST(OrangeBarTexture, WhitePictureIsRedInTwoCornersAndYellowInTheOthers) {
  GreyTexels texels([](uint32_t, uint32_t) { return uint8_t{255}; });
  RecolourBarTexels(texels.bytes.data(), GreyTexels::kEdge, GreyTexels::kEdge, GreyTexels::kPitch);
  EXPECT_EQ(texels.At(0, 0)[1], 0);
  EXPECT_EQ(texels.At(255, 255)[1], 0);
  EXPECT_EQ(texels.At(0, 255)[1], 254);  // just short of the anti-diagonal's full yellow
  EXPECT_EQ(texels.At(255, 0)[1], 254);
  EXPECT_EQ(texels.At(128, 128)[1], 255);
  EXPECT_EQ(texels.At(0, 128)[1], 127);  // half way: (1 - cos(pi / 2)) / 2
  for (uint32_t j = 1; j < 256; ++j) EXPECT_GE(texels.At(0, j)[1], texels.At(0, j - 1)[1]);
}

}  // namespace
}  // namespace lumar
