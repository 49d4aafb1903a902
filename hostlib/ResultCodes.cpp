#include "ResultCodes.h"

namespace host {

std::string DescribeResult(int16_t code) {
    switch (code) {
    case exportNoErr:
        return "success";
    case exportErrWriteFailed:
        return "writing the export file failed";
    case exportErrOpenFailed:
        return "the export file cannot be opened";
    case exportErrParam:
        return "parameter error";
    case exportErrNoMemory:
        return "the plug-in's globals cannot be had (no memory)";
    case exportErrUserCanceled:
        return "cancelled by the user";
    case exportErrMissingParameter:
        return "a required pointer was missing";
    case exportErrUnsupportedDocument:
        return "the plug-in does not support this document's mode, depth or planes";
    case exportErrCompanionNotLaunched:
        return "the companion application did not start";
    case kHostErrReadFailed:
        return "the host could not read the image";
    default:
        return "unknown result code";
    }
}

} // namespace host
