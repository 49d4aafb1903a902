// The Python side of one export: the band source, the progress and cancel callbacks, and the first exception
// any of them raised, which ends the export and is raised again once the plug-in has cleaned up.
#ifndef QUENFIELD_PYTHON_CALLBACKS_H
#define QUENFIELD_PYTHON_CALLBACKS_H

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

namespace quenfieldpy {

class Callbacks {
public:
    Callbacks(pybind11::object source, pybind11::object progress, pybind11::object cancelled);
    // Needs the GIL, as the objects it holds.
    ~Callbacks() = default;
    Callbacks(const Callbacks&) = delete;
    Callbacks& operator=(const Callbacks&) = delete;

    // Each takes the GIL.
    void Progress(int32_t done, int32_t total);
    // True once the user or the cancel callback asked, or once a callback failed, so that the plug-in stops.
    bool Cancelled();

    // With the GIL. The source's band, or nothing once a callback failed.
    pybind11::object Band(uint32_t y, uint32_t rows);
    // With the GIL: keeps the first error (the one a callback raised, or one about what it returned).
    void Fail(pybind11::error_already_set& error);
    void Fail(PyObject* type, const std::string& message);
    bool Failed() const { return error_.has_value(); }
    // With the GIL: raises the kept error, if any.
    void RaiseFailure();

private:
    pybind11::object source_;
    pybind11::object progress_;
    pybind11::object cancelled_;
    std::optional<pybind11::error_already_set> error_;
};

} // namespace quenfieldpy

#endif
