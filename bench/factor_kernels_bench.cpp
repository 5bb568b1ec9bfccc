// The computed travelling factors alone: one chunk of 256 distance classes through the engine's kernels
// (the trail's behind the crest, the lead's ahead of it), nanoseconds a class. Each kernel in the forms of
// sin, cos and exp that its arguments allow (short: every phase within 0.78; lean: within the lean ranges)
// and with the call the inputs let it skip skipped or not (the constant growth without space fading; the
// flank's decay as the phase's with both sides), on SSE2 and, where the processor has it, AVX2. What the
// frame's computed factors cost, apart from everything else a frame does: "Kite" and "Metamorphosis" have
// no space fading, so their trail runs the constant-growth kernels, "Kite" mostly in the short form.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "wavefield/frame_engine.h"
#include "wavefield/kernel_table.h"
#include "wavefield/lane_formulas.h"

namespace lumar {
namespace {

constexpr int kClasses = 256;

struct KernelCase {
  const char* form;   // "short" or "lean"
  double waveNumber;  // kappa: 0.0002 keeps every phase of 100 .. 3000 pixels within 0.78
  bool skips;         // the skippable call skipped
  bool lead;
  SimdVariant variant;
};

void FactorKernel(benchmark::State& state, const KernelCase& c) {
  if (!SimdVariantSupported(c.variant)) {
    state.SkipWithError("the processor lacks this instruction set");
    return;
  }
  const FrameKernels& kernels = c.variant == SimdVariant::kAvx2 ? Avx2Kernels() : Sse2Kernels();
  std::vector<float> distances(kClasses + kLanePadding);
  std::vector<float> inverseDistances(kClasses + kLanePadding);
  for (int k = 0; k < kClasses + kLanePadding; ++k) {
    distances[static_cast<std::size_t>(k)] = static_cast<float>(100.0 + 2900.0 * k / kClasses);
    inverseDistances[static_cast<std::size_t>(k)] = 1.0f / distances[static_cast<std::size_t>(k)];
  }
  std::vector<double> height(kClasses + kLanePadding);
  std::vector<double> slope(kClasses + kLanePadding);
  const RowTerms out{height.data(), nullptr, nullptr, slope.data()};
  const SourceTerms terms{{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}};
  FactorInputs inputs{c.waveNumber, c.skips ? 0.0 : 0.0005, -3.0, false, false, 0.7, false, kFullForm};
  if (c.lead) {
    inputs.flankDecayIsPhaseDecay = c.skips;
  } else {
    inputs.constantGrowth = c.skips;
  }
  inputs.form = FormFor(inputs, c.lead, distances.front(), distances[kClasses - 1]);
  const int expected = std::string(c.form) == "short" ? kShortForm : kLeanForm;
  if (inputs.form != expected) {
    state.SkipWithError("the distances do not allow the form named");
    return;
  }
  const ComputedRowKernel kernel = c.lead ? kernels.aheadOfCrestComputedRow : kernels.behindCrestComputedRow;
  for (auto _ : state) {
    kernel(distances.data(), inverseDistances.data(), inputs, terms, 0.0, 0, kClasses - 1, out);
    benchmark::DoNotOptimize(height.data());
    benchmark::DoNotOptimize(slope.data());
    benchmark::ClobberMemory();
  }
  state.counters["ns_a_class"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kClasses,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool kRegistered = [] {
  for (SimdVariant variant : {SimdVariant::kSse2, SimdVariant::kAvx2}) {
    for (const char* form : {"short", "lean"}) {
      for (bool lead : {false, true}) {
        for (bool skips : {true, false}) {
          const KernelCase c{form, std::string(form) == "short" ? 0.0002 : 0.01, skips, lead, variant};
          const std::string name = std::string("FactorKernel/") + (lead ? "lead" : "trail") + "/" + form +
                                   "/" + (skips ? "skipping" : "every_call") + "/" +
                                   (variant == SimdVariant::kAvx2 ? "avx2" : "sse2");
          benchmark::RegisterBenchmark(name.c_str(), FactorKernel, c);
        }
      }
    }
  }
  return true;
}();

}  // namespace
}  // namespace lumar
