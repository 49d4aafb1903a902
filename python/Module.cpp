// _quenfield: one export of rows from Python through the plug-in, as the reference host and the GIMP bridge
// run it. The checks of arguments and the Python classes are in the package's __init__.py.
#include "BandRows.h"
#include "Callbacks.h"

#include "ExportSession.h"
#include "PluginLibrary.h"
#include "ResultWords.h"

#include <pybind11/pybind11.h>

#include <mutex>
#include <stdexcept>
#include <string>

namespace py = pybind11;

namespace quenfieldpy {
namespace {

// The record's routines reach one host at a time: exports from several threads take turns.
std::mutex exporting;
thread_local bool inExport = false;

host::DocumentInfo Describe(const std::string& name, uint32_t width, uint32_t height, int depth,
                            uint16_t planes, bool gray) {
    host::DocumentInfo info;
    info.name = name;
    info.width = width;
    info.height = height;
    info.color = gray ? host::ColorModel::Gray : host::ColorModel::Rgb;
    info.sample = depth == 8    ? host::SampleType::UInt8
                  : depth == 16 ? host::SampleType::UInt16
                                : host::SampleType::Float32;
    info.channels = planes;
    return info;
}

// Without the GIL; the callbacks take it.
host::ResultWords Run(const host::DocumentInfo& info, Callbacks& callbacks, BandRows& rows) {
    std::lock_guard<std::mutex> turn(exporting);
    try {
        host::PluginLibrary plugin(host::ChosenModulePath(QUENFIELD_MODULE_INSTALL_PATH));
        host::ExportSession session(
            plugin, rows,
            {[&callbacks](int32_t done, int32_t total) { callbacks.Progress(done, total); },
             [&callbacks] { return callbacks.Cancelled(); }});
        return host::DescribeExport(info, session.Run());
    } catch (const std::invalid_argument&) {
        throw;
    } catch (const std::exception& e) {
        return host::DescribeUnrun(info.name, e);
    }
}

// (end, result code, the reference host's words, the editor's message, the file's path); end 0 exported,
// 1 kept, 2 failed.
py::tuple ExportBands(py::object source, uint32_t width, uint32_t height, int depth, uint16_t planes,
                      const std::string& name, bool gray, bool bgr, uint32_t bandRows, py::object progress,
                      py::object cancelled) {
    if (inExport) {
        throw std::runtime_error(
            "an export is already running in this thread: a callback cannot start another");
    }
    const host::DocumentInfo info = Describe(name, width, height, depth, planes, gray);
    Callbacks callbacks(std::move(source), std::move(progress), std::move(cancelled));
    BandRows rows(callbacks, info, bgr, bandRows);
    host::ResultWords said;
    {
        struct Exporting {
            Exporting() { inExport = true; }
            ~Exporting() { inExport = false; }
        } exporting;
        py::gil_scoped_release released;
        said = Run(info, callbacks, rows);
    }
    rows.Drop();
    callbacks.RaiseFailure();
    return py::make_tuple(static_cast<int>(said.end), said.result, said.words, said.editorMessage,
                          said.file.string());
}

} // namespace
} // namespace quenfieldpy

PYBIND11_MODULE(_quenfield, module) {
    module.doc() = "Runs the Quenfield Export plug-in on rows from Python; see the package quenfield.";
    module.def("export_bands", &quenfieldpy::ExportBands, py::arg("source"), py::arg("width"),
               py::arg("height"), py::arg("depth"), py::arg("planes"), py::arg("name"), py::arg("gray"),
               py::arg("bgr"), py::arg("band_rows"), py::arg("progress"), py::arg("cancelled"));
}
