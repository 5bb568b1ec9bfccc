#include "wavefield/run_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "wavefield/field_fixture.h"

namespace lumar {
namespace {

using testing_support::DefaultRecord;
using testing_support::NoFiles;
using testing_support::Prepare;

TEST(RunSetup, GridHasOneNodePerTenPixelsPlusOverhang) {
  WaveField field;
  Prepare(field, DefaultRecord(640, 480));
  EXPECT_EQ(field.constants.gridCellsX, 65);
  EXPECT_EQ(field.constants.gridCellsY, 49);
  Prepare(field, DefaultRecord(1024, 768));
  EXPECT_EQ(field.constants.gridCellsX, 103);
  EXPECT_EQ(field.constants.gridCellsY, 77);
  EXPECT_EQ(field.tables.columnCount, 103);
  EXPECT_EQ(field.tables.rowCount, 77);
  Prepare(field, DefaultRecord(1366, 768));
  EXPECT_EQ(field.constants.gridCellsX, 137);
  EXPECT_FLOAT_EQ(field.constants.gridStepX, 20.0f / 1366);
}

TEST(RunSetup, AquariumAndBottomViewDoubleTheRowOffsets) {
  for (int variant = 0; variant < 3; ++variant) {
    ParameterSet record = DefaultRecord(1024, 768);
    record.effect = variant == 1 ? kEffectAquarium : kEffectBasis;
    record.view = variant == 2 ? kViewBottom : kViewTop;
    WaveField field;
    Prepare(field, record);
    const int scale = variant == 0 ? 1 : 2;
    EXPECT_EQ(field.constants.rowOffsetScale, scale);
    EXPECT_EQ(field.tables.rowCount, scale * 77);
    // A table row step is one row offset over the aspect correction; a node one row away reads row
    // `scale`. Only the rows a node can reach are held.
    EXPECT_FLOAT_EQ(field.tables.Distance(0, scale), 10.0f * scale);
    EXPECT_FLOAT_EQ(field.tables.Distance(3, 4), 50.0f);
    EXPECT_EQ(field.tables.Holds(0, 1), scale == 1);
    EXPECT_EQ(field.tables.EntryCount(), 104u * 78u);
  }
}

TEST(RunSetup, DesktopPictureGeometry) {
  WaveField field;
  Prepare(field, DefaultRecord(1024, 768), {1024, 768});
  EXPECT_EQ(field.constants.pictureTextureSize, 1024);
  EXPECT_NEAR(field.constants.texOriginV, 0.2498f, 1e-6f);
  EXPECT_FLOAT_EQ(field.constants.texStepU, 10.0f / 1024);

  Prepare(field, DefaultRecord(1024, 768), {1280, 1024});
  EXPECT_EQ(field.constants.pictureTextureSize, 2048);
  EXPECT_FLOAT_EQ(field.constants.texStepU, 10.0f / 2048 * 1280 / 1024);
  EXPECT_FLOAT_EQ(field.constants.backdropScaleX, 2048.0f / 1280);
  EXPECT_FLOAT_EQ(field.constants.screenToTextureV, 1024.0f / 2048);

  Prepare(field, DefaultRecord(1024, 768), {1024, 1024});  // exactly 1024 is still the small texture
  EXPECT_EQ(field.constants.pictureTextureSize, 1024);

  Prepare(field, DefaultRecord(800, 600), {1600, 1200});
  EXPECT_FLOAT_EQ(field.constants.texStepU, 10.0f / 2048 * 2);
  // The last node column (one cell of overhang at most) reaches just past the screen image.
  const float rightEdge = field.constants.gridCellsX * field.constants.texStepU;
  EXPECT_GE(rightEdge, 1600.0f / 2048);
  EXPECT_LE(rightEdge, 1600.0f / 2048 + field.constants.texStepU);

  // A desktop beyond 2048 still fits its square.
  Prepare(field, DefaultRecord(1920, 1080), {3840, 2160});
  EXPECT_EQ(field.constants.pictureTextureSize, 4096);
  EXPECT_GT(field.constants.texOriginV, 0.0f);
}

// The device's largest texture caps the square; a desktop larger than the square is scaled down evenly
// into its top-left corner, and the picture geometry follows the scaled size.
TEST(RunSetup, DesktopSquareStaysWithinTheDevicesLargestTexture) {
  struct Case {
    int desktopWidth, desktopHeight, maxTextureEdge;
    int square, snapshotWidth, snapshotHeight;
  };
  const Case cases[] = {
      {5120, 2880, 4096, 4096, 4096, 2304},  // 8192 uncapped
      {5120, 2880, 0, 8192, 5120, 2880},     // no known limit
      {5120, 2880, 16384, 8192, 5120, 2880},
      {3840, 2160, 3000, 2048, 2048, 1152},  // a limit that is no power of two
      {1024, 768, 512, 512, 512, 384},
      {1280, 1024, 2048, 2048, 1280, 1024},  // fits: unchanged
      {1000, 3000, 2048, 2048, 683, 2048},   // a portrait desktop: its height sets the scale
  };
  for (const Case& c : cases) {
    WaveField field;
    Prepare(field, DefaultRecord(1024, 768), {c.desktopWidth, c.desktopHeight}, c.maxTextureEdge);
    const RunConstants& run = field.constants;
    const std::string where = std::to_string(c.desktopWidth) + "x" + std::to_string(c.desktopHeight) +
                              " max " + std::to_string(c.maxTextureEdge);
    EXPECT_EQ(run.pictureTextureSize, c.square) << where;
    EXPECT_EQ(run.snapshotWidth, c.snapshotWidth) << where;
    EXPECT_EQ(run.snapshotHeight, c.snapshotHeight) << where;
    EXPECT_EQ(run.desktopWidth, c.desktopWidth) << where;
    const float s = static_cast<float>(c.square);
    EXPECT_FLOAT_EQ(run.texStepU, 10.0f / s * c.snapshotWidth / 1024) << where;
    EXPECT_FLOAT_EQ(run.backdropScaleY, s / c.snapshotHeight) << where;
    EXPECT_NEAR(run.texOriginV, 1.0f - c.snapshotHeight / s - 0.0002f, 1e-6f) << where;
  }
  // The other pictures keep their own square and geometry.
  ParameterSet metal = DefaultRecord(1024, 768);
  metal.texture = kTextureMetal;
  WaveField field;
  Prepare(field, metal, {5120, 2880}, 4096);
  EXPECT_EQ(field.constants.pictureTextureSize, 512);
  EXPECT_EQ(field.constants.snapshotWidth, 5120);
  EXPECT_FLOAT_EQ(field.constants.backdropScaleX, 512.0f / 5120);
}

TEST(RunSetup, OtherPicturesStretchOverTheTexture) {
  ParameterSet record = DefaultRecord(1024, 768);
  record.texture = kTextureSky;
  WaveField field;
  Prepare(field, record, {1280, 1024});
  EXPECT_EQ(field.constants.pictureTextureSize, 512);
  EXPECT_FLOAT_EQ(field.constants.texStepU, 10.0f / 1024);
  EXPECT_FLOAT_EQ(field.constants.texStepV, 10.0f / 768);
  EXPECT_FLOAT_EQ(field.constants.texOriginV, -0.0002f);
}

TEST(RunSetup, MissingUserFileFallsBackToTheDesktopForTheRun) {
  ParameterSet record = DefaultRecord(1024, 768);
  record.texture = kTextureFile;
  std::strcpy(record.textureFile, "C:\\pictures\\sea.jpg");
  std::string asked;
  WaveField field;
  auto exists = [&](const char* path) {
    asked = path;
    return true;
  };
  ASSERT_EQ(PrepareWaveField(field, record, {1024, 768}, exists), SetupResult::Ok);
  EXPECT_EQ(asked, "C:\\pictures\\sea.jpg");
  EXPECT_EQ(record.texture, kTextureFile);
  EXPECT_EQ(field.constants.pictureTextureSize, 512);

  ASSERT_EQ(PrepareWaveField(field, record, {1024, 768}, NoFiles), SetupResult::Ok);
  EXPECT_EQ(record.texture, kTextureDesktop);
  EXPECT_EQ(field.constants.texture, kTextureDesktop);
  EXPECT_EQ(field.constants.pictureTextureSize, 1024);
}

TEST(RunSetup, SignsAndReliefScales) {
  ParameterSet record = DefaultRecord();
  record.reliefLight = 70;
  record.reliefOptical = 400;
  record.reliefGeometry = 320;
  record.optics = 1;  // mirror
  record.fall = 0;    // in
  record.screenFormat = kFormatR5G6B5;
  WaveField field;
  Prepare(field, record);
  EXPECT_EQ(field.constants.opticsSign, -1);
  EXPECT_EQ(field.constants.fallSign, -1);
  EXPECT_FLOAT_EQ(field.constants.lightSlopeScale, -42.0f);
  EXPECT_FLOAT_EQ(field.constants.opticSlopeScale, 24.0f);
  EXPECT_FLOAT_EQ(field.constants.heightScale, -2.304f);
  EXPECT_EQ(field.constants.snapshotBitsPerPixel, 16);
}

// The life span cases of a 1024 x 768 mode on a 1024 x 768 desktop, wave length 150, speed 200.
TEST(RunSetup, FadingRatesAndSourceLifetime) {
  ParameterSet record = DefaultRecord();
  record.waveLength = 150;
  record.speed = 200;
  record.timeFading = 80;
  record.spaceFading = 10;
  WaveField field;
  Prepare(field, record);
  const RunConstants& c = field.constants;
  EXPECT_NEAR(c.spaceFadeRate, 0.0013333f, 1e-7f);
  EXPECT_NEAR(c.fadeStartTime, 12.5f, 1e-6f);
  EXPECT_NEAR(c.crossingTime, 12.669f, 0.0005f);
  EXPECT_NEAR(c.sourceLifetime, 12.5f, 1e-6f);

  record.spaceFading = 1;
  Prepare(field, record);
  EXPECT_NEAR(field.constants.crossingTime, 97.04f, 0.005f);
  EXPECT_NEAR(field.constants.sourceLifetime, 12.5f, 1e-6f);

  record.spaceFading = 10;
  record.timeFading = 40;
  Prepare(field, record);
  EXPECT_NEAR(field.constants.fadeStartTime, 25.0f, 1e-6f);
  EXPECT_NEAR(field.constants.sourceLifetime, 12.669f, 0.0005f);
  EXPECT_EQ(field.constants.sourceLifetime, field.constants.crossingTime);

  record.spaceFading = 0;  // no fading with distance: G is infinite and T = tau
  Prepare(field, record);
  EXPECT_EQ(field.constants.spaceFadeRate, 0.0f);
  EXPECT_TRUE(std::isinf(field.constants.crossingTime));
  EXPECT_EQ(field.constants.sourceLifetime, 25.0f);
}

TEST(RunSetup, TableValuesAtTheCentre) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    ParameterSet record = DefaultRecord();
    record.calculation = calculation;
    WaveField field;
    Prepare(field, record);
    const WaveTables& t = field.tables;
    EXPECT_EQ(t.Distance(0, 0), 0.0f);
    EXPECT_EQ(t.InverseDistance(0, 0), 0.0f);
    EXPECT_NEAR(t.Rise(0, 0).riseLevel, 0.53442, 5e-6);
    EXPECT_NEAR(t.Rise(0, 0).risePhase, 0.20788, 5e-6);
    EXPECT_EQ(t.Rise(0, 0).riseSlopePhase, 0.0);
    EXPECT_EQ(t.Rise(0, 0).riseSlope, 0.0);
    // Both calculations fill the travelling tables: normal calculation reads them for sources without
    // broadening.
    EXPECT_DOUBLE_EQ(t.Trail(0, 0).trailCosFactor, 1.0);
    EXPECT_DOUBLE_EQ(t.Trail(0, 0).trailSinFactor, 0.0);
    EXPECT_DOUBLE_EQ(t.Lead(0, 0).leadLevelFactor, 1.0);
    EXPECT_DOUBLE_EQ(t.Lead(0, 0).leadPhaseFactor, 1.0);
    EXPECT_DOUBLE_EQ(t.Lead(0, 0).frontFactor, 0.0);
  }
}

TEST(RunSetup, DistanceTableFollowsTheAspectCorrection) {
  WaveField field;
  Prepare(field, DefaultRecord(1024, 768), {1280, 1024});  // aspect (1024*1024)/(768*1280) = 16/15
  const float aspectSquare = field.constants.aspectSquare;
  EXPECT_NEAR(aspectSquare, (16.0 / 15) * (16.0 / 15), 1e-6);
  EXPECT_NEAR(field.tables.Distance(3, 4), 10 * std::sqrt(9 + aspectSquare * 16), 1e-4);
  EXPECT_FLOAT_EQ(field.tables.InverseDistance(3, 4), 1.0f / field.tables.Distance(3, 4));
}

TEST(RunSetup, IdenticalSettingsGiveIdenticalTables) {
  WaveField a;
  WaveField b;
  Prepare(a, DefaultRecord(800, 600));
  Prepare(b, DefaultRecord(800, 600));
  ASSERT_EQ(a.tables.EntryCount(), b.tables.EntryCount());
  for (int j = 0; j <= a.tables.rowCount; j += a.tables.rowStep) {
    const size_t row = a.tables.RowStride();
    ASSERT_EQ(std::memcmp(a.tables.DistanceRow(j), b.tables.DistanceRow(j), row * sizeof(float)), 0);
    for (int plane = 0; plane < kTablePlaneCount; ++plane) {
      const auto p = static_cast<TablePlane>(plane);
      ASSERT_EQ(std::memcmp(a.tables.FactorRow(p, j), b.tables.FactorRow(p, j), row * sizeof(double)), 0);
    }
  }
}

// 3840 x 2160 in the bottom view: one entry of 128 bytes for each of the 386 x 435 offsets took 21.5 MB;
// holding only the rows a node reaches takes half of that.
// Entries share a distance class exactly when their distances are the same number, and the classes
// ascend with the distance: square cells in both views, and cells that are not square.
TEST(RunSetup, DistanceClassesGroupEqualDistancesInOrder) {
  struct Case {
    const char* name;
    int view;
    DesktopSize desktop;
    bool squareCells;  // (I, J) and (J, I) at the same distance
  };
  const Case cases[] = {{"top, square cells", kViewTop, {320, 240}, true},
                        {"bottom, square cells", kViewBottom, {320, 240}, true},
                        {"top, wide cells", kViewTop, {400, 240}, false}};
  for (const Case& c : cases) {
    ParameterSet record = DefaultRecord(320, 240);
    record.view = c.view;
    WaveField field;
    Prepare(field, record, c.desktop);
    const WaveTables& t = field.tables;
    std::vector<std::pair<float, int32_t>> entries;
    for (int j = 0; j <= t.rowCount; j += t.rowStep) {
      for (int i = 0; i <= t.columnCount; ++i) entries.push_back({t.Distance(i, j), t.ClassRow(j)[i]});
    }
    int32_t distinct = 0;
    for (std::size_t a = 0; a < entries.size(); ++a) {
      const auto [distance, k] = entries[a];
      ASSERT_EQ(t.ClassDistance(k), distance) << c.name;
      for (std::size_t b = 0; b < a; ++b) {
        ASSERT_EQ(entries[b].first == distance, entries[b].second == k) << c.name;
        ASSERT_EQ(entries[b].first < distance, entries[b].second < k) << c.name;
      }
      distinct = std::max(distinct, k + 1);
    }
    EXPECT_EQ(t.ClassCount(), distinct) << c.name;
    if (c.squareCells) {
      EXPECT_LT(distinct, static_cast<int32_t>(entries.size() * 3 / 4)) << c.name;
    }
  }
}

// Formerly 386 x 435 entries of 128 bytes; now the reachable rows only, with their distance classes.
TEST(RunSetup, TablesOfA4kBottomViewTakeLittleMoreThanHalfTheFormerMemory) {
  ParameterSet record = DefaultRecord(3840, 2160);
  record.view = kViewBottom;
  WaveField field;
  Prepare(field, record);
  EXPECT_EQ(field.tables.EntryCount(), 386u * 218u);
  EXPECT_LE(field.tables.ByteSize(), 386u * 435u * 128u * 11 / 20);
}

TEST(RunSetup, ClearsTheSourcesAndTheWaterLevel) {
  WaveField field;
  field.sourceSet.sourceCount = 12;
  field.waterLevel = 0.7f;
  Prepare(field, DefaultRecord());
  EXPECT_EQ(field.sourceSet.sourceCount, 0);
  EXPECT_EQ(field.waterLevel, 0.0f);
}

TEST(RunSetupBadInput, ValuesWithoutMeaningRefuseTheRun) {
  const testing_support::RecordCase cases[] = {
      {"waveLength 0", [](ParameterSet& r) { r.waveLength = 0; }},
      {"waveLength negative", [](ParameterSet& r) { r.waveLength = -700; }},
      {"timeFading 0", [](ParameterSet& r) { r.timeFading = 0; }},
      {"timeFading negative", [](ParameterSet& r) { r.timeFading = -5; }},
      {"speed negative", [](ParameterSet& r) { r.speed = -1; }},
      {"spaceFading negative", [](ParameterSet& r) { r.spaceFading = -10; }},
      {"drops negative", [](ParameterSet& r) { r.drops = -3; }},
      {"broadening negative", [](ParameterSet& r) { r.broadening = -100; }},
  };
  for (const auto& c : cases) {
    ParameterSet record = DefaultRecord();
    c.apply(record);
    WaveField field;
    field.sourceSet.sourceCount = 5;
    EXPECT_EQ(PrepareWaveField(field, record, {1024, 768}, NoFiles), SetupResult::InvalidSettings) << c.what;
    EXPECT_TRUE(field.tables.empty()) << c.what;
    EXPECT_EQ(field.sourceSet.sourceCount, 0) << c.what;
  }
}

TEST(RunSetupBadInput, ImpossibleScreensRefuseTheRun) {
  const struct {
    uint32_t width, height;
    int desktopWidth, desktopHeight;
  } cases[] = {{0, 0, 1024, 768},       {100000, 100000, 1024, 768}, {1024, 0, 1024, 768},
               {8193, 768, 1024, 768},  {1024, 768, 0, 0},           {1024, 768, 1024, -768},
               {1024, 768, 100000, 768}};
  for (const auto& c : cases) {
    ParameterSet record = DefaultRecord(c.width, c.height);
    WaveField field;
    EXPECT_EQ(PrepareWaveField(field, record, {c.desktopWidth, c.desktopHeight}, NoFiles),
              SetupResult::InvalidScreen)
        << c.width << "x" << c.height << " on " << c.desktopWidth << "x" << c.desktopHeight;
    EXPECT_TRUE(field.tables.empty());
  }
}

TEST(RunSetupBadInput, EveryDialogRecordIsAccepted) {
  // The dialog's extremes, including a speed of 0's neighbour and drops at its limits.
  const int waveLengths[] = {40, 700};
  for (int waveLength : waveLengths) {
    ParameterSet record = DefaultRecord();
    record.waveLength = waveLength;
    record.speed = 3 * waveLength + 1400;
    record.spaceFading = 50;
    record.timeFading = 1;
    record.drops = 40;
    record.broadening = 100;
    EXPECT_EQ(CheckFieldSettings(record), SetupResult::Ok);
    record.speed = 1;
    record.spaceFading = 0;
    record.timeFading = 1000;
    record.drops = 1;
    record.broadening = 0;
    EXPECT_EQ(CheckFieldSettings(record), SetupResult::Ok);
  }
}

TEST(RunSetupBadInput, TablesOfUnreasonableSizeAreRefusedNotAllocated) {
  WaveTables tables;
  EXPECT_FALSE(tables.Allocate(INT32_MAX, INT32_MAX));
  EXPECT_TRUE(tables.empty());
  EXPECT_FALSE(tables.Allocate(-1, 5));
  EXPECT_FALSE(tables.Allocate(2, 3, 2));  // rows not a multiple of the row step
  EXPECT_TRUE(tables.Allocate(2, 3));
  EXPECT_EQ(tables.EntryCount(), 12u);
  EXPECT_TRUE(tables.Allocate(2, 4, 2));
  EXPECT_EQ(tables.EntryCount(), 9u);
}

}  // namespace
}  // namespace lumar
