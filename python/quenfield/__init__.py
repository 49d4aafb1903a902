"""Send images from Python to Quenfield through the Quenfield Export plug-in.

export() sends a NumPy array; export_bands() sends rows that a callback hands over a band at a time, so that
an editor never copies its image. Both run the plug-in as the reference host quenfield-export and the GIMP
bridge do, and say what happened in their words.
"""

import numpy

from . import _quenfield

__all__ = ["export", "export_bands", "Exported", "ExportError"]

_DEPTHS = {numpy.dtype(numpy.uint8): 8, numpy.dtype(numpy.uint16): 16, numpy.dtype(numpy.float32): 32}
_EXPORTED, _KEPT = 0, 1


class Exported:
    """An export that wrote its file: .path, .kept (the companion did not start, the file stays where it is),
    .words (the reference host's line) and .editor_message (what an editor shows; empty when nothing)."""

    __slots__ = ("path", "kept", "words", "editor_message")

    def __init__(self, path, kept, words, editor_message):
        self.path, self.kept, self.words, self.editor_message = path, kept, words, editor_message

    def __repr__(self):
        return f"Exported({self.path!r}, kept={self.kept})"


class ExportError(RuntimeError):
    """An export that left no file: str() is the reference host's words, .code the plug-in's result (-128 for
    a cancel, 0 when the plug-in could not be run), .editor_message what an editor shows (empty for a
    cancel)."""

    def __init__(self, words, code, editor_message):
        super().__init__(words)
        self.code = code
        self.editor_message = editor_message


def _check_request(width, height, depth, planes, gray, order, band_rows):
    for what, value in (("width", width), ("height", height), ("band_rows", band_rows)):
        if value < 1:
            raise ValueError(f"{what} must be at least 1, not {value}")
    if depth not in (8, 16, 32):
        raise ValueError(f"depth must be 8, 16 or 32, not {depth}")
    allowed = (1, 2) if gray else (3, 4)
    if planes not in allowed:
        kind = "gray" if gray else "RGB"
        raise ValueError(f"planes must be {allowed[0]} or {allowed[1]} for a {kind} image, not {planes}")
    if order not in ("RGB", "BGR"):
        raise ValueError(f'order must be "RGB" or "BGR", not {order!r}')
    if gray and order == "BGR":
        raise ValueError('order="BGR" needs colour samples; a gray image has none to reorder')


def export_bands(source, *, width, height, depth, planes, name, gray=False, order="RGB", band_rows=64,
                 progress=None, cancelled=None):
    """Exports rows that source(y, rows) returns a band at a time, top-down: an object with the buffer
    protocol holding rows y..y+rows-1, samples interleaved in the processor's byte order (depth 8 or 16:
    unsigned integers, 32: floats). order="BGR": the first three samples of a pixel are blue, green, red.
    progress(done, total) follows the plug-in; cancelled() -> True ends the export (ExportError, code -128).
    An exception a callback raises ends the export and is raised again once the plug-in has cleaned up.
    Returns Exported or raises ExportError."""
    _check_request(width, height, depth, planes, gray, order, band_rows)
    end, code, words, editor_message, path = _quenfield.export_bands(
        source, width, height, depth, planes, name, gray, order == "BGR", band_rows, progress, cancelled)
    if end in (_EXPORTED, _KEPT):
        return Exported(path, end == _KEPT, words, editor_message)
    raise ExportError(words, code, editor_message)


def export(array, name="Untitled", *, progress=None, cancelled=None):
    """Exports an H x W x C array (or H x W for gray) of uint8, uint16 or float32: C 1 gray, 2 gray and
    alpha, 3 RGB, 4 RGBA. Values as stored: 16-bit as in a 16-bit PNG, floats as they are."""
    array = numpy.asarray(array)
    depth = _DEPTHS.get(array.dtype.newbyteorder("="))
    if depth is None:
        raise TypeError(f"the array's samples must be uint8, uint16 or float32, not {array.dtype}")
    if array.ndim not in (2, 3) or (array.ndim == 3 and not 1 <= array.shape[2] <= 4):
        raise ValueError(f"the array must be H x W or H x W x C with C 1 to 4, not of shape {array.shape}")
    planes = 1 if array.ndim == 2 else array.shape[2]
    native = array.dtype.newbyteorder("=")

    # A view of the rows where the array holds them as the plug-in reads them; a copy of the band otherwise.
    def band(y, rows):
        return numpy.ascontiguousarray(array[y:y + rows], dtype=native)

    return export_bands(band, width=array.shape[1], height=array.shape[0], depth=depth, planes=planes,
                        name=name, gray=planes <= 2, progress=progress, cancelled=cancelled)
