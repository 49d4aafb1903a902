// quenfield-import: the companion application. Started on a file the export plug-in wrote, it imports the
// image as a TIFF into the user's pictures.
#include "Destination.h"
#include "EndingSignals.h"
#include "ExportedImage.h"
#include "ImportLog.h"
#include "TiffOutput.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <string>

namespace companion {
namespace {

std::string Describe(const ExportedImage& image) {
    return std::string(image.Kind() == ImageKind::Ppm16 ? "PPM, 16-bit" : "PFM, 32-bit float") + ", " +
           std::to_string(image.Width()) + "x" + std::to_string(image.Height());
}

// Both files list rows from the top, as a TIFF does by default: rows are copied in order.
std::filesystem::path Import(const std::filesystem::path& source, const std::filesystem::path& folder,
                             std::string& description) {
    ExportedImage image(source);
    description = Describe(image);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw ImportError("cannot create the folder " + folder.string() + ": " + error.message());
    }
    TiffOutput output(folder, source.stem().string(), image.Kind(), image.Width(), image.Height());
    for (uint32_t y = 0; y < image.Height(); ++y) {
        StopIfEnded();
        if (image.Kind() == ImageKind::Ppm16) {
            output.WriteRow(image.NextPpmRow());
        } else {
            output.WriteRow(image.NextPfmRow());
        }
    }
    StopIfEnded();
    return output.Commit();
}

} // namespace
} // namespace companion

int main(int argc, char** argv) {
    companion::WatchEndingSignals();
    CLI::App app{"Imports an image exported by the Quenfield export plug-in (a 16-bit PPM or a 32-bit float "
                 "PFM) as a TIFF into your pictures folder.",
                 "quenfield-import"};
    app.set_version_flag("--version", "quenfield-import " QUENFIELD_VERSION);
    std::string to;
    app.add_option("--to", to, "Folder to import into (default: Quenfield in your pictures folder)");
    std::string file;
    app.add_option("FILE", file, "The exported file")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    const std::filesystem::path source = std::filesystem::absolute(file);
    const std::filesystem::path folder =
        std::filesystem::absolute(to.empty() ? companion::DefaultDestination() : std::filesystem::path(to));
    std::string description;
    try {
        const std::filesystem::path imported = companion::Import(source, folder, description);
        companion::LogImport("imported " + source.string() + " (" + description + ") as " +
                             imported.string());
        return 0;
    } catch (const companion::Ended& e) {
        companion::LogImport("refused " + source.string() + ": " + e.what());
        companion::EndBy(e.Signal());
    } catch (const std::exception& e) {
        companion::LogImport("refused " + source.string() + ": " + e.what());
        return 1;
    }
}
