#include "render/vertex_fill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/millisecond_clock.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/field_fixture.h"
#include "wavefield/wave_sources.h"

namespace lumar {
namespace {

using testing_support::DefaultRecord;
using testing_support::PlaceSource;
using testing_support::Prepare;

// A picture other than the desktop, so that the mapping covers the texture's unit square.
ParameterSet PictureRecord(uint32_t width, uint32_t height, int32_t effect) {
  ParameterSet record = DefaultRecord(width, height);
  record.texture = kTextureMetal;
  record.effect = effect;
  record.view = kViewTop;
  record.reliefGeometry = 50;
  record.reliefOptical = 50;
  record.reliefLight = 50;
  return record;
}

std::vector<SurfaceVertex> Fill(const WaveField& field) {
  std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
  EXPECT_TRUE(FillSurfaceVertices(field, vertices.data(), vertices.size()));
  return vertices;
}

const SurfaceVertex& At(const std::vector<SurfaceVertex>& vertices, const RunConstants& c, int i, int j) {
  return vertices[static_cast<size_t>(i) * (c.gridCellsY + 1) + j];
}

// Texture coordinates of node (i, j) before any shift.
double RestU(const RunConstants& c, int i) { return i * c.texStepU + 0.0002; }
double RestV(const RunConstants& c, int j) { return j * c.texStepV + c.texOriginV; }

// A field with one ripple a second old in the middle of the grid.
void AddRipple(WaveField& field, ManualClock& clock) {
  PlaceSource(field, clock, field.constants.gridCellsX / 2, field.constants.gridCellsY / 2);
  clock.Advance(1000);
  RetireAndUpdateSources(field, clock);
  ASSERT_EQ(field.sourceSet.sourceCount, 1);
}

TEST(VertexFill, QuietSurfaceIsFlatAndUndisplaced) {
  WaveField field;
  Prepare(field, PictureRecord(640, 480, kEffectBasis));
  const RunConstants& c = field.constants;
  const std::vector<SurfaceVertex> vertices = Fill(field);
  ASSERT_EQ(vertices.size(), 3300u);
  for (int i = 0; i <= c.gridCellsX; ++i) {
    for (int j = 0; j <= c.gridCellsY; ++j) {
      const SurfaceVertex& v = At(vertices, c, i, j);
      ASSERT_EQ(v.z, 0.0f);
      ASSERT_EQ(v.nx, 0.0f);
      ASSERT_EQ(v.ny, 0.0f);
      ASSERT_EQ(v.nz, -1.0f);
      ASSERT_FLOAT_EQ(v.u, static_cast<float>(RestU(c, i))) << i << ", " << j;
      ASSERT_FLOAT_EQ(v.v, static_cast<float>(RestV(c, j))) << i << ", " << j;
      ASSERT_NEAR(v.x, i * 20.0 / 640.0 - 1.0, 1e-6);
      ASSERT_NEAR(v.y, j * 20.0 / 480.0 - 1.0, 1e-6);
    }
  }
  // Bottom-left corner of the screen and picture; the last column and row overhang by up to a cell.
  EXPECT_EQ(vertices.front().x, -1.0f);
  EXPECT_EQ(vertices.front().y, -1.0f);
  EXPECT_NEAR(vertices.front().u, 0.0002f, 1e-7f);
  EXPECT_NEAR(vertices.front().v, -0.0002f, 1e-7f);
  EXPECT_FLOAT_EQ(vertices.back().x, 1.03125f);
  EXPECT_FLOAT_EQ(vertices.back().y, 1.0416667f);
}

TEST(VertexFill, ScreenWidthNotDivisibleByTen) {
  WaveField field;
  Prepare(field, PictureRecord(1366, 768, kEffectBasis));
  const RunConstants& c = field.constants;
  ASSERT_EQ(c.gridCellsX + 1, 138);
  const std::vector<SurfaceVertex> vertices = Fill(field);
  EXPECT_EQ(vertices.size(), 138u * 78u);
  EXPECT_LT(At(vertices, c, 136, 0).x, 1.0f);
  EXPECT_GT(At(vertices, c, 137, 0).x, 1.0f);  // the last column lies partly off screen
}

TEST(VertexFill, BasisVertexCarriesTheNodeField) {
  WaveField field;
  Prepare(field, PictureRecord(320, 240, kEffectBasis));
  ManualClock clock(1000);
  AddRipple(field, clock);
  const RunConstants& c = field.constants;
  const std::vector<SurfaceVertex> vertices = Fill(field);
  int shifted = 0;
  for (int i = 0; i <= c.gridCellsX; ++i) {
    for (int j = 0; j <= c.gridCellsY; ++j) {
      const NodeField node = EvaluateNode(field, i, j);
      const SurfaceVertex& v = At(vertices, c, i, j);
      ASSERT_EQ(v.z, node.height);
      ASSERT_EQ(v.nx, static_cast<float>(node.normal[0]));
      ASSERT_EQ(v.ny, static_cast<float>(node.normal[1]));
      ASSERT_EQ(v.nz, -1.0f);
      ASSERT_NEAR(v.u, RestU(c, i) + node.refraction[0], 1e-6);
      ASSERT_NEAR(v.v, RestV(c, j) + node.refraction[1], 1e-6);
      if (std::abs(node.refraction[0]) > 1e-4) ++shifted;
    }
  }
  EXPECT_GT(shifted, 100);  // the ripple really moves the picture
}

TEST(VertexFill, AquariumShiftsTheFrontRowTwiceAndTheBackRowNot) {
  WaveField field;
  Prepare(field, PictureRecord(320, 240, kEffectAquarium));
  field.waterLevel = 1.0f;  // full tank: no lowering by the level
  ManualClock clock(1000);
  AddRipple(field, clock);
  const RunConstants& c = field.constants;
  ASSERT_EQ(c.gridCellsY % 2, 1);  // 25 cells: the middle row has weight 24/12.5
  const std::vector<SurfaceVertex> vertices = Fill(field);
  int frontShifted = 0;
  int backRefracted = 0;
  for (int i = 0; i <= c.gridCellsX; ++i) {
    const NodeField front = EvaluateNode(field, i, 0);
    const SurfaceVertex& f = At(vertices, c, i, 0);
    ASSERT_NEAR(f.u, RestU(c, i) + 2.0 * front.refraction[0], 1e-6);
    ASSERT_NEAR(f.v, RestV(c, 0) + 2.0 * front.refraction[1] - f.z * c.screenToTextureV * 0.5, 1e-6);
    if (std::abs(front.refraction[0]) > 1e-4) ++frontShifted;

    const NodeField back = EvaluateNode(field, i, c.gridCellsY);
    const SurfaceVertex& b = At(vertices, c, i, c.gridCellsY);
    ASSERT_FLOAT_EQ(b.u, static_cast<float>(RestU(c, i)));
    ASSERT_NEAR(b.v, RestV(c, c.gridCellsY) - b.z * c.screenToTextureV * 0.5, 1e-6);
    if (std::abs(back.refraction[0]) > 1e-4) ++backRefracted;

    const int mid = c.gridCellsY / 2;
    const NodeField middle = EvaluateNode(field, i, mid);
    const double weight = (c.gridCellsY - mid) / (0.5 * c.gridCellsY);
    ASSERT_NEAR(At(vertices, c, i, mid).u, RestU(c, i) + weight * middle.refraction[0], 1e-6);
  }
  EXPECT_GT(frontShifted, 5);
  EXPECT_GT(backRefracted, 5);  // the back row is refracted, yet its picture stays in place
}

TEST(VertexFill, AquariumLowersThePictureWithTheWater) {
  WaveField field;
  Prepare(field, PictureRecord(640, 480, kEffectAquarium));
  const RunConstants& c = field.constants;
  ASSERT_GT(c.screenToTextureV, 0.0f);
  const float levels[] = {1.0f, 0.0f, -1.0f};
  const float lowering[] = {0.0f, 0.5f, 1.0f};
  for (int n = 0; n < 3; ++n) {
    field.waterLevel = levels[n];
    const std::vector<SurfaceVertex> vertices = Fill(field);
    for (int j = 0; j <= c.gridCellsY; j += 7) {
      EXPECT_NEAR(At(vertices, c, 3, j).v, RestV(c, j) - lowering[n] * c.screenToTextureV, 1e-6)
          << "level " << levels[n] << " row " << j;
    }
  }
}

TEST(VertexFill, WrongBufferIsRefused) {
  WaveField field;
  Prepare(field, PictureRecord(640, 480, kEffectBasis));
  std::vector<SurfaceVertex> vertices(3301, SurfaceVertex{7, 7, 7, 7, 7, 7, 7, 7});
  EXPECT_FALSE(FillSurfaceVertices(field, vertices.data(), 3299));
  EXPECT_FALSE(FillSurfaceVertices(field, vertices.data(), 3301));
  EXPECT_FALSE(FillSurfaceVertices(field, nullptr, 3300));
  EXPECT_EQ(vertices[0].x, 7.0f);
  WaveField unprepared;
  EXPECT_EQ(SurfaceVertexCount(unprepared.constants), 0u);
  EXPECT_FALSE(FillSurfaceVertices(unprepared, vertices.data(), 0));
}

}  // namespace
}  // namespace lumar
