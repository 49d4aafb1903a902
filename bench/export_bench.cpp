// Whole exports through the real module against the cost of writing the same bytes.
//
// The host library's host holds the whole document in memory (no decoding) and serves each requested region
// in place, as a host does, to QuenfieldExport.so through PluginMain: Prepare, Start, Finish, with a
// companion entry that does nothing. Each export alternates with two floors, into a fresh file in the same
// folder:
//   - the write floor: the export's own write calls replayed from one constant buffer, that is the header
//     lines one by one, then one write per requested row segment of exactly its converted bytes (a row
//     narrower than the buffer's run is one write, not a 60 KB slice of the stream);
//   - the read+write floor: the same, with each requested row segment first copied out of the document, the
//     one pass over the document's memory that any export must make;
// and with the same export without a companion registered, which tells what starting the companion adds.
// Before every timed run all files are removed, outside the clock, so that no side pays for removing a file
// or runs beside another's dirty pages; the side that goes first rotates. Only ratios measured in one run
// mean anything on a shared machine. The document (288 to 576 MB at the default size) is far larger than the
// processor's caches, so every side reads it from memory. `--case N` runs case N alone, without the fixed
// costs, for a profiler: callgrind's instruction counts of TimeExport and TimeFloor hold on a busy machine.
#include "ExportInterface.h"
#include "HostCore.h"
#include "MemoryDocument.h"
#include "PluginLibrary.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Case {
    const char* name;
    int16_t mode;
    int16_t depth;
    int16_t planes;
};

const Case kCases[] = {
    {"RGB 8-bit, 3 planes", plugInModeRGBColor, 8, 3},
    {"RGB 16-bit, 3 planes", plugInModeRGB48, 16, 3},
    {"RGB 32-bit, 3 planes", plugInModeRGB96, 32, 3},
    {"RGB 8-bit, 4 planes", plugInModeRGBColor, 8, 4},
};

struct Settings {
    int32_t width = 8000;
    int32_t height = 6000;
    int runs = 5;
    int onlyCase = 0; // 1 to 4: that case alone, without the fixed costs (for a profiler)
    std::string folder;
    bool ownFolder = false; // made here, so removed at the end
    std::string module;
};

// One requested row segment: its row and its first and last-but-one column.
struct Segment {
    int32_t row;
    int32_t left;
    int32_t right;
};

// The whole document, every sample written once here so that its pages are the host's before any export.
host::MemoryDocument MakeDocument(const Case& c, int32_t width, int32_t height) {
    host::MemoryDocument document(c.mode, c.depth, c.planes, width, height, "bench");
    std::vector<uint8_t>& bytes = document.Bytes();
    uint32_t seed = 12345;
    for (size_t i = 0; i < bytes.size(); i += document.SampleBytes()) {
        seed = seed * 1664525u + 1013904223u;
        uint8_t* sample = &bytes[i];
        if (c.depth == 8) {
            *sample = static_cast<uint8_t>(seed >> 24);
        } else if (c.depth == 16) {
            const uint16_t value = static_cast<uint16_t>((seed >> 16) % 32769);
            std::memcpy(sample, &value, sizeof value);
        } else {
            const float value = static_cast<float>(seed >> 8) / 16777216.0f * 1.5f - 0.25f;
            std::memcpy(sample, &value, sizeof value);
        }
    }
    return document;
}

// Wall time, and the processor time of the whole process (the kernel's share of write included), which is
// what the plug-in itself costs whatever the disk is doing meanwhile.
struct Timing {
    double wall;
    double cpu;
};

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

class Stopwatch {
public:
    Stopwatch() : wall_(std::chrono::steady_clock::now()), cpu_(ProcessCpuSeconds()) {}
    Timing Elapsed() const {
        return Timing{std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count(),
                      ProcessCpuSeconds() - cpu_};
    }

private:
    std::chrono::steady_clock::time_point wall_;
    double cpu_;
};

std::string ExportPath(const Settings& settings, const Case& c) {
    return settings.folder + "/QuenfieldImport/bench." + (c.depth == 32 ? "pfm" : "ppm");
}

// One export served in place; with segments, the requests are kept there.
Timing TimeExport(host::PluginLibrary& module, const Case& c, host::MemoryDocument& document,
                  std::vector<Segment>* segments = nullptr, int16_t expected = 0) {
    host::HostOptions options;
    options.memory = host::DeliveryMemory::InPlace;
    options.log = segments != nullptr;
    auto call = [&module](int16_t selector, void* block, intptr_t*, int16_t* result) {
        *result = module.Call(selector, block);
    };
    host::HostCore host(call, document, host::RecordDescription{c.mode, c.depth, document.Name()}, options);
    // The plug-in's globals live in its own fallback memory here, and it gets no suites.
    ExportRecord& record = host.Record();
    record.maxData = 0x7fffffff;
    record.handleProcs = nullptr;
    record.sSPBasic = nullptr;
    const Stopwatch stopwatch;
    int16_t result = host.Call(exportSelectorPrepare);
    if (result == 0) {
        result = host.Call(exportSelectorStart);
    }
    const Timing timing = stopwatch.Elapsed();
    if (result != expected || host.Call(exportSelectorFinish) != 0) {
        throw std::runtime_error(std::string(c.name) + ": export failed with " + std::to_string(result));
    }
    if (segments != nullptr) {
        for (const host::Event& request : host.Requests()) {
            segments->push_back(Segment{request.rect.top, request.rect.left, request.rect.right});
        }
    }
    return timing;
}

uint64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

// What the export wrote, call by call: its header lines, then the bytes of each row segment.
struct WritePattern {
    std::vector<std::string> headerLines;
    std::vector<Segment> segments;
    std::vector<size_t> chunks; // the converted bytes of each segment
    uint64_t Bytes() const {
        uint64_t bytes = 0;
        for (const std::string& line : headerLines) {
            bytes += line.size();
        }
        for (size_t chunk : chunks) {
            bytes += chunk;
        }
        return bytes;
    }
};

// The header is what precedes the pixel bytes in the export's file: four lines, each one write.
WritePattern PatternOf(const std::string& exportPath, const std::vector<Segment>& segments,
                       size_t pixelBytes) {
    WritePattern pattern;
    pattern.segments = segments;
    for (const Segment& segment : segments) {
        pattern.chunks.push_back(static_cast<size_t>(segment.right - segment.left) * pixelBytes);
    }
    std::ifstream file(exportPath, std::ios::binary);
    for (int i = 0; i < 4; ++i) {
        std::string line;
        if (!std::getline(file, line)) {
            throw std::runtime_error("cannot read the header of " + exportPath);
        }
        pattern.headerLines.push_back(line + '\n');
    }
    if (pattern.Bytes() != FileSize(exportPath)) {
        throw std::runtime_error("the requests do not account for the bytes of " + exportPath);
    }
    return pattern;
}

void WriteAll(int fd, const void* data, size_t bytes, const std::string& path) {
    if (::write(fd, data, bytes) != static_cast<ssize_t>(bytes)) {
        ::close(fd);
        throw std::runtime_error("cannot write " + path);
    }
}

// The export's write calls; with a document, each segment's samples are first copied out of it.
Timing TimeFloor(const WritePattern& pattern, const host::MemoryDocument* document, const std::string& path) {
    const std::vector<char> buffer(*std::max_element(pattern.chunks.begin(), pattern.chunks.end()), 'x');
    std::vector<uint8_t> copy;
    if (document != nullptr) {
        int32_t widest = 0;
        for (const Segment& segment : pattern.segments) {
            widest = std::max(widest, segment.right - segment.left);
        }
        copy.assign(static_cast<size_t>(widest) * document->PixelBytes(), 0);
    }
    const Stopwatch stopwatch;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const std::string& line : pattern.headerLines) {
        WriteAll(fd, line.data(), line.size(), path);
    }
    for (size_t i = 0; i < pattern.chunks.size(); ++i) {
        if (document != nullptr) {
            const Segment& segment = pattern.segments[i];
            std::memcpy(copy.data(), document->SampleAddress(segment.left, segment.row, 0),
                        static_cast<size_t>(segment.right - segment.left) * document->PixelBytes());
        }
        WriteAll(fd, buffer.data(), pattern.chunks[i], path);
    }
    ::close(fd);
    return stopwatch.Elapsed();
}

double Median(const std::vector<Timing>& timings, double Timing::*part) {
    std::vector<double> values;
    for (const Timing& timing : timings) {
        values.push_back(timing.*part);
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void RemoveFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        ::unlink(path.c_str());
    }
}

// What every export costs whatever its size, mostly starting the companion: the median of 1 x 1 pixel
// exports, which have no write for the start to run beside, so that all of it shows.
Timing FixedCost(host::PluginLibrary& module, const Settings& settings) {
    Settings tiny = settings;
    tiny.width = 1;
    tiny.height = 1;
    const Case& c = kCases[0];
    host::MemoryDocument document = MakeDocument(c, tiny.width, tiny.height);
    std::vector<Timing> exports;
    for (int run = 0; run <= settings.runs; ++run) {
        RemoveFiles({ExportPath(tiny, c)});
        const Timing timing = TimeExport(module, c, document);
        if (run > 0) {
            exports.push_back(timing);
        }
    }
    RemoveFiles({ExportPath(tiny, c)});
    return Timing{Median(exports, &Timing::wall), Median(exports, &Timing::cpu)};
}

// Memory a host holds beside the export, every page written once; small pages, as Debian's default leaves a
// heap (huge pages only where asked for).
class HeldMemory {
public:
    explicit HeldMemory(size_t bytes) : bytes_(bytes) {
        if (bytes_ == 0) {
            return;
        }
        memory_ = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory_ == MAP_FAILED) {
            throw std::runtime_error("cannot hold " + std::to_string(bytes_ >> 20) + " MB");
        }
        ::madvise(memory_, bytes_, MADV_NOHUGEPAGE);
        std::memset(memory_, 1, bytes_);
    }
    ~HeldMemory() {
        if (bytes_ != 0) {
            ::munmap(memory_, bytes_);
        }
    }
    HeldMemory(const HeldMemory&) = delete;
    HeldMemory& operator=(const HeldMemory&) = delete;

private:
    size_t bytes_;
    void* memory_ = nullptr;
};

// The fixed cost of an export from a host holding 0, 1 and 4 GB of touched memory, in this one process:
// starting the companion must not grow with what the host holds. Three short processes make up most of it,
// so its median is taken over three times the usual runs.
void ReportFixedCostByHeldMemory(host::PluginLibrary& module, const Settings& settings) {
    Settings more = settings;
    more.runs = 3 * settings.runs;
    double bare = 0.0;
    for (const size_t gigabytes : {0, 1, 4}) {
        const HeldMemory held(gigabytes << 30);
        const Timing fixed = FixedCost(module, more);
        bare = gigabytes == 0 ? fixed.wall : bare;
        std::printf("fixed cost of one export holding %zu GB: %5.1f ms, cpu %5.1f ms, %4.2fx the bare one\n",
                    gigabytes, fixed.wall * 1e3, fixed.cpu * 1e3, fixed.wall / bare);
        std::fflush(stdout);
    }
}

// While it lasts no companion is registered: an export then looks for it and ends with -30901 once the file
// is published, without starting anything.
class NoCompanion {
public:
    explicit NoCompanion(const Settings& settings)
        : home_(::getenv("XDG_DATA_HOME")), dirs_(::getenv("XDG_DATA_DIRS")) {
        const std::string data = settings.folder + "/no-companion";
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", data.c_str(), 1);
    }
    ~NoCompanion() {
        ::setenv("XDG_DATA_HOME", home_.c_str(), 1);
        ::setenv("XDG_DATA_DIRS", dirs_.c_str(), 1);
    }
    NoCompanion(const NoCompanion&) = delete;
    NoCompanion& operator=(const NoCompanion&) = delete;

private:
    std::string home_;
    std::string dirs_;
};

// The companion's start runs beside the write and only its last part follows it, so what it adds to a case
// is measured as the difference from the same export without a companion (side 3), not as a small export's
// whole fixed cost.
void RunCase(host::PluginLibrary& module, const Case& c, const Settings& settings) {
    host::MemoryDocument document = MakeDocument(c, settings.width, settings.height);
    const std::string exportPath = ExportPath(settings, c);
    const std::string floorPath = settings.folder + "/floor.bin";
    const std::vector<std::string> files = {exportPath, floorPath};
    // The warm-up export also shows the write calls the floors must match.
    RemoveFiles(files);
    std::vector<Segment> segments;
    TimeExport(module, c, document, &segments);
    const WritePattern pattern = PatternOf(exportPath, segments, c.depth == 32 ? 12 : 6);
    RemoveFiles(files);
    TimeFloor(pattern, &document, floorPath);
    // Side 0 exports, side 1 is the write floor, side 2 the read+write floor, side 3 exports without a
    // companion.
    std::vector<Timing> timings[4];
    for (int run = 0; run < settings.runs; ++run) {
        for (int turn = 0; turn < 4; ++turn) {
            const int side = (run + turn) % 4;
            RemoveFiles(files);
            if (side == 0) {
                timings[side].push_back(TimeExport(module, c, document));
            } else if (side == 3) {
                const NoCompanion none(settings);
                timings[side].push_back(
                    TimeExport(module, c, document, nullptr, exportErrCompanionNotLaunched));
            } else {
                timings[side].push_back(TimeFloor(pattern, side == 2 ? &document : nullptr, floorPath));
            }
        }
    }
    RemoveFiles(files);
    const double exportTime = Median(timings[0], &Timing::wall);
    const double writeTime = Median(timings[1], &Timing::wall);
    const double readWriteTime = Median(timings[2], &Timing::wall);
    const double aloneTime = Median(timings[3], &Timing::wall);
    const double megabytes = static_cast<double>(pattern.Bytes()) / 1e6;
    std::printf("%-22s %5.0f MB  export %6.3f s %5.0f MB/s  write floor %6.3f s  ratio %4.2f (cpu %4.2f)  "
                "read+write floor %6.3f s  ratio %4.2f (cpu %4.2f)  launch adds %4.1f ms, without it %4.2f\n",
                c.name, megabytes, exportTime, megabytes / exportTime, writeTime, exportTime / writeTime,
                Median(timings[0], &Timing::cpu) / Median(timings[1], &Timing::cpu), readWriteTime,
                exportTime / readWriteTime,
                Median(timings[0], &Timing::cpu) / Median(timings[2], &Timing::cpu),
                (exportTime - aloneTime) * 1e3, aloneTime / readWriteTime);
    std::fflush(stdout);
}

// The plug-in's own cost per export, without starting a companion (none is registered, so every export ends
// with -30901 at once): checking the temporary and export folders, emptying the export folder, creating,
// writing, closing and naming the file. Median of many 1 x 1 pixel exports, one after another.
Timing OwnCost(host::PluginLibrary& module, const Settings& settings) {
    const NoCompanion none(settings);
    const Case& c = kCases[0];
    host::MemoryDocument document = MakeDocument(c, 1, 1);
    std::vector<Timing> exports;
    for (int run = 0; run <= 200; ++run) {
        host::HostCore host([&module](int16_t selector, void* block, intptr_t*,
                                      int16_t* result) { *result = module.Call(selector, block); },
                            document, host::RecordDescription{c.mode, c.depth, document.Name()});
        host.Record().handleProcs = nullptr;
        host.Record().sSPBasic = nullptr;
        const Stopwatch stopwatch;
        int16_t result = host.Call(exportSelectorPrepare);
        if (result == 0) {
            result = host.Call(exportSelectorStart);
        }
        const Timing timing = stopwatch.Elapsed();
        if (result != exportErrCompanionNotLaunched) {
            throw std::runtime_error("an export without a companion gave " + std::to_string(result));
        }
        if (run > 0) {
            exports.push_back(timing);
        }
    }
    return Timing{Median(exports, &Timing::wall), Median(exports, &Timing::cpu)};
}

// A companion that accepts the file and does nothing, registered only for this process.
void RegisterIdleCompanion(const std::string& folder) {
    const std::string applications = folder + "/xdg/applications";
    ::mkdir((folder + "/xdg").c_str(), 0700);
    ::mkdir(applications.c_str(), 0700);
    std::ofstream entry(applications + "/" QUENFIELD_APP_ID ".desktop");
    entry << "[Desktop Entry]\nType=Application\nName=Idle companion\nExec=true %f\n";
    ::setenv("XDG_DATA_HOME", (folder + "/xdg").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (folder + "/xdg").c_str(), 1);
}

// A user's export folder is on a disk, and so is /var/tmp, the default here; tmpfs shows the cost without the
// file system's block allocation.
const char* FileSystemKind(const std::string& folder) {
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) {
        return "file system unknown";
    }
    return info.f_type == TMPFS_MAGIC ? "tmpfs" : "on disk";
}

Settings ParseArguments(int argc, char** argv) {
    Settings settings;
    settings.module = QUENFIELD_MODULE_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--width") {
            settings.width = std::atoi(argv[i + 1]);
        } else if (option == "--height") {
            settings.height = std::atoi(argv[i + 1]);
        } else if (option == "--runs") {
            settings.runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--case") {
            settings.onlyCase = std::atoi(argv[i + 1]);
        } else if (option == "--folder") {
            settings.folder = argv[i + 1];
        } else if (option == "--plugin") {
            settings.module = argv[i + 1];
        } else {
            throw std::runtime_error("unknown option " + option);
        }
    }
    if (settings.width <= 0 || settings.height <= 0) {
        throw std::runtime_error("width and height must be positive");
    }
    if (settings.onlyCase < 0 || settings.onlyCase > static_cast<int>(std::size(kCases))) {
        throw std::runtime_error("--case takes 1 to " + std::to_string(std::size(kCases)));
    }
    if (settings.folder.empty()) {
        char pattern[] = "/var/tmp/quenfield-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("cannot create a folder for the files");
        }
        settings.folder = pattern;
        settings.ownFolder = true;
    }
    return settings;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Settings settings = ParseArguments(argc, argv);
        ::setenv("TMPDIR", settings.folder.c_str(), 1);
        RegisterIdleCompanion(settings.folder);
        host::PluginLibrary module(settings.module);
        // On a shared machine the load says how far the wall times can be trusted; the cpu ratios hold
        // better.
        double load[1] = {-1.0};
        ::getloadavg(load, 1);
        std::printf(
            "%d x %d, median of %d alternating runs after a warm-up, files in %s (%s), load average %.1f\n",
            settings.width, settings.height, settings.runs, settings.folder.c_str(),
            FileSystemKind(settings.folder), load[0]);
        if (settings.onlyCase != 0) {
            RunCase(module, kCases[settings.onlyCase - 1], settings);
        } else {
            ReportFixedCostByHeldMemory(module, settings);
            const Timing own = OwnCost(module, settings);
            std::printf("own cost of one export (1 x 1 pixel, no companion): %.3f ms, cpu %.3f ms\n",
                        own.wall * 1e3, own.cpu * 1e3);
            for (const Case& c : kCases) {
                RunCase(module, c, settings);
            }
        }
        if (settings.ownFolder) {
            std::filesystem::remove_all(settings.folder);
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "export_bench: %s\n", error.what());
        return 1;
    }
}
