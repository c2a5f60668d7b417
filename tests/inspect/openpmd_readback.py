"""Reads back the openPMD files of zereduv-inspect --openpmd with h5py: the
attributes the BeamPhysics extension's field mesh requires, and every value
against the golden field file (read with the layout-0 reader of
docs/field-file.md) and against the field table itself.

usage: openpmd_readback.py SOURCE_DIR ZEREDUV ZEREDUV_INSPECT WORK_DIR
Exit 77 (skipped) without numpy or h5py."""
import os
import subprocess
import sys

try:
    import h5py
    import numpy as np
except ImportError as e:
    print(f"SKIPPED: {e.name} is not installed (Debian packages python3-h5py,"
          " python3-numpy)")
    sys.exit(77)

from golden_field_files import doc_readers, golden_field_file

source_dir, zereduv, inspect, work = sys.argv[1:5]
F = 1.3e9  # the example's frequency [Hz]
MU0 = 4e-7 * np.pi  # the table's H [A/m] to B [T] (to 1e-9)
E_DIM = (1, 1, -3, -1, 0, 0, 0)  # V/m in openPMD's (L, M, T, I, theta, N, J)
B_DIM = (0, 1, -2, -1, 0, 0, 0)  # T


def text(v):
    return v.decode() if isinstance(v, bytes) else str(v)


def mesh(path, geometry, labels, shape):
    """The field mesh of the file, its root and mesh attributes checked."""
    h = h5py.File(path, "r")
    assert text(h.attrs["openPMDextension"]) == "BeamPhysics"
    assert text(h.attrs["openPMD"]).startswith("2.")
    assert isinstance(h.attrs["externalFieldPath"], bytes)
    fp = text(h.attrs["externalFieldPath"])
    groups = list(h[fp.split("%T")[0]])
    assert len(groups) == 1, groups
    m = h[fp.replace("%T", groups[0]).rstrip("/")]
    a = m.attrs
    assert text(a["gridGeometry"]) == geometry
    assert tuple(text(s) for s in a["axisLabels"]) == labels
    assert text(a["eleAnchorPt"]) in ("beginning", "center", "end")
    assert tuple(a["gridSize"]) == shape
    assert len(a["gridLowerBound"]) == 3
    assert len(a["gridOriginOffset"]) == 3 and len(a["gridSpacing"]) == 3
    assert int(a["harmonic"]) == 1 and float(a["fundamentalFrequency"]) == F
    for rec, dim in (("electricField", E_DIM), ("magneticField", B_DIM)):
        for c in m[rec]:
            d = m[rec][c]
            assert d.shape == shape and d.dtype.kind == "c", (rec, c)
            assert float(d.attrs["unitSI"]) == 1.0
            assert tuple(d.attrs["unitDimension"]) == dim, (rec, c)
    return h, m


# The 3-D map of a field file, every value against the file.
field = golden_field_file(source_dir, zereduv, work, 0)
f = doc_readers(source_dir)[0](field)
out = os.path.join(work, "field.h5")
subprocess.run([inspect, "field", field, "--openpmd", out, "--frequency",
                str(F)], check=True, stdout=subprocess.DEVNULL)
h, m = mesh(out, "rectangular", ("x", "y", "z"), (25, 25, 201))
origin, step = m.attrs["gridOriginOffset"], m.attrs["gridSpacing"]
for k, axis in enumerate("xyz"):
    n = len(f[axis])
    rebuilt = origin[k] + step[k] * np.arange(n)
    assert np.allclose(rebuilt, f[axis] / 100, rtol=0, atol=1e-15), axis
for k, c in enumerate("xyz"):
    e, b = m["electricField"][c][()], m["magneticField"][c][()]
    # E cos(wt) is the complex E; B sin(wt) is i B (fields Re(F e^-iwt)).
    assert np.array_equal(e.real, f["E" + c] * 100) and not e.imag.any()
    assert np.array_equal(b.imag, f["B" + c] * 1e-4) and not b.real.any()
h.close()
print(f"{out}: every value is the field file's, in SI units")

# The 2-D map of the table on its cylindrical grid, against the table.
table = os.path.join(source_dir, "examples", "pillbox", "pillbox.txt")
out = os.path.join(work, "table.h5")
subprocess.run([inspect, "table", table, "--isym", "2", "--openpmd", out,
                "--frequency", str(F)], check=True, stdout=subprocess.DEVNULL)
rows = []
for line in open(table):
    w = line.split()
    try:
        rows.append([float(x) for x in w])
    except ValueError:
        continue
t = np.array([r for r in rows if len(r) == 6])  # Z R Ez Er |E| H
nr, nz_half = len(np.unique(t[:, 1])), len(np.unique(t[:, 0]))
h, m = mesh(out, "cylindrical", ("r", "theta", "z"), (nr, 1, 2 * nz_half - 1))
ez = m["electricField"]["z"][()][:, 0, :]
er = m["electricField"]["r"][()][:, 0, :]
bt = m["magneticField"]["theta"][()][:, 0, :]
assert not ez.imag.any() and not er.imag.any() and not bt.real.any()
origin, step = m.attrs["gridOriginOffset"], m.attrs["gridSpacing"]
z = origin[2] + step[2] * np.arange(2 * nz_half - 1)
r = origin[0] + step[0] * np.arange(nr)
# The table holds the upper half, its first plane the mirror plane (Ez
# even): its node (z_t, r) is the map's node at z = z_t - z_first.
ztab, rtab = np.unique(t[:, 0]), np.unique(t[:, 1])
assert np.allclose(r, rtab / 100, atol=1e-12)
assert np.allclose(z[nz_half - 1:], (ztab - ztab[0]) / 100, atol=1e-12)
for zt, rt, Ez, Er, _, H in t:
    i = int(np.argmin(abs(rtab - rt)))
    j = nz_half - 1 + int(np.argmin(abs(ztab - zt)))
    assert abs(ez[i, j].real - Ez * 1e6) <= 1e-9 * 5e6, (zt, rt)
    assert abs(er[i, j].real - Er * 1e6) <= 1e-9 * 5e6, (zt, rt)
    # B sin(wt) against the table's H: the same magnitude, a sign the
    # check's switch may have made.
    assert abs(abs(bt[i, j].imag) - MU0 * abs(H)) <= 1e-6 * MU0 * abs(
        t[:, 5]).max(), (zt, rt)
# The mirror half: Ez and B_theta even, Er odd about z = 0.
assert np.array_equal(ez[:, ::-1], ez) and np.array_equal(bt[:, ::-1], bt)
assert np.array_equal(er[:, ::-1], -er)
h.close()
print(f"{out}: every value is the table's, in SI units")
