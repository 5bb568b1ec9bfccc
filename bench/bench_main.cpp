// The benchmarks' entry point. Besides Google Benchmark's own report it prints, for every scenario run as
// "<name>/reference", "<name>/engine" and "<name>/threads" (and "<name>/plain" where it is run), the fastest
// repetition of each and their ratios, with the mean number of sources alive over the frames timed and the
// steady state's mean: on a shared machine the minimum is the figure least disturbed by other load.
//
// The run fails (exit status 1, with the reason on stderr) when the filter selects no benchmark or when a
// benchmark skipped with an error: a smoke run that ran nothing must not pass.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) {
        errors_.push_back(run.benchmark_name() + ": " + run.error_message);
        continue;
      }
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.run_name.str();
      const double unit = ToMilliseconds(run.time_unit);
      Fastest& fastest = fastest_[name];
      if (fastest.cpu == 0.0) order_.push_back(name);
      const double cpu = run.GetAdjustedCPUTime() * unit;
      const double real = run.GetAdjustedRealTime() * unit;
      if (fastest.cpu == 0.0 || cpu < fastest.cpu) fastest.cpu = cpu;
      if (fastest.real == 0.0 || real < fastest.real) fastest.real = real;
      const auto sources = run.counters.find("sources");
      if (sources != run.counters.end()) fastest.sources = sources->second.value;
      const auto steady = run.counters.find("steady_mean");
      if (steady != run.counters.end()) fastest.steadyMean = steady->second.value;
    }
  }

  // Per scenario: the reference and the engine on one thread (CPU time), their ratio; the engine on one
  // thread and on every thread (elapsed time, which is what threads shorten), their ratio; the engine's
  // plain paths on one thread (CPU time) and their ratio to its faster ones, where they were run.
  void Finalize() override {
    ConsoleReporter::Finalize();
    const std::string reference = "/reference";
    bool header = false;
    for (const std::string& name : order_) {
      if (name.size() <= reference.size() ||
          name.compare(name.size() - reference.size(), reference.size(), reference) != 0) {
        continue;
      }
      const std::string scenario = name.substr(0, name.size() - reference.size());
      const auto engine = fastest_.find(scenario + "/engine");
      if (engine == fastest_.end()) continue;
      const auto threads = fastest_.find(scenario + "/threads/real_time");
      const auto plain = fastest_.find(scenario + "/plain");
      if (!header) {
        std::printf("\n%-46s %7s %7s %10s %10s %6s %10s %10s %6s %10s %6s\n", "scenario (fastest repetition)",
                    "sources", "steady", "ref cpu", "engine cpu", "ratio", "engine wall", "threads wall",
                    "ratio", "plain cpu", "ratio");
        header = true;
      }
      const Fastest& ref = fastest_[name];
      const Fastest& one = engine->second;
      std::printf("%-46s %7.1f %7.1f %10.3f %10.3f %6.2f", scenario.c_str(), one.sources, one.steadyMean,
                  ref.cpu, one.cpu, one.cpu > 0.0 ? ref.cpu / one.cpu : 0.0);
      if (threads != fastest_.end()) {
        std::printf(" %10.3f %10.3f %6.2f", one.real, threads->second.real,
                    threads->second.real > 0.0 ? one.real / threads->second.real : 0.0);
      } else {
        std::printf(" %10s %10s %6s", "-", "-", "-");
      }
      if (plain != fastest_.end()) {
        std::printf(" %10.3f %6.2f", plain->second.cpu, one.cpu > 0.0 ? plain->second.cpu / one.cpu : 0.0);
      }
      std::printf("\n");
    }
    std::fflush(stdout);
  }

  const std::vector<std::string>& errors() const { return errors_; }

 private:
  struct Fastest {
    double cpu = 0.0;
    double real = 0.0;
    double sources = 0.0;
    double steadyMean = 0.0;
  };
  static double ToMilliseconds(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kNanosecond:
        return 1e-6;
      case benchmark::kMicrosecond:
        return 1e-3;
      case benchmark::kMillisecond:
        return 1.0;
      default:
        return 1e3;
    }
  }

  std::vector<std::string> order_;
  std::vector<std::string> errors_;
  std::map<std::string, Fastest> fastest_;
};

// Registered only with --self_test_error (the exit status's own test, bench_exit_status_check.sh): a
// benchmark that skips with an error, as a scenario the set-up refuses does.
void SelfTestError(benchmark::State& state) {
  state.SkipWithError("a scenario that fails on purpose");
  for (auto _ : state) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Our own flag, taken out before Google Benchmark reads the rest.
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--self_test_error") == 0) {
      benchmark::RegisterBenchmark("SelfTest/error", SelfTestError);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  int status = 0;
  if (ran == 0) {
    std::fprintf(stderr, "lumar_bench: the filter matched no benchmark\n");
    status = 1;
  }
  for (const std::string& error : reporter.errors()) {
    std::fprintf(stderr, "lumar_bench: skipped with an error: %s\n", error.c_str());
    status = 1;
  }
  return status;
}
