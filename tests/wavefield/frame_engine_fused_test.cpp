// The engine's faster paths against the plain ones they replaced, every node's sums bit for bit: the values
// of computed distance classes added straight to the nodes (the default) against the path through a row of
// terms (FuseClassRuns(false)), and the classes nearer than the grid's edge computed in one ascending run
// (the default) against every class stamped and listed (SpanNearClasses(false)).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "wavefield/engine_equivalence.h"
#include "wavefield/field_evaluation.h"
#include "wavefield/frame_engine.h"

namespace lumar {
namespace {

using testing_support::Dice;
using testing_support::SupportedVariants;
using testing_support::VariantName;

// Every node's sums of one SumField, in grid order.
std::vector<FieldSums> AllSums(WaveField& field) {
  std::vector<FieldSums> sums;
  if (!field.engine.SumField(field)) return sums;
  for (int b = 0; b <= field.constants.gridCellsY; ++b)
    for (int a = 0; a <= field.constants.gridCellsX; ++a) sums.push_back(field.engine.SumsAt(a, b));
  return sums;
}

// Empty when the plain path (choose(false)) and the faster one (choose(true)) agree on every node in each
// variant and on 1 and 3 threads, else the first node that differs.
std::string ComparePaths(WaveField& field, const std::function<void(FrameEngine&, bool)>& choose) {
  for (SimdVariant variant : SupportedVariants()) {
    if (!field.engine.SelectVariant(variant)) return "variant refused";
    for (int threads : {1, 3}) {
      field.engine.UseThreads(threads);
      choose(field.engine, false);
      const std::vector<FieldSums> rows = AllSums(field);
      choose(field.engine, true);
      const std::vector<FieldSums> fused = AllSums(field);
      if (rows.empty() || rows.size() != fused.size()) return "sums refused";
      for (std::size_t k = 0; k < rows.size(); ++k) {
        if (std::memcmp(&rows[k], &fused[k], sizeof(FieldSums)) != 0) {
          return std::string(VariantName(variant)) + " on " + std::to_string(threads) + " threads: node " +
                 std::to_string(k) + " differs";
        }
      }
    }
  }
  field.engine.UseThreads(1);
  return "";
}

std::string CompareFusedWithRows(WaveField& field) {
  return ComparePaths(field, [](FrameEngine& engine, bool fast) { engine.FuseClassRuns(fast); });
}

std::string CompareSpanWithStamps(WaveField& field) {
  return ComparePaths(field, [](FrameEngine& engine, bool fast) { engine.SpanNearClasses(fast); });
}

// How many sources add computed distance classes (travelling, with a side not read from the tables).
int SourcesWithComputedClasses(const WaveField& field) {
  int count = 0;
  for (int n = 0; n < field.sourceSet.sourceCount; ++n) {
    const RippleSource& s = field.sourceSet.sources[n];
    const FactorRoutes routes = RoutesFor(field.constants, s);
    count += s.age >= s.quarterWaveTime && !(routes.trailFromTables && routes.leadFromTables);
  }
  return count;
}

// Sources on the screen's corners and edges and one node inside them, where one side of a row is cut short
// or missing and the grid rows above or below run out.
void SourcesOnTheEdges(WaveField& field) {
  const int x = field.constants.gridCellsX;
  const int y = field.constants.gridCellsY;
  const int places[][2] = {{0, 0},     {x, 0},     {0, y}, {x, y},         {x / 2, 0}, {0, y / 2},
                           {x, y / 2}, {x / 2, y}, {1, 1}, {x - 1, y - 1}, {2, y - 3}, {x / 3, y / 3}};
  int n = 0;
  for (const auto& place : places) {
    if (n == field.sourceSet.sourceCount) break;
    field.sourceSet.sources[n].nodeX = place[0];
    field.sourceSet.sources[n].nodeY = place[1];
    ++n;
  }
}

// Sources beside the grid, off it by a few nodes on each side: no node of theirs is on the grid, so the
// classes nearest to them are not reached.
void SourcesBesideTheGrid(WaveField& field) {
  const int x = field.constants.gridCellsX;
  const int y = field.constants.gridCellsY;
  const int places[][2] = {{-3, y / 2}, {x + 4, y / 3}, {x / 2, -2}, {x / 4, y + 5}, {-6, -6}};
  int n = field.sourceSet.sourceCount;
  for (const auto& place : places) {
    if (n == 0) break;
    --n;
    field.sourceSet.sources[n].nodeX = place[0];
    field.sourceSet.sources[n].nodeY = place[1];
  }
}

struct FusedCase {
  const char* what;
  int preset;  // 0: the defaults, normal calculation with broadening
  uint32_t width, height;
  int sources;
  uint32_t longestMs;
  bool edges;
};

const FusedCase kCases[] = {
    {"Kite, 1920x1080", 34, 1920, 1080, 40, 200000, false},
    {"Metamorphosis, 1920x1080, on the edges", 35, 1920, 1080, 30, 200000, true},
    {"Kite, 3840x2160, on the edges", 34, 3840, 2160, 20, 300000, true},
    {"defaults with broadening, 640x480, on the edges", 0, 640, 480, 30, 20000, true},
    {"defaults with broadening, 333x217 (odd rows), on the edges", 0, 333, 217, 25, 20000, true},
    {"Metamorphosis, 1000x750 (square cells)", 35, 1000, 750, 30, 200000, false},
};

// Every case's field with random sources (the first seed `seed`), those of the edge cases moved onto the
// edges and, with besideTheGrid, off the grid too; `compare` must find both paths equal on each.
void CompareOverCases(uint32_t seed, bool besideTheGrid,
                      const std::function<std::string(WaveField&)>& compare) {
  for (const FusedCase& c : kCases) {
    ParameterSet r = testing_support::DefaultRecord(c.width, c.height);
    if (c.preset != 0) ApplyPreset(r, c.preset);
    if (c.preset == 0) {
      r.calculation = 0;
      r.broadening = 60;
    }
    WaveField field;
    testing_support::Prepare(field, r);
    Dice dice(seed++);
    testing_support::RandomSources(field, dice, c.sources, 10000000, c.longestMs);
    if (c.edges) {
      SourcesOnTheEdges(field);
      if (besideTheGrid) SourcesBesideTheGrid(field);
    }
    ASSERT_GT(SourcesWithComputedClasses(field), c.sources / 4) << c.what;
    EXPECT_EQ(compare(field), "") << c.what;
  }
}

TEST(FrameEngineFused, ClassRunsGiveTheRowsBitsOnEveryNode) {
  CompareOverCases(1, false, CompareFusedWithRows);
}

TEST(FrameEngineNearClasses, OneAscendingRunGivesTheStampedClassesBitsOnEveryNode) {
  CompareOverCases(7, true, CompareSpanWithStamps);
}

// Rows with a segment from the tables beside a computed one (the lead's exponent rebased: the trail read
// from the tables, the lead computed), both calculations and sides, on a 4K bottom view.
TEST(FrameEngineFused, RowsWithATableSegmentBesideAComputedOne) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    for (int zSides = 0; zSides <= 1; ++zSides) {
      WaveField field;
      testing_support::FarCrestField(field, calculation, zSides, 8);
      SourcesOnTheEdges(field);
      int leadOnly = 0;
      for (int n = 0; n < field.sourceSet.sourceCount; ++n)
        leadOnly += field.sourceSet.sources[n].leadRebased;
      ASSERT_GT(leadOnly, 0);
      EXPECT_EQ(CompareFusedWithRows(field), "") << "calculation " << calculation << " zSides " << zSides;
      EXPECT_EQ(CompareSpanWithStamps(field), "") << "calculation " << calculation << " zSides " << zSides;
    }
  }
}

}  // namespace
}  // namespace lumar
