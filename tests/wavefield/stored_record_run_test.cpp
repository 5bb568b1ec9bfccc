// A small, deterministic fuzzer of stored settings that runs with the unit tests: the seeds, then
// mutants of them with fields set to extreme or random words, cut or grown values and other desktops,
// each loaded, set up and run for 200 frames (stored_record_run.h). The sanitizers catch undefined
// arithmetic; the run's check catches vertices that are not finite.
#include "wavefield/stored_record_run.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/mutation_random.h"
#include "wavefield/stored_record_seeds.h"

namespace lumar {
namespace {

using test::RecordRun;
using test::RecordRunReport;

class RecordMutator : public test::MutationRandom {
 public:
  using MutationRandom::MutationRandom;

  // Mostly field changes, which keep the record valid for the machine; sometimes the value's length or
  // the desktop changes.
  std::vector<uint8_t> Mutate(std::vector<uint8_t> input) {
    const int rounds = 1 + static_cast<int>(Below(3));
    for (int i = 0; i < rounds; ++i) {
      const std::vector<std::size_t>& fields = test::RunFieldOffsets();
      const std::size_t at = test::kRunInputHeaderSize + fields[Below(static_cast<uint32_t>(fields.size()))];
      switch (Below(8)) {
        case 0:
          input.resize(test::kRunInputHeaderSize + Below(sizeof(ParameterSet) + 8));
          break;
        case 1:  // another desktop: the record then belongs to another machine, unless the mode matches
          input[Below(test::kRunInputHeaderSize)] = static_cast<uint8_t>(Next());
          break;
        case 2:
        case 3:
          if (at + 4 <= input.size()) {
            const uint32_t word = test::kExtremeWords[Below(std::size(test::kExtremeWords))];
            std::memcpy(input.data() + at, &word, sizeof word);
          }
          break;
        case 4: {
          const std::size_t byte = at + Below(4);
          if (byte < input.size()) input[byte] ^= static_cast<uint8_t>(1u << Below(8));
          break;
        }
        default:
          if (at + 4 <= input.size()) {
            const uint32_t word = static_cast<uint32_t>(Next()) >> Below(32);
            std::memcpy(input.data() + at, &word, sizeof word);
          }
          break;
      }
    }
    return input;
  }
};

TEST(StoredRecordRuns, SeedsAndMutantsKeepEveryVertexFinite) {
  constexpr int kMutants = 300;
  const std::vector<std::vector<uint8_t>> seeds = test::StoredRecordSeeds();
  std::map<RecordRun, int> runs;
  std::map<LoadOutcome, int> loads;
  int fallbacks = 0, bars = 0, fullSourceSets = 0;
  auto check = [&](const std::vector<uint8_t>& input, const char* what, std::size_t index) {
    RecordRunReport report;
    const bool kept = test::StoredRecordRunKeepsItsContract(input.data(), input.size(), &report);
    ++runs[report.run];
    ++loads[report.load];
    fallbacks += report.fellBackToDefaults;
    bars += report.drewBar;
    fullSourceSets += report.mostSources == kMaxSources;
    return ::testing::AssertionResult(kept) << what << " " << index;
  };
  for (std::size_t i = 0; i < seeds.size(); ++i) ASSERT_TRUE(check(seeds[i], "seed", i));
  RecordMutator mutator(0xD1B54A32D192ED03ull);
  for (int i = 0; i < kMutants; ++i) {
    const std::size_t from = mutator.Below(static_cast<uint32_t>(seeds.size()));
    ASSERT_TRUE(check(mutator.Mutate(seeds[from]), "mutant", static_cast<std::size_t>(i)));
  }
  // The inputs reach every way through start-up, and the runs fill the source set and draw the bar.
  EXPECT_GT(runs[RecordRun::Ran], 0);
  EXPECT_GT(runs[RecordRun::StartUpStopped], 0);
  EXPECT_GT(runs[RecordRun::TooLarge], 0);
  EXPECT_GT(loads[LoadOutcome::Accepted], 0);
  EXPECT_GT(loads[LoadOutcome::Rejected], 0);
  EXPECT_GT(loads[LoadOutcome::ReadFailed], 0);
  EXPECT_GT(fallbacks, 0);
  EXPECT_GT(bars, 0);
  EXPECT_GT(fullSourceSets, 0);
}

}  // namespace
}  // namespace lumar
