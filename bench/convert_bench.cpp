// The conversion loop against a plain memcpy of the same number of output bytes, case by case, over full
// runs: the conversion pass alone (ConvertData + GetData on samples set once), and the whole run as the
// export makes it (SetData + ConvertData + GetData). SetData takes aligned samples where they lie, so the two
// differ by its checks only, and a run the file takes unchanged (32-bit, 3 planes) makes no pass at all:
// there the ratio only says that nothing is copied. Prints the ratios of the throughputs at the end.
#include "ConvertBuffer/ConvertBuffer.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const int iREPETITIONS = 5;

// Varied host samples across the whole range, with some outside it where the type allows.
template <class U>
std::vector<U> MakeSamples(size_t count) {
    std::mt19937 random(12345);
    std::vector<U> samples(count);
    for (U& sample : samples) {
        if constexpr (sizeof(U) == 1) {
            sample = static_cast<U>(random() & 0xFF);
        } else if constexpr (sizeof(U) == 2) {
            sample = static_cast<U>(random() % 32769);
        } else {
            sample = static_cast<U>(std::uniform_real_distribution<float>(-0.1f, 1.1f)(random));
        }
    }
    return samples;
}

// One full run per iteration: with copyIn, SetData + ConvertData + GetData; without, the conversion pass
// alone on samples set once beforehand.
template <class T, class U>
void BM_Convert(benchmark::State& state, unsigned int planes, bool copyIn) {
    std::unique_ptr<IConvertBuffer> buffer(new CConvertBuffer<T, U>());
    if (!buffer->Create(eINPUT_FORMAT_RGB, planes)) {
        state.SkipWithError("Create failed");
        return;
    }
    const unsigned int pixels = buffer->GetMaxPixel();
    const std::vector<U> input = MakeSamples<U>(size_t{planes} * pixels);
    const unsigned int inputBytes = static_cast<unsigned int>(input.size() * sizeof(U));
    if (!buffer->SetData(input.data(), inputBytes, pixels)) {
        state.SkipWithError("SetData failed");
        return;
    }
    void* output = nullptr;
    unsigned int outputBytes = 0;
    for (auto _ : state) {
        if ((copyIn && !buffer->SetData(input.data(), inputBytes, pixels)) || !buffer->ConvertData(pixels) ||
            !buffer->GetData(&output, &outputBytes, pixels)) {
            state.SkipWithError("a buffer call failed");
            return;
        }
        benchmark::DoNotOptimize(output);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * outputBytes);
}

void BM_Memcpy(benchmark::State& state, size_t bytes) {
    const std::vector<char> source(bytes, 1);
    std::vector<char> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Output bytes of one full run, as the buffer reports them: the memcpy side copies exactly as many.
template <class T, class U>
size_t RunOutputBytes(unsigned int planes) {
    std::unique_ptr<IConvertBuffer> buffer(new CConvertBuffer<T, U>());
    if (!buffer->Create(eINPUT_FORMAT_RGB, planes)) {
        return 0;
    }
    const unsigned int pixels = buffer->GetMaxPixel();
    void* output = nullptr;
    unsigned int bytes = 0;
    return buffer->GetData(&output, &bytes, pixels) ? bytes : 0;
}

template <class T, class U>
void RegisterCase(const std::string& label, unsigned int planes) {
    benchmark::RegisterBenchmark(("pass/" + label).c_str(), BM_Convert<T, U>, planes, false)
        ->Repetitions(iREPETITIONS)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("run/" + label).c_str(), BM_Convert<T, U>, planes, true)
        ->Repetitions(iREPETITIONS)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("memcpy/" + label).c_str(), BM_Memcpy, RunOutputBytes<T, U>(planes))
        ->Repetitions(iREPETITIONS)
        ->ReportAggregatesOnly(true);
}

// The console output as usual, plus the median throughput of each benchmark for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: the library's own choice looks at TERM alone, and a log file would keep the
    // escape codes.
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) == 1 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                rate != run.counters.end()) {
                medians[run.run_name.function_name] = rate->second.value;
            }
        }
    }

    // Returns false when a case could not be measured.
    bool PrintRatios(const std::vector<std::string>& labels) const {
        bool complete = true;
        std::printf("\n%-16s %10s %10s %11s %12s %11s\n", "case", "pass MB/s", "run MB/s", "memcpy MB/s",
                    "pass/memcpy", "run/memcpy");
        for (const std::string& label : labels) {
            const double pass = Median("pass/" + label);
            const double run = Median("run/" + label);
            const double copy = Median("memcpy/" + label);
            if (pass <= 0.0 || run <= 0.0 || copy <= 0.0) {
                std::printf("%-16s not measured\n", label.c_str());
                complete = false;
                continue;
            }
            std::printf("%-16s %10.0f %10.0f %11.0f %12.2f %11.2f\n", label.c_str(), pass / 1e6, run / 1e6,
                        copy / 1e6, pass / copy, run / copy);
        }
        return complete;
    }

private:
    double Median(const std::string& name) const {
        const auto found = medians.find(name);
        return found == medians.end() ? 0.0 : found->second;
    }

    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const std::vector<std::string> labels = {"8-bit/3-planes",  "8-bit/4-planes",  "16-bit/3-planes",
                                             "16-bit/4-planes", "32-bit/3-planes", "32-bit/4-planes"};
    RegisterCase<unsigned short, unsigned char>(labels[0], 3);
    RegisterCase<unsigned short, unsigned char>(labels[1], 4);
    RegisterCase<unsigned short, unsigned short>(labels[2], 3);
    RegisterCase<unsigned short, unsigned short>(labels[3], 4);
    RegisterCase<float, float>(labels[4], 3);
    RegisterCase<float, float>(labels[5], 4);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.PrintRatios(labels) ? 0 : 1;
}
