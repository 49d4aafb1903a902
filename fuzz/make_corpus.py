#!/usr/bin/env python3
"""Writes the fuzzer's seed corpus: one small input per kind of document, host behaviour and call order.

The layout is the one hostlib/Scenario.cpp decodes. Run from anywhere; rewrites fuzz/corpus/.
"""
import os
import shutil
import struct

MODES = [1, 3, 10, 11, 16, 17, 0, 2, 4, 7, 8, 9]
DEPTHS = [8, 16, 32, 1, 24, 0]
PREPARE, START, CONTINUE, FINISH, ABOUT = 4, 1, 2, 3, 0
DELIVER, FAIL, CANCEL, SHORT, NULL, LONG = range(6)
HOST, NO_PROCS, WRONG_VERSION, TOO_FEW, LOCK_FAILS = range(5)
ABSENT, EMPTY, STALE, PLANTED = range(4)
NO_SUITE, REFUSING_SUITE, UI_HOOKS = range(3)
PRIVATE, UNSET, RELATIVE, SHARED_STICKY, OPEN_NON_STICKY, FOREIGN, SQUATTED_BY_LINK, SQUATTED_BY_OTHER = range(8)
(NO_HAZARD, PLANTED_LINK, FOREIGN_OWNED, OPEN_TO_OTHERS, FIFO, HARD_LINK, READ_ONLY, READ_ONLY_FIFO,
 READ_ONLY_HARD_LINK, LINK_TO_FILE, DANGLING_LINK) = range(11)


def pick(value, table):
    if value in table:
        return bytes([table.index(value)])
    return bytes([0xF0]) + struct.pack("<h", value)


def planes_byte(value):
    return bytes([value]) if 0 <= value <= 8 else bytes([0xF0]) + struct.pack("<h", value)


def seed(mode=3, depth=8, planes=3, width=5, height=3, name=b"Sunset Beach.psd",
         selectors=(PREPARE, START, FINISH), actions=(), samples=b"", handles=HOST, folder=EMPTY,
         suite=NO_SUITE, advance=True, progress=True, abort=True, companion=False,
         max_data=10000000, host32=1, using32=0, tmp=PRIVATE, hazard=NO_HAZARD, limit=None):
    flags = handles | (0 if advance else 8) | (0 if progress else 16) | (0 if abort else 32)
    flags |= 64 if companion else 0
    extra = hazard != NO_HAZARD or limit is not None
    out = bytes([flags, folder | suite << 2 | tmp << 4 | (0x80 if extra else 0)])
    if extra:
        out += bytes([hazard | (0x80 if limit is not None else 0)])
        if limit is not None:
            out += struct.pack("<H", limit)
    out += pick(mode, MODES) + pick(depth, DEPTHS) + planes_byte(planes)
    out += bytes([width + 2, height + 2])
    out += struct.pack("<hh", min(height, 32767), min(width, 32767))
    out += struct.pack("<iii", max_data, host32, using32)
    out += bytes([len(name)]) + name
    out += bytes([len(selectors)]) + bytes(s + 1 for s in selectors)
    out += bytes([len(actions)])
    for action in actions:
        index, kind = action[0], action[1]
        out += bytes([index, kind])
        if kind == FAIL:
            out += struct.pack("<h", action[2])
        elif kind in (SHORT, LONG):
            out += bytes([action[2] - 1])
    return out + samples


def seeds():
    kinds = [(1, 8, 1), (1, 8, 2), (10, 16, 1), (10, 16, 3), (17, 32, 1), (17, 32, 2), (3, 8, 3), (3, 8, 5),
             (11, 16, 3), (11, 16, 4), (16, 32, 3), (16, 32, 4), (3, 16, 3)]
    for mode, depth, planes in kinds:
        yield f"kind-mode{mode}-depth{depth}-planes{planes}", seed(mode, depth, planes, samples=bytes(range(7, 250, 3)))
    for mode, depth, planes in [(4, 8, 4), (3, 8, 2), (1, 8, 0), (3, 24, 3), (1, 1, 1), (-1, 8, 3)]:
        yield f"refused-mode{mode}-depth{depth}-planes{planes}", seed(mode, depth, planes)
    yield "handshake-0", seed(host32=0)
    yield "handshake-2", seed(host32=2, max_data=100000)
    yield "maxdata-negative", seed(max_data=-5)
    yield "maxdata-small", seed(max_data=100000)
    yield "cancel-first", seed(actions=[(0, CANCEL)])
    yield "cancel-middle", seed(actions=[(1, CANCEL)])
    yield "cancel-last", seed(actions=[(2, CANCEL)])
    yield "cancel-without-abortproc", seed(actions=[(1, CANCEL)], abort=False)
    yield "fail-first", seed(actions=[(0, FAIL, -9999)])
    yield "fail-middle", seed(16, 32, 3, actions=[(1, FAIL, 1)])
    yield "short-rowbytes", seed(11, 16, 3, actions=[(0, SHORT, 1)])
    yield "short-rowbytes-to-zero", seed(1, 8, 1, width=2, actions=[(1, SHORT, 2)])
    yield "long-rowbytes", seed(actions=[(0, LONG, 200), (2, LONG, 1)])
    yield "null-data", seed(17, 32, 1, actions=[(1, NULL)])
    yield "no-advancestate", seed(advance=False)
    yield "no-progressproc", seed(progress=False, actions=[(1, CANCEL)])
    yield "handles-none", seed(handles=NO_PROCS, selectors=(PREPARE, START, FINISH, START))
    yield "handles-wrong-version", seed(handles=WRONG_VERSION)
    yield "handles-too-few", seed(handles=TOO_FEW)
    yield "handles-lock-fails", seed(handles=LOCK_FAILS, selectors=(ABOUT, PREPARE, START, FINISH))
    yield "folder-absent", seed(folder=ABSENT)
    yield "folder-stale-file", seed(folder=STALE)
    yield "folder-file-name-taken", seed(folder=PLANTED)
    yield "companion", seed(companion=True)
    yield "companion-pfm", seed(17, 32, 2, companion=True)
    yield "companion-cancel", seed(companion=True, actions=[(1, CANCEL)])
    for tag, name in [("empty", b""), ("extension-only", b".psd"), ("separator", b"a/b.c"),
                      ("two-points", b"photo.final.tif"), ("parentheses", b"(copy) 2+3"),
                      ("high-bytes", "Ünïcødé Ñame.psd".encode()), ("nul-inside", b"ab\0cd.psd"),
                      ("long", b"n" * 251 + b".psd"), ("trailing-separator", b"dir/")]:
        yield f"name-{tag}", seed(name=name, width=2, height=2)
    yield "calls-start-without-prepare", seed(selectors=(START, FINISH))
    yield "calls-prepare-twice-continue", seed(selectors=(PREPARE, PREPARE, START, CONTINUE, FINISH))
    yield "calls-finish-only", seed(selectors=(FINISH, CONTINUE))
    yield "calls-about-between", seed(suite=UI_HOOKS, selectors=(ABOUT, PREPARE, START, FINISH, ABOUT))
    yield "calls-about-refusing-suite", seed(suite=REFUSING_SUITE, selectors=(ABOUT,))
    yield "calls-unknown", seed(selectors=(-1, 5, 6, PREPARE, START))
    yield "size-zero-width", seed(width=0)
    yield "size-negative-height", seed(height=-2)
    yield "size-64x64", seed(11, 16, 4, width=64, height=64, samples=bytes(range(256)) * 4)
    yield "planes-469-two-chunks", seed(1, 8, 469, width=64, height=2)
    yield "planes-30000", seed(3, 8, 30000, width=4, height=1)
    yield "planes-30001", seed(3, 8, 30001, width=4, height=1)
    nan = struct.pack("<fff", float("nan"), -0.0, 1e30) + bytes([1, 0, 0x80, 0x7F])  # NaN with payload, inf
    tmps = [("unset", UNSET), ("relative", RELATIVE), ("shared-sticky", SHARED_STICKY),
            ("open-non-sticky", OPEN_NON_STICKY), ("foreign", FOREIGN), ("squatted-by-link", SQUATTED_BY_LINK),
            ("squatted-by-other", SQUATTED_BY_OTHER)]
    for tag, tmp in tmps:
        yield f"tmpdir-{tag}", seed(tmp=tmp)
    yield "tmpdir-shared-sticky-absent", seed(tmp=SHARED_STICKY, folder=ABSENT)
    hazards = [("planted-link", PLANTED_LINK), ("foreign-owned", FOREIGN_OWNED), ("open-to-others", OPEN_TO_OTHERS),
               ("fifo", FIFO), ("hard-link", HARD_LINK), ("read-only", READ_ONLY), ("read-only-fifo", READ_ONLY_FIFO),
               ("read-only-hard-link", READ_ONLY_HARD_LINK), ("link-to-file", LINK_TO_FILE),
               ("dangling-link", DANGLING_LINK)]
    for tag, hazard in hazards:
        yield f"hazard-{tag}", seed(hazard=hazard, folder=STALE)
    yield "hazard-fifo-in-fallback", seed(tmp=UNSET, hazard=READ_ONLY_FIFO)
    yield "hazard-planted-link-shared", seed(tmp=SHARED_STICKY, hazard=PLANTED_LINK)
    yield "hazard-read-only-refused-size", seed(hazard=READ_ONLY, width=0)
    # 13 header bytes, then 5 rows of 30 bytes: limits before the first byte, inside the header, at its end,
    # between two rows, inside a row, and at the end of the file.
    for limit in [0, 5, 13, 73, 88, 163]:
        yield f"size-limit-{limit}", seed(limit=limit, height=5)
    yield "size-limit-cancel-first", seed(limit=43, height=5, actions=[(0, CANCEL)])
    yield "size-limit-pfm", seed(16, 32, 3, limit=40)
    yield "float-extreme-values", seed(16, 32, 3, width=4, height=2, samples=nan)
    yield "sixteen-above-range", seed(11, 16, 3, width=3, height=1, samples=struct.pack("<6H", 0, 1, 32767, 32768, 32769, 65535))


def main():
    corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    shutil.rmtree(corpus, ignore_errors=True)
    os.makedirs(corpus)
    count = 0
    for name, data in seeds():
        with open(os.path.join(corpus, name), "wb") as out:
            out.write(data)
        count += 1
    print(f"{count} seeds in {corpus}")


if __name__ == "__main__":
    main()
