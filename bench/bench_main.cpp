// The benchmarks' entry point. Besides Google Benchmark's own report it prints, for every scenario run as
// "<name>/reference", "<name>/engine" and "<name>/threads", the fastest repetition of each and their
// ratios, with the number of sources alive: on a shared machine the minimum is the figure least disturbed
// by other load.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
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
    }
  }

  // Per scenario: the reference and the engine on one thread (CPU time), their ratio; the engine on one
  // thread and on every thread (elapsed time, which is what threads shorten), their ratio.
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
      if (!header) {
        std::printf("\n%-46s %7s %10s %10s %6s %10s %10s %6s\n", "scenario (fastest repetition)", "sources",
                    "ref cpu", "engine cpu", "ratio", "engine wall", "threads wall", "ratio");
        header = true;
      }
      const Fastest& ref = fastest_[name];
      const Fastest& one = engine->second;
      std::printf("%-46s %7.0f %10.3f %10.3f %6.2f", scenario.c_str(), one.sources, ref.cpu, one.cpu,
                  one.cpu > 0.0 ? ref.cpu / one.cpu : 0.0);
      if (threads != fastest_.end()) {
        std::printf(" %10.3f %10.3f %6.2f", one.real, threads->second.real,
                    threads->second.real > 0.0 ? one.real / threads->second.real : 0.0);
      }
      std::printf("\n");
    }
    std::fflush(stdout);
  }

 private:
  struct Fastest {
    double cpu = 0.0;
    double real = 0.0;
    double sources = 0.0;
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
  std::map<std::string, Fastest> fastest_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
