// The documents the checks export, and what the plug-in must make of them: the host library's, under the
// names the checks use.
#ifndef QUENFIELD_VALIDATE_DOCUMENTS_H
#define QUENFIELD_VALIDATE_DOCUMENTS_H

#include "ExpectedFile.h"
#include "ExportInterface.h"
#include "MemoryDocument.h"

namespace validate {

using Document = host::MemoryDocument;
using host::ExpectedFile;
using host::ExpectedName;
using host::FirstDifference;
using host::IsGrayMode;
using host::IsRGBMode;
using host::IsSupported;
using host::MakeDocument;
using host::SetSampleSeed;

} // namespace validate

#endif
