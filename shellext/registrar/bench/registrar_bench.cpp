// Speed of the registrar on the in-memory registry:
// - register then unregister a generated script of N keys, each with a default value and two
//   values, for N = 1,000, 10,000 and 100,000 (the cost per key should grow by less than 1.5x);
// - register a script of one key entry with its default value per line (at least one million
//   lines per second);
// - the substitution pass over 10 MB of text.
// After Google Benchmark's table, a summary prints these figures against their targets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "memory_registry.h"
#include "reg_object.h"
#include "substitution.h"

namespace tw {
namespace {

const CodePageText& kText = CodePageText::Western();

std::string KeyName(int64_t i) {
    std::string digits = std::to_string(i);
    return "K" + std::string(digits.size() < 7 ? 7 - digits.size() : 0, '0') + digits;
}

std::string KeysWithValues(int64_t keys) {
    std::string script = "HKCR\r\n{\r\n    NoRemove Bench\r\n    {\r\n";
    for (int64_t i = 0; i < keys; ++i) {
        script += "        " + KeyName(i) +
                  " = s 'default value'\r\n        {\r\n"
                  "            val Text = s 'some text'\r\n"
                  "            val Number = d 42\r\n        }\r\n";
    }
    return script + "    }\r\n}\r\n";
}

std::string OneKeyPerLine(int64_t lines) {
    std::string script = "HKCR\r\n{\r\n";
    for (int64_t i = 0; i < lines; ++i) {
        script += KeyName(i) + " = s 'value'\r\n";
    }
    return script + "}\r\n";
}

void BM_RegisterThenUnregister(benchmark::State& state) {
    const int64_t keys = state.range(0);
    const std::string script = KeysWithValues(keys);
    for (auto _ : state) {
        InMemoryRegistry registry(kText);
        CRegObject registrar(registry, kText);
        if (registrar.RunScriptText(script.c_str(), true) != S_OK ||
            registrar.RunScriptText(script.c_str(), false) != S_OK) {
            state.SkipWithError("the script failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
// Each benchmark runs five times; the summary takes the best run, since a shared machine only ever
// adds time.
BENCHMARK(BM_RegisterThenUnregister)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Repetitions(5)
    ->Unit(benchmark::kMillisecond);

void BM_RegisterLines(benchmark::State& state) {
    const int64_t lines = state.range(0);
    const std::string script = OneKeyPerLine(lines);
    for (auto _ : state) {
        state.PauseTiming();
        {
            InMemoryRegistry registry(kText);
            CRegObject registrar(registry, kText);
            state.ResumeTiming();
            const HRESULT hr = registrar.RunScriptText(script.c_str(), true);
            state.PauseTiming();
            if (hr != S_OK) {
                state.SkipWithError("the script failed");
            }
        }  // the registry is freed outside the timing
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (lines + 3));
}
BENCHMARK(BM_RegisterLines)->Arg(200000)->Repetitions(5)->Unit(benchmark::kMillisecond);

void BM_SubstitutionPass(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string line =
        "            InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' } "
        "'100%%'\r\n";
    std::string text;
    while (text.size() < size) {
        text += line;
    }
    const std::vector<Substitution> substitutions = {
        {"APPID", u""},
        {"Module", u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll"},
        {"Module_Raw", u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll"}};
    ExpandedScript expanded;
    for (auto _ : state) {
        size_t offset;
        ScriptFault fault;
        if (ExpandSubstitutions(text.c_str(), substitutions, kText, &expanded, &offset, &fault) !=
            S_OK) {
            state.SkipWithError("the substitution pass failed");
            break;
        }
        benchmark::DoNotOptimize(expanded.text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SubstitutionPass)->Arg(10 << 20)->Repetitions(5)->Unit(benchmark::kMillisecond);

// Keeps the rate of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;  // the aggregates of the repetitions
            }
            auto items = run.counters.find("items_per_second");
            auto bytes = run.counters.find("bytes_per_second");
            const double rate = items != run.counters.end()   ? items->second.value
                                : bytes != run.counters.end() ? bytes->second.value
                                                              : 0;
            double& best = rates[run.run_name.function_name + "/" + run.run_name.args];
            best = std::max(best, rate);
        }
    }
    std::map<std::string, double> rates;
};

void PrintSummary(const std::map<std::string, double>& rates) {
    auto rate = [&](const std::string& name) {
        auto it = rates.find(name);
        return it == rates.end() ? 0.0 : it->second;
    };
    std::printf("\nSummary (the best of five runs of each)\n");
    double first = 0;
    for (const char* keys : {"1000", "10000", "100000"}) {
        const double perSecond = rate(std::string("BM_RegisterThenUnregister/") + keys);
        const double nanoseconds = perSecond > 0 ? 1e9 / perSecond : 0;
        if (first == 0) {
            first = nanoseconds;
        }
        std::printf("  register + unregister, %6s keys: %8.0f ns per key\n", keys, nanoseconds);
    }
    const double last = rate("BM_RegisterThenUnregister/100000");
    if (first > 0 && last > 0) {
        std::printf("  cost per key grows %.2fx from 1,000 to 100,000 keys (target: below 1.5x)\n",
                    (1e9 / last) / first);
    }
    std::printf("  register: %.0f script lines per second (target: at least 1,000,000)\n",
                rate("BM_RegisterLines/200000"));
    std::printf("  substitution pass over 10 MB: %.0f MB/s\n",
                rate("BM_SubstitutionPass/10485760") / (1 << 20));
}

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tw::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    tw::PrintSummary(reporter.rates);
    benchmark::Shutdown();
    return 0;
}
