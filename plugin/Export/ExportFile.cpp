// The export file on SGlobals::iFile, and the header lines of its two formats.
#include "Export/ExportFile.h"

#include "Export/Classify.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "platform/PendingFile.h"
#include "platform/Strings.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// A header line holds one number or one tag; 30 characters are more than any of them needs, and the
// formatting room has a character more than a line at the limit with its LF and terminator, so a longer line
// shows as one.
const unsigned int uiLINE_LIMIT = 30;
const unsigned int uiLINE_CAPACITY = uiLINE_LIMIT + 3;
const char cLINE_END = '\n';
// The last header line of each format: the largest sample, and the scale, whose sign marks little-endian
// samples.
const char* const pcPPM_MAX_SAMPLE = "65535";
const char* const pcPFM_SCALE = "-1.0000";

// The numbers of a header are 32-bit fields carried in a long; "%i" takes an int whatever the width of long.
void FormatValue(char* line, const char* format, long value) {
    _hlp::StrPrintF(line, uiLINE_CAPACITY, format, static_cast<int>(static_cast<int32_t>(value)));
}

void FormatValue(char* line, const char* format, const char* value) {
    _hlp::Require(value != nullptr);
    _hlp::StrPrintF(line, uiLINE_CAPACITY, format, value);
}

// The tag, the width, the height and the format's last line, each on a line of its own.
int16_t WriteHeader(const SGlobals* globals, const char* tag, const char* last) {
    _hlp::Require(globals != nullptr && globals->rHead.pExportRecord != nullptr);
    const ExportRecord* record = globals->rHead.pExportRecord;
    int16_t result = _exp::WriteHeaderLine<const char*>(globals, "%s", tag);
    if (result == eERROR_NONE) {
        result = _exp::WriteHeaderLine<long>(globals, "%i", record->imageSize32.h);
    }
    if (result == eERROR_NONE) {
        result = _exp::WriteHeaderLine<long>(globals, "%i", record->imageSize32.v);
    }
    if (result == eERROR_NONE) {
        result = _exp::WriteHeaderLine<const char*>(globals, "%s", last);
    }
    return result;
}

} // namespace

namespace _exp {

int16_t OpenExportFile(SGlobals* globals) {
    _hlp::Require(globals != nullptr);
    globals->iFile = -1;
    const std::string path(globals->aPath, strnlen(globals->aPath, sizeof(globals->aPath)));
    return _sys::CreatePendingFile(globals->iFile, path) ? eERROR_NONE : eERROR_OPEN_FAILED;
}

// A close that fails is a write the file system could not complete (EIO, ENOSPC, EDQUOT).
int16_t CloseExportFile(SGlobals* globals) {
    _hlp::Require(globals != nullptr);
    return _sys::CloseFile(globals->iFile) ? eERROR_NONE : eERROR_WRITE_FAILED;
}

int16_t PublishExportFile(const SGlobals* globals) {
    _hlp::Require(globals != nullptr);
    return _sys::PublishPendingFile() ? eERROR_NONE : eERROR_WRITE_FAILED;
}

void RemoveExportFile(const SGlobals* globals) {
    _hlp::Require(globals != nullptr);
    _sys::DiscardPendingFile();
}

int16_t WriteToExportFile(const SGlobals* globals, const void* data, unsigned int count) {
    _hlp::Require(globals != nullptr);
    return _sys::WriteFile(globals->iFile, data, count) ? eERROR_NONE : eERROR_WRITE_FAILED;
}

int16_t WriteHeaderLine(const SGlobals* globals, const char* text) {
    _hlp::Require(globals != nullptr && text != nullptr);
    return WriteToExportFile(globals, text, _hlp::StrGetLen(text));
}

template <class T>
int16_t WriteHeaderLine(const SGlobals* globals, const char* format, T value) {
    _hlp::Require(globals != nullptr && format != nullptr);
    char line[uiLINE_CAPACITY];
    std::fill_n(line, uiLINE_CAPACITY, cTRAILING_ZERO);
    FormatValue(line, format, value);
    const unsigned int length = _hlp::StrGetLen(line);
    if (length > uiLINE_LIMIT) {
        return eERROR_PARAM;
    }
    line[length] = cLINE_END;
    line[length + 1] = cTRAILING_ZERO;
    return WriteHeaderLine(globals, line);
}

template int16_t WriteHeaderLine<long>(const SGlobals*, const char*, long);
template int16_t WriteHeaderLine<const char*>(const SGlobals*, const char*, const char*);

int16_t WritePPMHeader(const SGlobals* globals) {
    return WriteHeader(globals, "P6", pcPPM_MAX_SAMPLE);
}

int16_t WritePFMHeader(const SGlobals* globals) {
    return WriteHeader(globals, "PF", pcPFM_SCALE);
}

int16_t WriteImageHeader(const SGlobals* globals) {
    _hlp::Require(globals != nullptr && globals->rHead.pExportRecord != nullptr);
    switch (GetExportMode(globals->rHead.pExportRecord)) {
    case eEXPORT_MODE_PPM:
        return WritePPMHeader(globals);
    case eEXPORT_MODE_PFM:
        return WritePFMHeader(globals);
    default:
        return eERROR_PARAM;
    }
}

} // namespace _exp
