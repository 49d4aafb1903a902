"""Run by kritarunner (-s cases -f main): sends documents through the plug-in's send() as File > Send to
Quenfield does, and prints a line "RESULT <case> <outcome>" for each; the shell test compares the exports.
kritarunner ends with status 0 whatever happens, so the end is told by a line of its own and os._exit.

main's arguments: PYKRITA SOURCE-FOLDER FILE...: the folder of the plug-in under test (ahead of any installed
one), a scratch folder, files Krita opens and sends as they are. large's: PYKRITA FILE."""

import hashlib
import os
import shutil
import sys
import time
import traceback

from krita import InfoObject, Krita
from PyQt5.QtCore import QTimer
from PyQt5.QtWidgets import QApplication, QProgressDialog


send = None


def report(case, outcome):
    print(f"RESULT {case} {outcome}", flush=True)


def state(document):
    """What sending must leave as it was: the modified flag, the layers and the visible pixels. Krita notes
    a change made by a script when it next handles events."""
    QApplication.processEvents()
    pixels = bytes(document.pixelData(0, 0, document.width(), document.height()))
    layers = [(node.name(), node.visible(), node.opacity()) for node in document.topLevelNodes()]
    return document.modified(), layers, hashlib.sha256(pixels).hexdigest()


def send_and_report(case, document, at_start=None):
    before = state(document)
    if at_start is not None:
        QTimer.singleShot(0, at_start)
    message = send(document)
    report(case, message or "no message")
    report(f"{case}-document", "same" if state(document) == before else f"changed: {before} {state(document)}")


def opened(path):
    document = Krita.instance().openDocument(path)
    document.setBatchmode(True)
    document.waitForDone()
    return document


def layered(folder):
    """An opaque picture with a half-opaque layer and a hidden one above it; Krita's own flattened copy is
    saved beside it as layered-flat.png."""
    shutil.copy(os.path.join(folder, "p_u8_rgb.png"), os.path.join(folder, "layered.png"))
    document = opened(os.path.join(folder, "layered.png"))
    over = opened(os.path.join(folder, "over.png"))
    pixels = over.pixelData(0, 0, over.width(), over.height())
    root = document.rootNode()
    for name, visible, opacity in (("hidden", False, 255), ("half", True, 128)):
        layer = document.createNode(name, "paintlayer")
        layer.setPixelData(pixels, 3, 1, over.width(), over.height())
        layer.setVisible(visible)
        layer.setOpacity(opacity)
        root.addChildNode(layer, root.childNodes()[-1])
    over.close()
    document.refreshProjection()
    document.waitForDone()
    flat = document.clone()
    flat.setBatchmode(True)
    flat.flatten()
    flat.waitForDone()
    flat.exportImage(os.path.join(folder, "layered-flat.png"), InfoObject())
    flat.close()
    return document


def cancel_dialog():
    """Cancel of the send's progress dialog, at the first events the send handles."""
    dialogs = [widget for widget in QApplication.topLevelWidgets() if isinstance(widget, QProgressDialog)]
    for dialog in dialogs:
        dialog.cancel()
    report("cancel-dialog", "cancelled" if dialogs else "none")


def cases(folder, files):
    krita = Krita.instance()
    for path in files:
        document = opened(path)
        send_and_report(os.path.basename(path), document)
        document.close()

    document = layered(folder)
    send_and_report("layered", document)
    document.close()

    for name, model, depth in (("cmyk", "CMYKA", "U8"), ("lab", "LABA", "U16")):
        document = krita.createDocument(16, 8, name, model, depth, "", 300.0)
        send_and_report(name, document)
        document.close()

    document = krita.createDocument(1500, 1000, "cancelled", "RGBA", "U16", "", 300.0)
    send_and_report("cancelled", document, cancel_dialog)

    # Failures, each told once in the words of the GIMP bridge: no plug-in module, no companion.
    module = os.environ["QUENFIELD_EXPORT_MODULE"]
    os.environ["QUENFIELD_EXPORT_MODULE"] = os.path.join(folder, "no-such-module.so")
    send_and_report("nomodule", document)
    os.environ["QUENFIELD_EXPORT_MODULE"] = module
    os.environ["XDG_DATA_HOME"] = os.environ["XDG_DATA_DIRS"] = os.path.join(folder, "nodata")
    document.setName("alone")
    send_and_report("alone", document)
    document.close()


def memory_kb():
    """Peak and present resident memory of this process."""
    with open("/proc/self/status") as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["VmHWM"].split()[0]), int(fields["VmRSS"].split()[0])


def send_large(path):
    """Sends a small document, which loads the Python module, then one large file; reports what each send
    took beyond what Krita held before it, in memory and time."""
    small = Krita.instance().createDocument(64, 64, "small", "RGBA", "U16", "", 300.0)
    large = opened(path)
    large.refreshProjection()
    large.waitForDone()
    for case, document in (("small", small), ("large", large)):
        with open("/proc/self/clear_refs", "w") as clear:
            clear.write("5")  # the peak starts again from the present
        before = memory_kb()[1]
        started = time.monotonic()
        message = send(document)
        seconds = time.monotonic() - started
        report(case, message or "no message")
        report(f"{case}-memory", f"{memory_kb()[0] - before} KB above Krita's {before} KB, {seconds:.2f} s")


def run(pykrita, work):
    """Runs work with the plug-in under test, then ends Krita: with status 0 once work has run to its end."""
    status = 1
    try:
        global send
        sys.path.insert(0, pykrita)
        from quenfield_send.send import send

        Krita.instance().setBatchmode(True)
        work()
        print("CASES DONE", flush=True)
        status = 0
    except Exception:  # noqa: BLE001 -- told on standard error; kritarunner would swallow it
        traceback.print_exc(file=sys.stdout)
        sys.stdout.flush()
    os._exit(status)


def main(args):
    run(args[0], lambda: cases(args[1], args[2:]))


def large(args):
    run(args[0], lambda: send_large(args[1]))
