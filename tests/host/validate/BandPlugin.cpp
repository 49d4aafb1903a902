// A third export plug-in of the interface, written from its header alone, for the validator's own tests. Its
// choices differ from ours and from the strip plug-in's: whole-width bands of up to 16 rows (pieces of a row
// only when maxData holds less than one), every plane in one request, one region per Start or Continue call,
// maxData lowered to 256 KiB, the samples as delivered in a format of its own ("QFB1") in
// $TMPDIR/band-export, no companion. Its band buffer is a host handle from Start to the end of the export.
//
// Built once clean and once per fault, each named by a define BAND_FAULT_<NAME>, to show that the validator
// names the fault.
#include "ExportInterface.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int32_t kMaxData = 256 * 1024;
constexpr int32_t kBandRows = 16;
const char* const kFolder = "band-export";

struct Export {
    int file = -1;
    HandleProcs* procs = nullptr; // the host's, when usable
    Handle buffer = nullptr;      // from the host, or
    unsigned char* own = nullptr; // of our own
    size_t bufferBytes = 0;
    size_t pixelBytes = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rows = 0;    // rows per band; 0 when rows come in pieces
    int32_t pixels = 0;  // pixels per piece, when they do
    VRect next{};        // the region asked for next
    bool header = false; // written
#ifdef BAND_FAULT_STALE_POINTER
    const volatile unsigned char* previous = nullptr;
#endif
};

bool Usable(const HandleProcs* p) {
    return p != nullptr && p->handleProcsVersion == exportHandleProcsVersion &&
           p->numHandleProcs >= exportHandleProcsCount && p->newProc != nullptr &&
           p->disposeProc != nullptr && p->lockProc != nullptr && p->unlockProc != nullptr;
}

int16_t ModeDepth(int16_t mode) {
    switch (mode) {
    case plugInModeGrayScale:
    case plugInModeRGBColor:
        return 8;
    case plugInModeGray16:
    case plugInModeRGB48:
        return 16;
    case plugInModeRGB96:
    case plugInModeGray32:
        return 32;
    default:
        return 0;
    }
}

bool IsRgb(int16_t mode) {
    return mode == plugInModeRGBColor || mode == plugInModeRGB48 || mode == plugInModeRGB96;
}

int16_t Prepare(ExportRecord& r) {
    if (r.HostSupports32BitCoordinates != 1) {
        return exportErrParam;
    }
    // The mode names the depth; a document whose depth says otherwise is not one we know.
    if (ModeDepth(r.imageMode) == 0 || ModeDepth(r.imageMode) != r.depth ||
        r.planes < (IsRgb(r.imageMode) ? 3 : 1) || r.imageSize32.v < 0 || r.imageSize32.h < 0) {
        return exportErrUnsupportedDocument;
    }
    if (r.maxData > kMaxData) {
        r.maxData = kMaxData;
    }
    r.PluginUsing32BitCoordinates = 1;
    return exportNoErr;
}

bool WriteAll(int fd, const void* bytes, size_t size) {
    const auto* at = static_cast<const unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t n = write(fd, at, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        at += n;
        size -= size_t(n);
    }
    return true;
}

std::string FileName(const ExportRecord& r) {
    std::string name(reinterpret_cast<const char*>(r.filename + 1), r.filename[0]);
    name = name.substr(0, name.find('\0'));
    name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1, 100);
    for (char& c : name) {
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
    }
    return (name.empty() ? "untitled" : name) + ".qfb";
}

int OpenFile(const ExportRecord& r) {
    const char* temp = std::getenv("TMPDIR");
    const std::string base = temp != nullptr && temp[0] == '/' ? temp : "/tmp";
    const std::string folder = base + "/" + kFolder;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return -1;
    }
    return open((folder + "/" + FileName(r)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                0600);
}

void SetRegion(ExportRecord& r, const VRect& rect) {
    r.theRect32 = rect;
}

// Gives everything of the export back; safe to call again.
void End(ExportRecord& r, intptr_t* slot) {
    auto* e = reinterpret_cast<Export*>(*slot);
    SetRegion(r, VRect{0, 0, 0, 0});
    if (e == nullptr) {
        return;
    }
    if (e->file >= 0) {
        close(e->file);
    }
    if (e->buffer != nullptr) {
        e->procs->disposeProc(e->buffer);
    }
    std::free(e->own);
    delete e;
    *slot = 0;
}

bool WriteHeader(Export& e, const ExportRecord& r) {
#ifdef BAND_FAULT_WRONG_HEADER
    // Takes the delivered row stride for the width.
    const int32_t width = r.data != nullptr ? int32_t(size_t(r.rowBytes) / e.pixelBytes) : e.width;
#else
    const int32_t width = e.width;
#endif
    // snprintf rather than std::to_string, whose digit table would be a unique symbol that keeps the module
    // from ever being unloaded.
    char header[64];
    const int length = std::snprintf(header, sizeof header, "QFB1\n%d %d\n%d %d\n", int(width), int(e.height),
                                     int(r.planes), int(r.depth));
    e.header = true;
    return WriteAll(e.file, header, size_t(length));
}

VRect FirstRegion(const Export& e) {
    if (e.width == 0 || e.height == 0) {
        return VRect{0, 0, 0, 0};
    }
    return e.rows > 0 ? VRect{0, 0, std::min(e.rows, e.height), e.width}
                      : VRect{0, 0, 1, std::min(e.pixels, e.width)};
}

VRect NextRegion(const Export& e, const VRect& done) {
    if (done.right < e.width) {
        return VRect{done.top, done.right, done.bottom, std::min(done.right + e.pixels, e.width)};
    }
    if (done.bottom >= e.height) {
        return VRect{0, 0, 0, 0};
    }
    return e.rows > 0 ? VRect{done.bottom, 0, std::min(done.bottom + e.rows, e.height), e.width}
                      : VRect{done.bottom, 0, done.bottom + 1, std::min(e.pixels, e.width)};
}

int16_t Begin(ExportRecord& r, intptr_t* slot) {
    if (r.PluginUsing32BitCoordinates != 1) {
        return exportErrParam;
    }
    if (r.advanceState == nullptr) {
        return exportErrMissingParameter;
    }
#ifdef BAND_FAULT_CRASH_1X1
    if (r.imageSize32.h == 1 && r.imageSize32.v == 1) {
        *static_cast<volatile int*>(nullptr) = 1;
    }
#endif
#ifdef BAND_FAULT_LOOP_EMPTY
    while (r.imageSize32.h == 0 || r.imageSize32.v == 0) {
        sleep(1);
    }
#endif
    auto* e = new (std::nothrow) Export;
    if (e == nullptr) {
        return exportErrNoMemory;
    }
    *slot = reinterpret_cast<intptr_t>(e);
    e->width = r.imageSize32.h;
    e->height = r.imageSize32.v;
    e->pixelBytes = size_t(r.planes) * size_t(r.depth / 8);
    const size_t rowBytes = e->pixelBytes * size_t(e->width);
    const size_t maxData = size_t(r.maxData > 0 ? r.maxData : 0);
    e->rows = rowBytes == 0 ? 1 : int32_t(std::min<size_t>(kBandRows, maxData / rowBytes));
    e->pixels = int32_t(std::min<size_t>(size_t(e->width), maxData / e->pixelBytes));
    if (e->rows == 0 && e->pixels == 0) {
        return exportErrParam;
    }
    e->file = OpenFile(r);
    if (e->file < 0) {
        return exportErrOpenFailed;
    }
    e->bufferBytes =
        std::max<size_t>(1, e->rows > 0 ? rowBytes * size_t(e->rows) : e->pixelBytes * size_t(e->pixels));
    if (Usable(r.handleProcs) && (e->buffer = r.handleProcs->newProc(int32_t(e->bufferBytes))) != nullptr) {
        e->procs = r.handleProcs;
    } else if ((e->own = static_cast<unsigned char*>(std::malloc(e->bufferBytes))) == nullptr) {
        return exportErrNoMemory;
    }
    e->next = FirstRegion(*e);
    if (e->next.bottom == 0 && !WriteHeader(*e, r)) {
        return exportErrWriteFailed;
    }
    return exportNoErr;
}

// Copies the delivered region into the band buffer, then writes it.
int16_t Store(Export& e, const ExportRecord& r, const VRect& region) {
    const size_t rowBytes = size_t(region.right - region.left) * e.pixelBytes;
    const int32_t rows = region.bottom - region.top;
    if (r.data == nullptr || r.rowBytes < 0 || size_t(r.rowBytes) < rowBytes) {
        return exportErrParam;
    }
    unsigned char* buffer = e.own;
    if (e.buffer != nullptr &&
        (buffer = static_cast<unsigned char*>(e.procs->lockProc(e.buffer, 0))) == nullptr) {
        return exportErrNoMemory;
    }
    for (int32_t row = 0; row < rows; ++row) {
        std::memcpy(buffer + size_t(row) * rowBytes,
                    static_cast<const unsigned char*>(r.data) + size_t(row) * size_t(r.rowBytes), rowBytes);
    }
    const bool written = (e.header || WriteHeader(e, r)) && WriteAll(e.file, buffer, rowBytes * size_t(rows));
    if (e.buffer != nullptr) {
        e.procs->unlockProc(e.buffer);
#ifdef BAND_FAULT_DOUBLE_UNLOCK
        e.procs->unlockProc(e.buffer);
#endif
    }
    return written ? exportNoErr : exportErrWriteFailed;
}

// One region per call: asks for it, stores it, and leaves the next one in the record, or ends the export.
int16_t Step(ExportRecord& r, intptr_t* slot) {
    auto* e = reinterpret_cast<Export*>(*slot);
    if (e == nullptr || r.advanceState == nullptr) {
        return exportErrParam;
    }
    if (e->next.bottom == 0) {
        const int16_t closed = close(e->file) == 0 ? exportNoErr : exportErrWriteFailed;
        e->file = -1;
        End(r, slot);
        return closed;
    }
    const VRect region = e->next;
    SetRegion(r, region);
    r.loPlane = 0;
    r.hiPlane = int16_t(r.planes - 1);
    const int16_t delivered = r.advanceState();
    if (delivered != exportNoErr) {
        return delivered;
    }
#ifdef BAND_FAULT_STALE_POINTER
    if (e->previous != nullptr) {
        (void)*e->previous;
    }
    e->previous = static_cast<const unsigned char*>(r.data);
#endif
    const int16_t stored = Store(*e, r, region);
    if (stored != exportNoErr) {
        return stored;
    }
    if (region.right == e->width && r.progressProc != nullptr) {
        r.progressProc(region.bottom - 1, e->height);
    }
#ifndef BAND_FAULT_IGNORES_ABORT
    if (r.abortProc != nullptr && r.abortProc()) {
        return exportErrUserCanceled;
    }
#else
    if (r.abortProc != nullptr) {
        r.abortProc();
    }
#endif
    e->next = NextRegion(*e, region);
    SetRegion(r, e->next);
    if (e->next.bottom == 0) {
        return Step(r, slot);
    }
    return exportNoErr;
}

// Start and Continue: any failure ends the export here, as no Finish need follow it.
int16_t Transfer(ExportRecord& r, intptr_t* slot, bool start) {
    if (start) {
        End(r, slot);
    }
    int16_t result = start ? Begin(r, slot) : int16_t(exportNoErr);
    if (result == exportNoErr) {
        result = Step(r, slot);
    }
    if (result != exportNoErr) {
        End(r, slot);
    }
    return result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void PluginMain(int16_t selector, void* block,
                                                                  intptr_t* data, int16_t* result) {
#ifdef BAND_FAULT_NULL_SLOT
    if (block == nullptr || result == nullptr) {
        return;
    }
    (void)*static_cast<volatile intptr_t*>(data);
#else
    if (block == nullptr || data == nullptr || result == nullptr) {
        return;
    }
#endif
    auto& r = *static_cast<ExportRecord*>(block);
    switch (selector) {
    case exportSelectorAbout:
        *result = exportNoErr;
        return;
    case exportSelectorPrepare:
        *result = Prepare(r);
        return;
    case exportSelectorStart:
        *result = Transfer(r, data, true);
        return;
    case exportSelectorContinue:
        *result = *data == 0 ? int16_t(exportErrParam) : Transfer(r, data, false);
        if (*data == 0) {
            SetRegion(r, VRect{0, 0, 0, 0});
        }
        return;
    case exportSelectorFinish:
        End(r, data);
        *result = exportNoErr;
        return;
    default:
        *result = exportErrParam;
        return;
    }
}
