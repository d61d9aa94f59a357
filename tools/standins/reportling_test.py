"""The dump uploader stand-in under Wine against the running local service:
it sends the "Crash.dmp" beside it, and sends nothing when there is none.

usage: reportling_test.py RUNNER REPORTLING.EXE SERVICE_URL
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.request

RUN_TIMEOUT_S = 120

# (case, dump bytes or None, expected upload sizes); hostile inputs first.
CASES = [
    ("no dump", None, []),
    ("empty dump", b"", []),
    ("dump", b"MDMP" + bytes(range(256)) * 64, [4 + 256 * 64]),
]


def control(url, name):
    with urllib.request.urlopen(url + "__control/" + name, data=b"", timeout=10) as reply:
        return json.load(reply)


def run_case(runner, program, url, dump):
    folder = tempfile.mkdtemp(prefix="reportling-test-")
    try:
        target = os.path.join(folder, "Reportling.exe")
        shutil.copy(program, target)
        if dump is not None:
            with open(os.path.join(folder, "Crash.dmp"), "wb") as f:
                f.write(dump)
        control(url, "clearlog")
        code = subprocess.run(runner + [target], cwd=folder, timeout=RUN_TIMEOUT_S,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        entries = control(url, "log")["entries"]
        return code, [e["body_size"] for e in entries if e["path"] == "/crash.php"]
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    runner, program, url = sys.argv[1].split(";"), sys.argv[2], sys.argv[3]
    failures = 0
    for name, dump, expected in CASES:
        code, uploads = run_case(runner, program, url, dump)
        if code != 0 or uploads != expected:
            print("%s: exit %d, uploads %s, expected exit 0, uploads %s" % (name, code, uploads, expected))
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
