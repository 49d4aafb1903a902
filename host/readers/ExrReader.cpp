// OpenEXR through the library's scanline interface (tiled files too: the library assembles their rows). Rows
// are read a block at a time, the size of the file's own compression blocks; half samples become float. The
// buffers of a block grow with the declared width: they are reckoned from the header before the file is
// opened for reading, and kept within the memory limit.
#include "BandRows.h"
#include "ExrBlockMemory.h"
#include "OpenImage.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfPartType.h>
#include <ImfStdIO.h>

#include <algorithm>
#include <fstream>
#include <vector>

namespace host {
namespace {

// Rows per block of each compression, so that no block is decompressed twice when read from the top.
uint32_t BlockRows(Imf::Compression compression) {
    switch (compression) {
    case Imf::PIZ_COMPRESSION:
    case Imf::B44_COMPRESSION:
    case Imf::B44A_COMPRESSION:
    case Imf::DWAA_COMPRESSION:
        return 32;
    case Imf::DWAB_COMPRESSION:
        return 256;
    default:
        return 16;
    }
}

class ExrReader final : public RowSource {
public:
    explicit ExrReader(ImageFile file) : file_(std::move(file)) {
        info_.name = file_.Name();
        memory_ = ReadExrBlockMemory(file_.OpenPath());
        CheckMemory(memory_.library);
        try {
            // Read through the checked descriptor, the library's messages naming the file as the user did.
            in_.open(file_.OpenPath(), std::ios::binary);
            if (!in_) {
                throw ImageError("cannot open it again");
            }
            stream_ = std::make_unique<Imf::StdIFStream>(in_, file_.Path().c_str());
            input_ = std::make_unique<Imf::InputFile>(*stream_);
            ReadLayout(input_->header());
        } catch (const ImageError&) {
            throw;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            throw ImageError(std::string("not a readable OpenEXR file: ") + e.what());
        }
    }

    const DocumentInfo& Info() const override { return info_; }

    const void* Row(uint32_t y) override {
        return block_.Row(y, [this](uint32_t block) { LoadBlock(block); });
    }

private:
    void ReadLayout(const Imf::Header& header) {
        if (header.hasType() && Imf::isDeepData(header.type())) {
            throw ImageError("deep OpenEXR images are not supported");
        }
        const Imath::Box2i window = header.dataWindow();
        origin_ = window.min;
        info_.width = static_cast<uint32_t>(int64_t(window.max.x) - window.min.x + 1);
        info_.height = static_cast<uint32_t>(int64_t(window.max.y) - window.min.y + 1);
        const Imf::ChannelList& channels = header.channels();
        if (channels.findChannel("R") && channels.findChannel("G") && channels.findChannel("B")) {
            info_.color = ColorModel::Rgb;
            names_ = {"R", "G", "B"};
        } else if (channels.findChannel("Y")) {
            info_.color = ColorModel::Gray;
            names_ = {"Y"};
        } else {
            throw ImageError("it has neither Y nor R, G and B channels");
        }
        if (channels.findChannel("A")) {
            names_.push_back("A");
        }
        for (const std::string& name : names_) {
            const Imf::Channel* channel = channels.findChannel(name);
            if (channel->type == Imf::UINT) {
                throw ImageError("its channel " + name +
                                 " holds unsigned integers; only half and float are supported");
            }
            if (channel->xSampling != 1 || channel->ySampling != 1) {
                throw ImageError("its channel " + name + " is subsampled, which is not supported");
            }
        }
        info_.sample = SampleType::Float32;
        info_.channels = static_cast<uint16_t>(names_.size());
        blockRows_ = std::min(BlockRows(header.compression()), info_.height);
        CheckMemory(memory_.Need(blockRows_, info_.channels));
        block_.Resize(blockRows_, info_.RowBytes());
    }

    void CheckMemory(uint64_t need) const {
        file_.CheckMemory(need,
                          "reading this OpenEXR image, " + std::to_string(memory_.width) + " pixels wide,");
    }

    void LoadBlock(uint32_t block) {
        const uint32_t top = block * blockRows_;
        const uint32_t rows = std::min(blockRows_, info_.height - top);
        const int firstRow = origin_.y + static_cast<int>(top);
        const size_t pixelBytes = sizeof(float) * info_.channels;
        Imf::FrameBuffer frame;
        for (size_t c = 0; c < names_.size(); ++c) {
            // The library converts half to float as it fills the slice.
            frame.insert(names_[c], Imf::Slice::Make(Imf::FLOAT, block_.Data() + c * sizeof(float),
                                                     Imath::V2i(origin_.x, firstRow), info_.width, rows,
                                                     pixelBytes, info_.RowBytes()));
        }
        try {
            input_->setFrameBuffer(frame);
            input_->readPixels(firstRow, firstRow + static_cast<int>(rows) - 1);
        } catch (const std::exception& e) {
            throw ImageError("rows " + std::to_string(top) + ".." + std::to_string(top + rows - 1) +
                             " cannot be read: " + e.what());
        }
    }

    ImageFile file_;
    ExrBlockMemory memory_;
    std::ifstream in_;
    std::unique_ptr<Imf::StdIFStream> stream_;
    std::unique_ptr<Imf::InputFile> input_;
    DocumentInfo info_;
    Imath::V2i origin_;
    std::vector<std::string> names_;
    uint32_t blockRows_ = 1;
    BandRows block_;
};

} // namespace

std::unique_ptr<RowSource> OpenExr(ImageFile file) {
    return std::make_unique<ExrReader>(std::move(file));
}

} // namespace host
