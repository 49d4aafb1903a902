// A second, independent export plug-in of the interface, for the validator's own tests: where the interface
// leaves a choice, it chooses differently from ours. It asks for strips of several rows (parts of a row when
// maxData is small), one strip per Start or Continue call, for the colour planes only; caps maxData at 64
// KiB; reports progress per strip; keeps its state in memory of its own from Start to Finish only; takes
// 16-bit coordinates from a host without 32-bit ones; and removes the file of an export that did not end
// well.
#include "ExportInterface.h"

#include <gio/gdesktopappinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t kMaxData = 64 * 1024;
constexpr int32_t kMax16 = 32767;
const char* const kFolder = "QuenfieldImport";

struct Session {
    int folder = -1;
    int file = -1;
    std::string path; // the file's, for the companion
    std::string name;
    int32_t row = 0;    // where the next strip starts
    int32_t column = 0; // within the row, when rows are split
};

bool IsGray(int16_t mode) {
    return mode == plugInModeGrayScale || mode == plugInModeGray16 || mode == plugInModeGray32;
}

bool IsRgb(int16_t mode) {
    return mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96;
}

bool Supported(const ExportRecord& r) {
    const bool depth = r.depth == 8 || r.depth == 16 || r.depth == 32;
    const bool planes = (IsGray(r.imageMode) && r.planes >= 1) || (IsRgb(r.imageMode) && r.planes >= 3);
    return depth && planes && r.imageSize32.v > 0 && r.imageSize32.h > 0;
}

bool Uses32Bit(const ExportRecord& r) {
    return r.PluginUsing32BitCoordinates == 1;
}

int Channels(const ExportRecord& r) {
    return IsRgb(r.imageMode) ? 3 : 1;
}

size_t SampleBytes(const ExportRecord& r) {
    return size_t(r.depth / 8);
}

int16_t Prepare(ExportRecord& r) {
    const bool fits16 = r.imageSize32.v <= kMax16 && r.imageSize32.h <= kMax16;
    if (r.HostSupports32BitCoordinates != 1 && !fits16) {
        return exportErrParam;
    }
    if (!Supported(r)) {
        return exportErrUnsupportedDocument;
    }
    if (r.maxData > kMaxData) {
        r.maxData = kMaxData;
    }
    r.PluginUsing32BitCoordinates = r.HostSupports32BitCoordinates == 1 ? 1 : 0;
    return exportNoErr;
}

void SetRegion(ExportRecord& r, const VRect& rect) {
    r.theRect32 = rect;
    r.theRect = Rect{int16_t(rect.top), int16_t(rect.left), int16_t(rect.bottom), int16_t(rect.right)};
}

std::string FileName(const ExportRecord& r) {
    std::string name(reinterpret_cast<const char*>(r.filename + 1), r.filename[0]);
    name = name.substr(0, name.find('\0'));
    name.erase(0, name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
    name = name.substr(0, name.rfind('.'));
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("+-()_", c) == nullptr) {
            c = '_';
        }
    }
    name = name.empty() ? "Untitled" : name.substr(0, 250);
    return name + (r.depth == 32 ? ".pfm" : ".ppm");
}

bool WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += size_t(n);
    }
    return true;
}

// Regular files of earlier exports go; anything else is left alone.
void EmptyFolder(int folder) {
    DIR* dir = fdopendir(dup(folder));
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        struct stat info {};
        if (fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            unlinkat(folder, entry->d_name, 0);
        }
    }
    closedir(dir);
}

// The export folder, checked once through its descriptor: a folder of this user's, not a link.
int16_t OpenFile(const ExportRecord& r, Session& s) {
    const char* variable = std::getenv("TMPDIR");
    const std::string temp = variable != nullptr ? variable : "/tmp";
    if (temp.empty() || temp[0] != '/') {
        return exportErrParam;
    }
    const int parent = open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        return exportErrParam;
    }
    const bool made = mkdirat(parent, kFolder, 0700) == 0 || errno == EEXIST;
    s.folder = made ? openat(parent, kFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    close(parent);
    struct stat info {};
    if (s.folder < 0 || fstat(s.folder, &info) != 0 || info.st_uid != geteuid()) {
        return exportErrParam;
    }
    EmptyFolder(s.folder);
    s.name = FileName(r);
    s.path = temp + "/" + kFolder + "/" + s.name;
    s.file = openat(s.folder, s.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    return s.file < 0 ? exportErrOpenFailed : exportNoErr;
}

// snprintf rather than std::to_string, whose digit table is a unique symbol that would keep the module from
// being unloaded.
std::string Header(const ExportRecord& r) {
    const bool pfm = r.depth == 32;
    char text[64];
    std::snprintf(text, sizeof text, "%s\n%d\n%d\n%s\n", pfm ? "PF" : "P6", int(r.imageSize32.h),
                  int(r.imageSize32.v), pfm ? "-1.0000" : "65535");
    return text;
}

// One sample in the file's byte order: 16-bit most significant byte first, float bits least significant
// byte first.
void AppendSample(std::string& out, const ExportRecord& r, const uint8_t* at) {
    if (r.depth == 32) {
        uint32_t bits = 0;
        std::memcpy(&bits, at, 4);
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(char(bits >> shift));
        }
        return;
    }
    uint32_t value = *at * 257u;
    if (r.depth == 16) {
        uint16_t v = 0;
        std::memcpy(&v, at, 2);
        value = std::min<uint32_t>(65535, uint32_t(v) * 65535u / 32768u);
    }
    out.push_back(char(value >> 8));
    out.push_back(char(value & 0xFF));
}

VRect NextStrip(const ExportRecord& r, const Session& s) {
    const size_t pixelBytes = size_t(Channels(r)) * SampleBytes(r);
    const int32_t width = r.imageSize32.h;
    const size_t limit = size_t(r.maxData > 0 ? std::min(r.maxData, kMaxData) : kMaxData);
    const size_t rowBytes = size_t(width) * pixelBytes;
    if (s.column == 0 && rowBytes <= limit) {
        const int32_t rows = int32_t(std::min<size_t>(limit / rowBytes, size_t(r.imageSize32.v - s.row)));
        return VRect{s.row, 0, s.row + rows, width};
    }
    const int32_t columns = int32_t(std::min<size_t>(limit / pixelBytes, size_t(width - s.column)));
    return VRect{s.row, s.column, s.row + 1, s.column + columns};
}

int16_t WriteStrip(const ExportRecord& r, const Session& s, const VRect& strip) {
    const int channels = Channels(r);
    const size_t sampleBytes = SampleBytes(r);
    const size_t needed = size_t(strip.right - strip.left) * size_t(channels) * sampleBytes;
    if (r.data == nullptr || r.rowBytes < 0 || size_t(r.rowBytes) < needed) {
        return exportErrParam;
    }
    std::string out;
    for (int32_t y = 0; y < strip.bottom - strip.top; ++y) {
        const auto* row = static_cast<const uint8_t*>(r.data) + size_t(y) * size_t(r.rowBytes);
        for (int32_t x = 0; x < strip.right - strip.left; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int plane = channels == 3 ? c : 0;
                AppendSample(out, r, row + (size_t(x) * size_t(channels) + size_t(plane)) * sampleBytes);
            }
        }
    }
    return WriteAll(s.file, out) ? exportNoErr : exportErrWriteFailed;
}

int16_t Launch(const std::string& path) {
    GDesktopAppInfo* app = g_desktop_app_info_new(QUENFIELD_APP_ID ".desktop");
    if (app == nullptr) {
        return exportErrCompanionNotLaunched;
    }
    GFile* file = g_file_new_for_path(path.c_str());
    GList files{file, nullptr, nullptr};
    const gboolean launched = g_app_info_launch(G_APP_INFO(app), &files, nullptr, nullptr);
    g_object_unref(file);
    g_object_unref(app);
    return launched ? exportNoErr : exportErrCompanionNotLaunched;
}

void End(intptr_t* slot, bool keepFile) {
    auto* s = reinterpret_cast<Session*>(*slot);
    if (s == nullptr) {
        return;
    }
    if (s->file >= 0) {
        close(s->file);
        if (!keepFile) {
            unlinkat(s->folder, s->name.c_str(), 0);
        }
    }
    if (s->folder >= 0) {
        close(s->folder);
    }
    delete s;
    *slot = 0;
}

// One strip: asked for, written, then the progress and the user's wish to cancel. The region left in the
// record is the next strip, or empty when the export is over.
int16_t Step(ExportRecord& r, intptr_t* slot) {
    auto* s = reinterpret_cast<Session*>(*slot);
    const VRect strip = NextStrip(r, *s);
    int16_t result = strip.right > strip.left ? exportNoErr : exportErrParam;
    if (result == exportNoErr && r.advanceState == nullptr) {
        result = exportErrParam;
    }
    if (result == exportNoErr) {
        SetRegion(r, strip);
        r.loPlane = 0;
        r.hiPlane = int16_t(Channels(r) - 1);
        result = r.advanceState();
    }
    if (result == exportNoErr) {
        result = WriteStrip(r, *s, strip);
    }
    if (result == exportNoErr) {
        s->column = strip.right == r.imageSize32.h ? 0 : strip.right;
        s->row = s->column == 0 ? strip.bottom : strip.top;
        if (s->column == 0 && r.progressProc != nullptr) {
            r.progressProc(s->row - 1, r.imageSize32.v);
        }
        if (r.abortProc != nullptr && r.abortProc()) {
            result = exportErrUserCanceled;
        }
    }
    const bool over = result != exportNoErr || s->row == r.imageSize32.v;
    if (result == exportNoErr && over) {
        const bool closed = close(s->file) == 0;
        s->file = -1;
        result = closed ? Launch(s->path) : int16_t(exportErrWriteFailed);
        End(slot, true);
    } else if (over) {
        End(slot, false);
    }
    SetRegion(r, over ? VRect{0, 0, 0, 0} : NextStrip(r, *s));
    return result;
}

int16_t Start(ExportRecord& r, intptr_t* slot) {
    End(slot, false);
    const bool fits16 = r.imageSize32.v <= kMax16 && r.imageSize32.h <= kMax16;
    if (!Supported(r) || (!Uses32Bit(r) && !fits16)) {
        SetRegion(r, VRect{0, 0, 0, 0});
        return Supported(r) ? exportErrParam : exportErrUnsupportedDocument;
    }
    auto* s = new Session;
    *slot = reinterpret_cast<intptr_t>(s);
    int16_t result = OpenFile(r, *s);
    if (result == exportNoErr && !WriteAll(s->file, Header(r))) {
        result = exportErrWriteFailed;
    }
    if (result != exportNoErr) {
        End(slot, false);
        SetRegion(r, VRect{0, 0, 0, 0});
        return result;
    }
    return Step(r, slot);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* block,
                                                                  intptr_t* slot, int16_t* result) {
    if (block == nullptr || slot == nullptr || result == nullptr) {
        return;
    }
    auto& record = *static_cast<ExportRecord*>(block);
    switch (selector) {
    case exportSelectorAbout:
        *result = exportNoErr;
        break;
    case exportSelectorPrepare:
        *result = Prepare(record);
        break;
    case exportSelectorStart:
        *result = Start(record, slot);
        break;
    case exportSelectorContinue:
        if (*slot == 0) {
            SetRegion(record, VRect{0, 0, 0, 0});
            *result = exportErrParam;
        } else {
            *result = Step(record, slot);
        }
        break;
    case exportSelectorFinish:
        End(slot, false);
        *result = exportNoErr;
        break;
    default:
        *result = exportErrParam;
        break;
    }
}
