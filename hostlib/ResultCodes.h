// What a result code means, in words, and the codes this host's own advanceState answers with.
#ifndef QUENFIELD_HOST_RESULTCODES_H
#define QUENFIELD_HOST_RESULTCODES_H

#include "ExportInterface.h"

#include <string>

namespace host {

// The plug-in asked for a region outside the document, for planes it does not have, or for more than maxData.
constexpr int16_t kHostErrBadRequest = exportErrParam;
// The host could not read the rows asked for from the image file.
constexpr int16_t kHostErrReadFailed = -36;

std::string DescribeResult(int16_t code);

} // namespace host

#endif
