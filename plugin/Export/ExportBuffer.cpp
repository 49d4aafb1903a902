#include "Export/ExportBuffer.h"

#include "ConvertBuffer/ConvertBuffer.h"
#include "Export/Classify.h"
#include "platform/Error.h"

namespace _exp {

// 8-bit and 16-bit documents are both widened to 16-bit file samples; floats stay floats.
std::unique_ptr<IConvertBuffer> CreateBuffer(const ExportRecord* record) {
    _hlp::Require(record != nullptr);
    switch (GetInputDepth(record)) {
    case eINPUT_DEPTH_8:
        return std::make_unique<CConvertBuffer<unsigned short, unsigned char>>();
    case eINPUT_DEPTH_16:
        return std::make_unique<CConvertBuffer<unsigned short, unsigned short>>();
    case eINPUT_DEPTH_32:
        return std::make_unique<CConvertBuffer<float, float>>();
    default:
        return nullptr;
    }
}

} // namespace _exp
