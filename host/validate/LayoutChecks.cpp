// How the host lays out what it delivers, and documents whose size tests the plug-in's arithmetic: the export
// must come out right whatever the rows' stride, the data's address, the limit on one region or the size.
#include "CheckSupport.h"

#include <filesystem>

namespace validate {
namespace {

// Documents of every depth, with extra planes, a few rows of odd widths.
std::vector<Document> Mixed(int32_t width, int32_t height) {
    return {MakeDocument(plugInModeRGBColor, 8, 4, width, height, "Mixed 8.psd"),
            MakeDocument(plugInModeGray16, 16, 2, width, height, "Mixed 16.psd"),
            MakeDocument(plugInModeRGB96, 32, 5, width, height, "Mixed 32.psd")};
}

template <typename Arrange>
void ExportEach(const CheckContext& context, const std::vector<Document>& documents, Arrange arrange) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    SubCases cases;
    for (const Document& document : documents) {
        ProbeHost host(library.Entry(), document);
        const std::string what = document.Describe() + ", " + arrange(host);
        cases.Run(what, [&] { ExpectExported(host.Export(), host, sandbox, what); });
    }
    cases.Finish();
}

// maxData of a whole row, a row less one byte, three pixels and one pixel: a plug-in that asks for several
// rows or whole rows at a time has to cut its regions down.
void SmallMaxData(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : Mixed(7, 5)) {
        const int32_t pixel = int32_t(document.PixelBytes());
        for (int32_t maxData : {pixel * document.Width(), pixel * document.Width() - 1, pixel * 3, pixel}) {
            ProbeHost host(library.Entry(), document);
            host.Record().maxData = maxData;
            ExpectExported(host.Export(), host, sandbox,
                           document.Describe() + ", maxData " + std::to_string(maxData));
        }
    }
}

// Narrow documents of many rows, a prime number of them, so that regions of several rows end short.
void TallDocuments(const CheckContext& context) {
    ExportEach(context,
               {MakeDocument(plugInModeGrayScale, 8, 1, 1, 1009, "Tall 8.psd"),
                MakeDocument(plugInModeRGB48, 16, 3, 3, 997, "Tall 16.psd"),
                MakeDocument(plugInModeRGB96, 32, 4, 2, 1013, "Tall 32.psd")},
               [](ProbeHost&) { return std::string("many rows"); });
}

// Planes beyond gray or RGB carry values of their own, so a plug-in that asks for a subset of planes, or
// reads the wrong ones, shows in the file.
void PlaneSubsets(const CheckContext& context) {
    std::vector<Document> documents;
    for (int16_t planes : {2, 3, 7}) {
        documents.push_back(MakeDocument(plugInModeGray32, 32, planes, 5, 3, "Planes.psd"));
    }
    for (int16_t planes : {4, 6, 9}) {
        documents.push_back(MakeDocument(plugInModeRGB48, 16, planes, 5, 3, "Planes.psd"));
    }
    ExportEach(context, documents, [](ProbeHost&) { return std::string("extra planes"); });
}

void PaddedRowBytes(const CheckContext& context) {
    for (int32_t padding : {1, 3, 64}) {
        ExportEach(context, Mixed(5, 6), [padding](ProbeHost& host) {
            host.Behaviour().rowBytesPadding = padding;
            return "rowBytes " + std::to_string(padding) + " bytes beyond each row";
        });
    }
}

void MisalignedDelivery(const CheckContext& context) {
    ExportEach(context, Mixed(9, 4), [](ProbeHost& host) {
        host.Behaviour().misaligned = true;
        return std::string("data at an odd address");
    });
}

// Sides beyond 16 bits (above 32767 and above 65535), which only the 32-bit fields can describe.
void LargeDocument32(const CheckContext& context) {
    ExportEach(context,
               {MakeDocument(plugInModeRGBColor, 8, 3, 40000, 2, "Wide.psd"),
                MakeDocument(plugInModeGray16, 16, 1, 2, 70001, "Tall.psd"),
                MakeDocument(plugInModeGray32, 32, 1, 65537, 2, "Wider.psd")},
               [](ProbeHost&) { return std::string("32-bit coordinates"); });
}

// Without 32-bit coordinates such a document cannot be described: the record holds its size clipped to 32767
// and leaves imageSize32 unfilled, so the plug-in cannot tell it from one of that size. Whatever it makes of
// it, it asks for nothing outside the document and leaves the region empty.
void LargeDocument16(const CheckContext& context) {
    Sandbox sandbox(context.scratch);
    host::PluginLibrary library(context.plugin);
    for (const Document& document : {MakeDocument(plugInModeRGBColor, 8, 3, 40000, 2, "Wide.psd"),
                                     MakeDocument(plugInModeGray16, 16, 1, 2, 32768, "Tall.psd")}) {
        const std::string what = document.Describe() + " without 32-bit coordinates";
        ProbeHost host(library.Entry(), document);
        host.Record().HostSupports32BitCoordinates = 0;
        host.Record().imageSize32 = VPoint{0, 0};
        host.Export();
        Expect(host.Refusal().empty(), what + ": the requests", "only regions of the document",
               "a request the host refused: " + host.Refusal());
        ExpectRegionEmpty(host.Record(), what);
    }
}

} // namespace

std::vector<Check> LayoutChecks() {
    return {
        {"small-max-data",
         "A host that offers maxData of one row, one row less a byte, three pixels or one pixel gets no "
         "larger region and a correct export.",
         SmallMaxData, Level::Contract},
        {"tall-documents",
         "Narrow documents of about a thousand rows (a prime number) give correct files, however many rows "
         "a region holds.",
         TallDocuments, Level::Contract},
        {"plane-subsets",
         "Documents with extra planes (gray with 2, 3 and 7, RGB with 4, 6 and 9) give correct files, "
         "whichever planes the plug-in asks for.",
         PlaneSubsets, Level::Contract},
        {"padded-row-bytes",
         "A host whose rows are 1, 3 or 64 bytes longer than their pixels (rowBytes padded) gets correct "
         "files: the padding is skipped, not written.",
         PaddedRowBytes, Level::Contract},
        {"misaligned-delivery",
         "Pixels delivered at an odd address, so that no 16-bit or float sample is aligned, give correct "
         "files.",
         MisalignedDelivery, Level::Contract},
        {"large-document-32-bit",
         "Documents 40000 and 65537 pixels wide and 70001 rows tall, with 32-bit coordinates, give correct "
         "files.",
         LargeDocument32, Level::Contract},
        {"large-document-16-bit",
         "Documents 40000 pixels wide or 32768 rows tall from a host without 32-bit coordinates (size "
         "clipped "
         "to 32767, imageSize32 unfilled) get no request outside the document and an empty region at the "
         "end.",
         LargeDocument16, Level::Contract},
    };
}

} // namespace validate
