"""Sends a Krita document to Quenfield: the composite of its visible layers, read a band of rows at a time as
the plug-in asks for them, so that the image is never copied."""

import importlib
import os
import sys

from PyQt5 import sip
from PyQt5.QtCore import QEventLoop, Qt
from PyQt5.QtWidgets import QApplication, QProgressDialog

from .paths import QUENFIELD_PYTHON_DIR

BAND_ROWS = 64

# Colour models sent as the GIMP bridge sends its images: gray as gray, each with its alpha.
_MODELS = {"RGBA": (False, 4), "GRAYA": (True, 2)}
# Sample depths: integers as they are, half and full floats as 32-bit floats (as GIMP's half precision).
_DEPTHS = {"U8": 8, "U16": 16, "F16": 32, "F32": 32}
_MODEL_WORDS = {"CMYKA": "CMYK", "LABA": "L*a*b*", "XYZA": "XYZ", "YCbCrA": "YCbCr"}


class Refused(Exception):
    """A document the plug-in cannot be given; str() is the message for the user."""


def document_name(document):
    path = document.fileName()
    return os.path.basename(path) if path else document.name() or "Untitled"


def _quenfield():
    try:
        return importlib.import_module("quenfield")
    except ImportError:
        if QUENFIELD_PYTHON_DIR in sys.path:
            raise
        sys.path.append(QUENFIELD_PYTHON_DIR)
        return importlib.import_module("quenfield")


def _layout(document, name):
    """The pixels as export_bands takes them: the keywords that describe them, and whether Krita's half
    floats are widened."""
    model, depth = document.colorModel(), document.colorDepth()
    convert = ", then send it again."
    if model not in _MODELS:
        colours = _MODEL_WORDS.get(model, model)
        raise Refused(f"{name} was not sent to Quenfield: its colours are {colours}, which Quenfield Export does "
                      f"not take. Convert the image to RGB or grayscale (Image ▸ Convert Image Color Space)"
                      + convert)
    if depth not in _DEPTHS:
        raise Refused(f"{name} was not sent to Quenfield: its samples are {depth}, which Quenfield Export "
                      f"does not take. Convert the image to 8 or 16 bits or 32-bit float" + convert)
    gray, planes = _MODELS[model]
    # Krita hands integer samples over blue first, and floats red first.
    order = "BGR" if depth in ("U8", "U16") and not gray else "RGB"
    return dict(depth=_DEPTHS[depth], planes=planes, gray=gray, order=order), depth == "F16"


def _source(document, widen):
    width = document.width()
    if not widen:
        return lambda y, rows: document.pixelData(0, y, width, rows)
    import numpy

    return lambda y, rows: numpy.frombuffer(document.pixelData(0, y, width, rows), numpy.float16).astype(
        numpy.float32)


class _Progress:
    """Krita's progress dialog for one send. Its Cancel ends the export; Qt's events are handled at every step
    so that the dialog keeps answering. The dialog is modal for the whole application, so that nothing
    changes the document or starts another send while this one reads it."""

    def __init__(self, name, total, parent):
        self._dialog = QProgressDialog(f"Sending {name} to Quenfield", "Cancel", 0, total, parent)
        self._dialog.setWindowTitle("Send to Quenfield")
        self._dialog.setWindowModality(Qt.ApplicationModal)
        self._dialog.setMinimumDuration(500)
        self._dialog.setAutoReset(False)

    def update(self, done, total):
        self._dialog.setMaximum(total)
        self._dialog.setValue(min(done, total))
        self._handle_events()

    def cancelled(self):
        self._handle_events()
        return self._dialog.wasCanceled()

    # Until the dialog shows (and, being modal, takes the user's input), that input waits.
    def _handle_events(self):
        QApplication.processEvents(
            QEventLoop.AllEvents if self._dialog.isVisible() else QEventLoop.ExcludeUserInputEvents)

    # At once: a script that sends one document after another runs no event loop to delete it later.
    def close(self):
        sip.delete(self._dialog)


def send(document, parent=None):
    """Sends the document's visible image; returns the message to show, empty when there is none (the image
    was sent and the companion started, or the user cancelled). The document is not changed."""
    name = document_name(document)
    try:
        quenfield = _quenfield()
    except ImportError as e:
        return (f"{name} was not sent to Quenfield: the Python module quenfield cannot be loaded ({e}). Install "
                f"python3-quenfield (or Quenfield Export with its Python module), then send the image again.")
    try:
        layout, widen = _layout(document, name)
    except Refused as e:
        return str(e)
    document.refreshProjection()
    document.waitForDone()
    progress = _Progress(name, document.height(), parent)
    try:
        exported = quenfield.export_bands(
            _source(document, widen), width=document.width(), height=document.height(), name=name,
            band_rows=BAND_ROWS, progress=progress.update, cancelled=progress.cancelled, **layout)
        return exported.editor_message
    except quenfield.ExportError as e:
        return e.editor_message
    except Exception as e:  # noqa: BLE001 -- in words, not as Krita's traceback
        return f"{name} was not sent to Quenfield: {e}"
    finally:
        progress.close()
