// The benchmarks' entry point. Besides Google Benchmark's own report it prints, for every scenario run as
// "<name>/reference" and "<name>/engine", the fastest repetition of each (process CPU time) and their
// ratio, with the number of sources alive: on a shared machine the minimum CPU time is the figure least
// disturbed by other load.
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
      const double ms = run.GetAdjustedCPUTime() * ToMilliseconds(run.time_unit);
      const auto sources = run.counters.find("sources");
      if (sources != run.counters.end()) sources_[name] = sources->second.value;
      auto found = fastest_.find(name);
      if (found == fastest_.end()) {
        order_.push_back(name);
        fastest_[name] = ms;
      } else if (ms < found->second) {
        found->second = ms;
      }
    }
  }

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
      if (!header) {
        std::printf("\n%-52s %8s %12s %12s %8s\n", "scenario (fastest repetition, CPU)", "sources",
                    "reference ms", "engine ms", "ratio");
        header = true;
      }
      const double ref = fastest_[name];
      std::printf("%-52s %8.0f %12.3f %12.3f %8.2f\n", scenario.c_str(), sources_[name], ref, engine->second,
                  engine->second > 0.0 ? ref / engine->second : 0.0);
    }
    std::fflush(stdout);
  }

 private:
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
  std::map<std::string, double> fastest_;
  std::map<std::string, double> sources_;
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
