"""File > Send to Quenfield: Krita's active document through the Quenfield Export plug-in to its companion."""

from krita import Extension, Krita
from PyQt5.QtWidgets import QMessageBox

from .send import send


class SendToQuenfield(Extension):
    def setup(self):
        pass

    def createActions(self, window):
        action = window.createAction("quenfield_send", "Send to Quenfield", "file")
        action.triggered.connect(self._send)

    # The window that createActions was given is gone by the time the action is chosen: Krita's wrappers
    # are made for each call.
    @staticmethod
    def _send():
        krita = Krita.instance()
        document, window = krita.activeDocument(), krita.activeWindow()
        if document is None:
            return
        parent = window.qwindow() if window is not None else None
        message = send(document, parent)
        if message:
            QMessageBox.warning(parent, "Send to Quenfield", message)


Krita.instance().addExtension(SendToQuenfield(Krita.instance()))
