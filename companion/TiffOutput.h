// The imported image as a plain TIFF: RGB, 16-bit unsigned or 32-bit float, uncompressed, written row by row
// under a temporary name and moved into place only when complete.
#ifndef QUENFIELD_COMPANION_TIFFOUTPUT_H
#define QUENFIELD_COMPANION_TIFFOUTPUT_H

#include "ExportedImage.h"

#include <filesystem>
#include <string>

typedef struct tiff TIFF;

namespace companion {

class TiffOutput {
public:
    // Starts a partial file <folder>/<stem>.tif.<random>.part of this import's own. Throws ImportError.
    TiffOutput(const std::filesystem::path& folder, const std::string& stem, ImageKind kind, uint32_t width,
               uint32_t height);
    // Removes the partial file unless Commit succeeded.
    ~TiffOutput();
    TiffOutput(const TiffOutput&) = delete;
    TiffOutput& operator=(const TiffOutput&) = delete;

    void WriteRow(const void* samples);
    // Closes the file and gives it its final name, <stem>.tif or <stem>-N.tif when that exists: an earlier
    // import is never overwritten. Returns the final path.
    std::filesystem::path Commit();

private:
    void Close();
    std::string Reason() const;

    std::filesystem::path folder_;
    std::string stem_;
    std::filesystem::path partial_;
    std::string lastError_;
    TIFF* tiff_ = nullptr;
    uint32_t nextRow_ = 0;
    bool committed_ = false;
};

} // namespace companion

#endif
