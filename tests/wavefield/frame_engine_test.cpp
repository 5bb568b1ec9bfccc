#include "wavefield/frame_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/vertex_fill.h"
#include "wavefield/engine_equivalence.h"
#include "wavefield/field_evaluation.h"

namespace lumar {
namespace {

using testing_support::CompareRandomFrames;
using testing_support::CompareWithReference;
using testing_support::FarCrestField;

TEST(FrameEngine, MatchesTheReferenceBitForBitOnRandomFrames) {
  EXPECT_GE(CompareRandomFrames(20261209, 520, 20), 10000);
  // Without AVX2 only SSE2 was compared: a skip, counted and shown with its reason by the test command.
  if (!SimdVariantSupported(SimdVariant::kAvx2))
    GTEST_SKIP() << "AVX2 missing on this processor: its variant was not compared";
}

TEST(FrameEngine, MatchesTheReferenceWithRebasedCrestsOnA4kBottomView) {
  for (int calculation = 0; calculation <= 1; ++calculation) {
    for (int zSides = 0; zSides <= 1; ++zSides) {
      WaveField field;
      FarCrestField(field, calculation, zSides, 8);
      int rebased = 0;
      for (int n = 0; n < field.sourceSet.sourceCount; ++n) rebased += field.sourceSet.sources[n].leadRebased;
      ASSERT_GT(rebased, 0);
      ASSERT_LT(rebased, field.sourceSet.sourceCount);
      EXPECT_EQ(CompareWithReference(field), "") << "calculation " << calculation << " zSides " << zSides;
    }
  }
}

TEST(FrameEngine, EachVariantCanBeChosenWhereTheProcessorRunsIt) {
  FrameEngine engine;
  EXPECT_EQ(engine.variant(),
            SimdVariantSupported(SimdVariant::kAvx2) ? SimdVariant::kAvx2 : SimdVariant::kSse2);
  EXPECT_TRUE(engine.SelectVariant(SimdVariant::kSse2));
  EXPECT_EQ(engine.variant(), SimdVariant::kSse2);
  if (!SimdVariantSupported(SimdVariant::kAvx2)) {
    EXPECT_FALSE(engine.SelectVariant(SimdVariant::kAvx2));
    GTEST_SKIP() << "this processor has no AVX2; only the SSE2 variant was tested";
  }
  EXPECT_TRUE(engine.SelectVariant(SimdVariant::kAvx2));
  EXPECT_EQ(engine.variant(), SimdVariant::kAvx2);
}

// Fields are independent: one field's frame leaves no trace in another's.
TEST(FrameEngine, TwoFieldsInOneProcessDoNotInterfere) {
  testing_support::Dice dice(4);
  WaveField a;
  WaveField b;
  testing_support::Prepare(a, testing_support::DefaultRecord(400, 300));
  ParameterSet other = testing_support::DefaultRecord(200, 500);
  other.view = kViewBottom;
  testing_support::Prepare(b, other);
  testing_support::RandomSources(a, dice, 30, 100000, 20000);
  testing_support::RandomSources(b, dice, 50, 100000, 20000);
  std::vector<SurfaceVertex> first(SurfaceVertexCount(a.constants));
  std::vector<SurfaceVertex> again(first.size());
  std::vector<SurfaceVertex> between(SurfaceVertexCount(b.constants));
  ASSERT_TRUE(FillSurfaceVertices(a, first.data(), first.size()));
  ASSERT_TRUE(FillSurfaceVertices(b, between.data(), between.size()));
  ASSERT_TRUE(FillSurfaceVertices(a, again.data(), again.size()));
  EXPECT_EQ(std::memcmp(first.data(), again.data(), first.size() * sizeof(SurfaceVertex)), 0);
  EXPECT_EQ(CompareWithReference(b), "");
}

// The outputs resolved for any run of a row (as the vertex fill's tiles ask for them: whole registers, then
// the rest one node at a time) are EvaluateNode's, whatever the run's start and length.
TEST(FrameEngine, OutputsOfAnyRunOfARowAreTheReferences) {
  testing_support::Dice dice(11);
  WaveField field;
  testing_support::Prepare(field, testing_support::DefaultRecord(230, 170));
  testing_support::RandomSources(field, dice, 25, 100000, 20000);
  const int width = field.constants.gridCellsX + 1;
  for (SimdVariant variant : testing_support::SupportedVariants()) {
    ASSERT_TRUE(field.engine.SelectVariant(variant));
    ASSERT_TRUE(field.engine.SumField(field));
    int compared = 0;
    for (int b : {0, 7, field.constants.gridCellsY}) {
      for (int first = 0; first < width; ++first) {
        for (int count = 1; first + count <= width && count <= 11; ++count) {
          std::vector<NodeOutputs> out(static_cast<size_t>(count) + 1);
          std::memset(out.data(), 0xA5, out.size() * sizeof(NodeOutputs));
          const NodeOutputs guard = out.back();
          field.engine.OutputsAt(first, count, b, out.data());
          for (int k = 0; k < count; ++k) {
            const NodeOutputs expected = NodeOutputsOf(EvaluateNode(field, first + k, b));
            ASSERT_EQ(std::memcmp(&out[static_cast<size_t>(k)], &expected, sizeof(NodeOutputs)), 0)
                << testing_support::VariantName(variant) << " node " << first + k << ", " << b
                << " of the run " << first << " + " << count;
          }
          ASSERT_EQ(std::memcmp(&out.back(), &guard, sizeof(NodeOutputs)), 0) << "written past the run";
          ++compared;
        }
      }
    }
    EXPECT_GT(compared, 3 * 10 * (width - 11));
  }
}

// The largest screen the set-up accepts, in the bottom view, with every source active: the frame finishes,
// every vertex is finite, and sampled nodes agree with the reference bit for bit.
TEST(FrameEngineBadInput, LargestScreenWithSeventySources) {
  ParameterSet record = testing_support::DefaultRecord(8192, 8192);
  record.view = kViewBottom;
  record.waveLength = 40;
  record.speed = 2000;
  record.spaceFading = 0;
  WaveField field;
  testing_support::Prepare(field, record);
  testing_support::Dice dice(70);
  testing_support::RandomSources(field, dice, kMaxSources, 1000000, 8000);
  ASSERT_EQ(field.sourceSet.sourceCount, kMaxSources);
  std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
  ASSERT_TRUE(FillSurfaceVertices(field, vertices.data(), vertices.size()));
  for (const SurfaceVertex& v : vertices) {
    ASSERT_TRUE(std::isfinite(v.z) && std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.u) &&
                std::isfinite(v.v));
  }
  const RunConstants& c = field.constants;
  for (int a = 0; a <= c.gridCellsX; a += 37) {
    for (int b = 0; b <= c.gridCellsY; b += 41) {
      const FieldSums reference = SumSources(field, a, b);
      const FieldSums engine = field.engine.SumsAt(a, b);
      ASSERT_EQ(std::memcmp(&reference, &engine, sizeof reference), 0) << a << ", " << b;
    }
  }
}

// Scratch memory that cannot be had (the first frame sizes it, on the calling thread): the frame reports it,
// holds nothing and writes no vertex, on one thread or several (a worker never allocates, so none can fail
// there); once the memory is there again, the next frame is whole and exact.
TEST(FrameEngineBadInput, ScratchThatCannotBeHadFailsTheFrameAndTheNextOneRecovers) {
  struct Case {
    const char* what;
    int threads;
    std::size_t limit;  // bytes an array may take; 0: between the nodes' sums and the classes' values
  } const cases[] = {{"one thread, nothing", 1, 1024},
                     {"two threads, nothing", 2, 1024},
                     {"three threads, the nodes' sums but not the classes' values", 3, 0}};
  for (const Case& c : cases) {
    ParameterSet record = testing_support::DefaultRecord(1920, 1080);
    ApplyPreset(record, 34);  // "Kite": every travelling source computes its classes' values
    record.view = kViewBottom;
    WaveField field;
    testing_support::Prepare(field, record);
    testing_support::Dice dice(9);
    testing_support::RandomSources(field, dice, 30, 10000000, 60000);
    const std::size_t sums = SurfaceVertexCount(field.constants) * sizeof(double);
    const std::size_t values = static_cast<std::size_t>(field.tables.ClassCount()) * 2 * sizeof(double);
    ASSERT_LT(sums, values) << c.what;
    field.engine.UseThreads(c.threads);
    field.engine.LimitScratchForTesting(c.limit != 0 ? c.limit : (sums + values) / 2);
    std::vector<SurfaceVertex> vertices(SurfaceVertexCount(field.constants));
    std::memset(vertices.data(), 0xA5, vertices.size() * sizeof(SurfaceVertex));
    const std::vector<SurfaceVertex> untouched = vertices;
    EXPECT_FALSE(field.engine.SumField(field)) << c.what;
    EXPECT_FALSE(field.engine.Holds(field.constants)) << c.what;
    EXPECT_FALSE(FillSurfaceVertices(field, vertices.data(), vertices.size())) << c.what;
    EXPECT_EQ(std::memcmp(vertices.data(), untouched.data(), vertices.size() * sizeof(SurfaceVertex)), 0)
        << c.what;
    field.engine.LimitScratchForTesting(static_cast<std::size_t>(-1));
    EXPECT_EQ(CompareWithReference(field), "") << c.what;
    EXPECT_TRUE(field.engine.Holds(field.constants)) << c.what;
  }
}

}  // namespace
}  // namespace lumar
