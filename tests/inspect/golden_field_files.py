"""The golden runs of the shipped example, made again in a scratch folder,
each field file checked against the SHA-256 its golden case recorded; and
the numpy readers of docs/field-file.md, taken from the page itself."""
import hashlib
import os
import re
import shutil
import subprocess

CASES = {
    0: "example-pillbox-layout0-records",
    1: "example-pillbox-layout1-text-x-fastest",
    2: "example-pillbox-layout2-text-z-fastest",
}
SKIP = 77


def doc_readers(source_dir):
    """The functions read_layout0..2 defined by the page's reader blocks."""
    text = open(os.path.join(source_dir, "docs", "field-file.md")).read()
    blocks = re.findall(r"```python\n(# reader: layout \d\n.*?)```", text,
                        re.S)
    assert len(blocks) == 3, f"{len(blocks)} reader blocks in the page"
    names = {}
    for b in blocks:
        exec(compile(b, "docs/field-file.md", "exec"), names)
    return [names[f"read_layout{k}"] for k in range(3)]


def golden_field_file(source_dir, zereduv, work, layout):
    """Runs the golden case of `layout` in work/<case> and returns the path
    of its field file, after checking its hash against the recorded one."""
    case = CASES[layout]
    case_dir = os.path.join(source_dir, "tests", "golden", case)
    run_dir = os.path.join(work, case)
    shutil.rmtree(run_dir, ignore_errors=True)
    os.makedirs(run_dir)
    for line in open(os.path.join(case_dir, "inputs.txt")):
        kind, _, rel = line.strip().partition(" ")
        if kind == "source":
            shutil.copy(os.path.join(source_dir, rel), run_dir)
    for name in os.listdir(case_dir):
        if name not in ("inputs.txt", "expected"):
            shutil.copy(os.path.join(case_dir, name), run_dir)
    subprocess.run([zereduv], cwd=run_dir, check=True,
                   stdout=subprocess.DEVNULL)
    path = os.path.join(run_dir, "eh_ZIV.#01")
    expected = open(os.path.join(case_dir, "expected", "files")).read()
    want = re.search(r"sha256 ([0-9a-f]{64})", expected).group(1)
    got = hashlib.sha256(open(path, "rb").read()).hexdigest()
    assert got == want, f"{case}: the run's field file is not the golden one"
    return path
