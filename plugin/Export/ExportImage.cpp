// The transfer: row by row from the top, each row in chunks no wider than the buffer takes and no larger than
// the host's maxData, one host request and one file write per chunk.
#include "Export/ExportImage.h"

#include "ConvertBuffer/IConvertBuffer.h"
#include "Export/Classify.h"
#include "Export/ExportBuffer.h"
#include "Export/ExportFile.h"
#include "platform/Error.h"
#include "sdk/HostAlerts.h"

#include <algorithm>
#include <memory>

namespace {

// Lends the export's buffer to ConvertData through the globals, for as long as the export runs, however it
// ends.
class CBufferLoan {
public:
    CBufferLoan(SGlobals* globals, IConvertBuffer* buffer) : pGlobals(globals) { pGlobals->pBuffer = buffer; }
    ~CBufferLoan() { pGlobals->pBuffer = nullptr; }
    CBufferLoan(const CBufferLoan&) = delete;
    CBufferLoan& operator=(const CBufferLoan&) = delete;

private:
    SGlobals* pGlobals;
};

// A host without progressProc simply gets no reports.
void ReportProgress(const ExportRecord* record, unsigned int row, unsigned int height) {
    if (record->progressProc != nullptr) {
        record->progressProc(static_cast<int32_t>(row), static_cast<int32_t>(height));
    }
}

int16_t TransferChunk(SGlobals* globals, const _exp::SExportRegion& region) {
    void* data = nullptr;
    unsigned int size = 0;
    int16_t result = _exp::FetchData(globals, &region, &data, &size);
    if (result == eERROR_NONE) {
        result = _exp::ConvertData(globals, &data, &size, region.GetNumPixel());
    }
    if (result == eERROR_NONE) {
        result = _exp::WriteToExportFile(globals, data, size);
    }
    if (result == eERROR_NONE) {
        result = _exp::CheckAbort(globals->rHead.pExportRecord);
    }
    return result;
}

// The host hands over at most maxData bytes a region; a host that names no positive limit sets none.
unsigned int LimitByMaxData(const ExportRecord* record, unsigned int maxPixel) {
    if (record->maxData <= 0) {
        return maxPixel;
    }
    const unsigned int sampleBytes = static_cast<unsigned int>(record->depth) / 8;
    const unsigned int pixelBytes = static_cast<unsigned int>(record->planes) * sampleBytes;
    return std::min<unsigned int>(maxPixel, static_cast<unsigned int>(record->maxData) / pixelBytes);
}

int16_t TransferRows(SGlobals* globals, unsigned int bufferPixels) {
    const ExportRecord* record = globals->rHead.pExportRecord;
    const unsigned int maxPixel = LimitByMaxData(record, bufferPixels);
    if (maxPixel == 0) {
        return eERROR_PARAM;
    }
    const unsigned int width = static_cast<unsigned int>(record->imageSize32.h);
    const unsigned int height = static_cast<unsigned int>(record->imageSize32.v);
    const unsigned int chunks = width / maxPixel + (width % maxPixel != 0 ? 1 : 0);
    int16_t result = eERROR_NONE;
    _exp::SExportRegion region;
    region.sLoPlane = 0;
    // Every plane, alpha and extra channels included: the layout the buffer was created for.
    region.sHiPlane = std::max<short>(static_cast<short>(record->planes - 1), region.sLoPlane);
    for (unsigned int row = 0; row < height && result == eERROR_NONE; ++row) {
        for (unsigned int chunk = 0; chunk < chunks && result == eERROR_NONE; ++chunk) {
            _hlp::SetRect(region.rcRegion, chunk * maxPixel,
                          std::min<unsigned int>((chunk + 1) * maxPixel, width), row, row + 1);
            result = TransferChunk(globals, region);
        }
        ReportProgress(record, row, height);
    }
    return result;
}

} // namespace

namespace _exp {

int16_t ExportImage(SGlobals* globals) {
    _hlp::Require(globals != nullptr && globals->rHead.pExportRecord != nullptr);
    const ExportRecord* record = globals->rHead.pExportRecord;
    // The loops below make at least one pass, so a document without pixels is refused before they start.
    if (!HasPixels(record)) {
        return eERROR_PARAM;
    }
    const std::unique_ptr<IConvertBuffer> buffer = CreateBuffer(record);
    if (buffer == nullptr) {
        return eERROR_PARAM;
    }
    const CBufferLoan loan(globals, buffer.get());
    if (!buffer->Create(GetInputFormat(record), static_cast<unsigned int>(record->planes))) {
        return eERROR_PARAM;
    }
    const unsigned int maxPixel = buffer->GetMaxPixel();
    if (maxPixel == 0) {
        return eERROR_PARAM;
    }
    const int16_t result = WriteImageHeader(globals);
    return result == eERROR_NONE ? TransferRows(globals, maxPixel) : result;
}

int16_t FetchData(SGlobals* globals, const SExportRegion* region, void** data, unsigned int* size) {
    _hlp::Require(globals != nullptr && globals->rHead.pExportRecord != nullptr && region != nullptr &&
                  data != nullptr && size != nullptr);
    *data = nullptr;
    *size = 0;
    ExportRecord* record = globals->rHead.pExportRecord;
    if (!WarnHostAdvanceStateAvailable(record->advanceState)) {
        return eERROR_PARAM;
    }
    _hlp::CopyRect(record->theRect32, region->rcRegion);
    record->loPlane = region->sLoPlane;
    record->hiPlane = region->sHiPlane;
    const int16_t result = record->advanceState();
    if (result != eERROR_NONE) {
        return result;
    }
    *data = record->data;
    *size = static_cast<unsigned int>(record->rowBytes);
    return eERROR_NONE;
}

int16_t ConvertData(SGlobals* globals, void** data, unsigned int* size, unsigned int numPixel) {
    _hlp::Require(globals != nullptr && globals->pBuffer != nullptr && data != nullptr && *data != nullptr &&
                  size != nullptr && numPixel != 0);
    IConvertBuffer* buffer = globals->pBuffer;
    if (!buffer->SetData(*data, *size, numPixel) || !buffer->ConvertData(numPixel) ||
        !buffer->GetData(data, size, numPixel)) {
        return eERROR_PARAM;
    }
    return eERROR_NONE;
}

// A host without abortProc cannot cancel.
int16_t CheckAbort(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    if (record->abortProc != nullptr && record->abortProc()) {
        return eERROR_USER_CANCELED;
    }
    return eERROR_NONE;
}

} // namespace _exp
