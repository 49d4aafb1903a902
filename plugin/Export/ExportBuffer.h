// The conversion buffer that fits a document.
#ifndef QUENFIELD_EXPORT_EXPORTBUFFER_H
#define QUENFIELD_EXPORT_EXPORTBUFFER_H

#include "ConvertBuffer/IConvertBuffer.h"
#include "ExportInterface.h"

#include <memory>

namespace _exp {

// A new, unconfigured buffer for the document's depth, or null for an unsupported one.
std::unique_ptr<IConvertBuffer> CreateBuffer(const ExportRecord* record);

} // namespace _exp

#endif
