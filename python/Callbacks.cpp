#include "Callbacks.h"

namespace py = pybind11;

namespace quenfieldpy {

Callbacks::Callbacks(py::object source, py::object progress, py::object cancelled)
    : source_(std::move(source)), progress_(std::move(progress)), cancelled_(std::move(cancelled)) {}

void Callbacks::Progress(int32_t done, int32_t total) {
    py::gil_scoped_acquire gil;
    if (progress_.is_none() || Failed()) {
        return;
    }
    try {
        progress_(done, total);
    } catch (py::error_already_set& e) {
        Fail(e);
    }
}

bool Callbacks::Cancelled() {
    py::gil_scoped_acquire gil;
    if (Failed()) {
        return true;
    }
    try {
        // Ctrl-C reaches the interpreter only through its signal check, which nothing else makes meanwhile.
        if (PyErr_CheckSignals() != 0) {
            throw py::error_already_set();
        }
        if (cancelled_.is_none()) {
            return false;
        }
        const int yes = PyObject_IsTrue(cancelled_().ptr());
        if (yes < 0) {
            throw py::error_already_set();
        }
        return yes != 0;
    } catch (py::error_already_set& e) {
        Fail(e);
    }
    return true;
}

py::object Callbacks::Band(uint32_t y, uint32_t rows) {
    if (Failed()) {
        return py::none();
    }
    try {
        return source_(y, rows);
    } catch (py::error_already_set& e) {
        Fail(e);
    }
    return py::none();
}

void Callbacks::Fail(py::error_already_set& error) {
    if (!Failed()) {
        error_.emplace(std::move(error));
    }
}

void Callbacks::Fail(PyObject* type, const std::string& message) {
    if (!Failed()) {
        PyErr_SetString(type, message.c_str());
        error_.emplace();
    }
}

void Callbacks::RaiseFailure() {
    if (Failed()) {
        py::error_already_set error = std::move(*error_);
        error_.reset();
        throw error;
    }
}

} // namespace quenfieldpy
