// The conversion buffer's run (SetData + ConvertData + GetData over full runs) against a plain memcpy of the
// same number of output bytes, case by case, alternating; prints the ratio of the two throughputs at the end.
#include "ConvertBuffer/ConvertBuffer.h"

#include <benchmark/benchmark.h>

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

template <class T, class U>
void BM_Convert(benchmark::State& state, unsigned int planes) {
    std::unique_ptr<IConvertBuffer> buffer(new CConvertBuffer<T, U>());
    if (!buffer->Create(eINPUT_FORMAT_RGB, planes)) {
        state.SkipWithError("Create failed");
        return;
    }
    const unsigned int pixels = buffer->GetMaxPixel();
    const std::vector<U> input = MakeSamples<U>(size_t{planes} * pixels);
    const unsigned int inputBytes = static_cast<unsigned int>(input.size() * sizeof(U));
    void* output = nullptr;
    unsigned int outputBytes = 0;
    for (auto _ : state) {
        if (!buffer->SetData(input.data(), inputBytes, pixels) || !buffer->ConvertData(pixels) ||
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
    benchmark::RegisterBenchmark(("convert/" + label).c_str(), BM_Convert<T, U>, planes)
        ->Repetitions(iREPETITIONS)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("memcpy/" + label).c_str(), BM_Memcpy, RunOutputBytes<T, U>(planes))
        ->Repetitions(iREPETITIONS)
        ->ReportAggregatesOnly(true);
}

// The console output as usual, plus the median throughput of each benchmark for the closing table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
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
        std::printf("\n%-22s %14s %14s %8s\n", "case", "convert MB/s", "memcpy MB/s", "ratio");
        for (const std::string& label : labels) {
            const auto convert = medians.find("convert/" + label);
            const auto copy = medians.find("memcpy/" + label);
            if (convert == medians.end() || copy == medians.end() || copy->second <= 0.0) {
                std::printf("%-22s not measured\n", label.c_str());
                complete = false;
                continue;
            }
            std::printf("%-22s %14.0f %14.0f %8.2f\n", label.c_str(), convert->second / 1e6,
                        copy->second / 1e6, convert->second / copy->second);
        }
        return complete;
    }

private:
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
