"""CI check of docs/field-file.md: its three numpy readers, run on the
golden field files of the shipped example, must read what
zereduv-inspect field reads, and the same field from every layout.

usage: field_file_readers.py SOURCE_DIR ZEREDUV ZEREDUV_INSPECT WORK_DIR
Exit 77 (skipped) without numpy."""
import json
import subprocess
import sys

try:
    import numpy as np
except ImportError:
    print("SKIPPED: numpy is not installed (Debian package python3-numpy)")
    sys.exit(77)

from golden_field_files import doc_readers, golden_field_file

source_dir, zereduv, inspect, work = sys.argv[1:5]
readers = doc_readers(source_dir)
NAMES = ("Ex", "Ey", "Ez", "Bx", "By", "Bz")
read = []
for layout in range(3):
    path = golden_field_file(source_dir, zereduv, work, layout)
    f = readers[layout](path)
    rep = json.loads(subprocess.run([inspect, "field", path, "--json"],
                                    check=True, capture_output=True).stdout)
    assert rep["layout"] == layout
    keys = rep["symmetry"]
    assert f["keys"] == (keys["SymX"], keys["SymY"], keys["SymZ"]), f["keys"]
    for axis, n in (("x", 25), ("y", 25), ("z", 201)):
        lo, hi, count = rep["grid"][axis + "_cm"]
        assert f[axis].shape == (n,) and count == n
        assert np.allclose([f[axis][0], f[axis][-1]], [lo, hi],
                           rtol=1e-14, atol=1e-14), axis
    assert np.allclose(f["z"], rep["axis"]["z_cm"], rtol=1e-14, atol=1e-14)
    for name in NAMES:
        a = f[name]
        assert a.shape == (25, 25, 201), (name, a.shape)
        s = rep["components"][name]
        assert a.min() == s["min"] and a.max() == s["max"], name
        rms = np.sqrt(np.mean(a * a))
        assert abs(rms - s["rms"]) <= 1e-12 * max(rms, 1e-300), name
    # The axis line inspect reports, found by its coordinates.
    ix = int(np.argmin(abs(f["x"] - rep["axis"]["x_cm"])))
    iy = int(np.argmin(abs(f["y"] - rep["axis"]["y_cm"])))
    assert np.array_equal(f["Ez"][ix, iy, :], rep["axis"]["Ez_V_per_cm"])
    # x and y not swapped: By = (x/r) B_phi follows x, Bx = -(y/r) B_phi
    # follows y (the pillbox has no E_r).
    X, Y = f["x"][:, None, None], f["y"][None, :, None]
    assert abs((f["By"] * X).sum()) > 100 * abs((f["By"] * Y).sum())
    assert abs((f["Bx"] * Y).sum()) > 100 * abs((f["Bx"] * X).sum())
    read.append(f)
    print(f"layout {layout}: {path} read as inspect reads it")

# Every layout holds the same field, to the 15 digits of the text layouts.
for name in NAMES:
    peak = abs(read[0][name]).max()
    for layout in (1, 2):
        diff = abs(read[layout][name] - read[0][name]).max()
        assert diff <= 1e-14 * peak, (name, layout, diff, peak)
for axis in ("x", "y", "z"):
    for layout in (1, 2):
        assert np.allclose(read[layout][axis], read[0][axis], rtol=1e-14,
                           atol=1e-14)
print("the three layouts agree")
