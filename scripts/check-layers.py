#!/usr/bin/env python3
"""Checks that no file of src/ includes a header of a layer above its own.

The layers are those of the README ("How the code is layered"); LAYERS below puts every
file of src/ into one of them, file by file where a folder holds two (src/run/ holds the
base of the run and the run sequence). A file may include headers of its own layer and
of the layers below it. The results report is a program of its own beside the benchmark:
it may include the platform layer, its own headers and the benchmark's headers named in
SHARED_WITH_REPORT, whose constant tables it reads; the benchmark includes nothing of it.
Test code (the *_test.cpp files and their helpers) may include anything of the program.

    scripts/check-layers.py [ROOT]      checks ROOT/src (default: this checkout)
    scripts/check-layers.py --self-test  checks the checker on trees it plants

Exits 1 and names each include that breaks the rule, or a file that no layer holds.
"""
import fnmatch
import pathlib
import re
import sys

# From the bottom up; the first pattern a path matches decides its layer.
LAYERS = [
    ("platform", ["src/platform/*"]),
    ("base of the run", ["src/run/run_state.*", "src/run/fatal_error.*",
                         "src/run/fatal_messages.h", "src/run/cleanup.*",
                         "src/tests/test_id.h"]),
    ("packs and logs", ["src/packs/*", "src/logs/*"]),
    ("encoding tests", ["src/tests/*"]),
    ("run sequence", ["src/run/command_line.*", "src/run/analysis.*",
                      "src/run/run_sequence.*", "src/main.cpp"]),
]
REPORT = ("report", ["src/report/*"])
SHARED_WITH_REPORT = ["src/run/run_state.h", "src/tests/test_table.h",
                      "src/tests/test_id.h", "src/logs/main_log.h",
                      "src/logs/ledger_format.h"]
TEST_CODE = ["*_test.cpp", "*_test_util.h", "src/run/run_fixture.h"]

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def layer_of(path):
    """The layer's index (0 = platform), "report", or None when no layer holds it."""
    for index, (_, patterns) in enumerate(LAYERS):
        if any(fnmatch.fnmatch(path, pattern) for pattern in patterns):
            return index
    if any(fnmatch.fnmatch(path, pattern) for pattern in REPORT[1]):
        return "report"
    return None


def name_of(layer):
    return REPORT[0] if layer == "report" else LAYERS[layer][0]


def check(root):
    """The breaches of the layering in root/src, one text each."""
    problems = []
    for file in sorted((root / "src").rglob("*")):
        if file.suffix not in (".h", ".cpp", ".inc"):
            continue
        path = file.relative_to(root).as_posix()
        if any(fnmatch.fnmatch(path, pattern) for pattern in TEST_CODE):
            continue
        layer = layer_of(path)
        if layer is None:
            problems.append(f"{path}: in no layer (scripts/check-layers.py, LAYERS)")
            continue
        for included in INCLUDE.findall(file.read_text(encoding="latin-1")):
            target = "src/" + included
            if not (root / target).exists():
                continue  # a header of this folder or of a test tool, not of a layer
            other = layer_of(target)
            if layer == "report":
                allowed = other in ("report", 0) or target in SHARED_WITH_REPORT
            else:
                allowed = other != "report" and other is not None and other <= layer
            if not allowed:
                problems.append(f"{path} ({name_of(layer)}) includes {included} "
                                f"({name_of(other) if other is not None else 'no layer'})")
    return problems


def self_test():
    """Plants a small tree, once keeping to the layers and once with each kind of breach,
    and checks that exactly the breaches are found."""
    import tempfile
    good = {
        "src/platform/text.h": "",
        "src/run/run_state.h": '#include "platform/text.h"\n',
        "src/logs/main_log.cpp": '#include "run/run_state.h"\n',
        "src/run/command_line.cpp": '#include "logs/main_log.h"\n#include "run/run_state.h"\n',
        "src/logs/main_log.h": "",
        "src/report/names.cpp": '#include "logs/main_log.h"\n#include "platform/text.h"\n',
        "src/logs/main_log_test.cpp": '#include "run/command_line.h"\n',
        "src/run/command_line.h": "",
    }
    breaches = {
        "src/run/run_state.cpp": '#include "run/command_line.h"\n',  # base above itself
        "src/platform/text.cpp": '#include "logs/main_log.h"\n',
        "src/report/run.cpp": '#include "run/command_line.h"\n',  # not shared
        "src/logs/timing_log.cpp": '#include "report/names.h"\n',
        "src/report/names.h": "",
        "src/extra/new.cpp": "",  # in no layer
    }
    found = {}
    for files in (good, {**good, **breaches}):
        with tempfile.TemporaryDirectory() as folder:
            root = pathlib.Path(folder)
            for path, text in files.items():
                (root / path).parent.mkdir(parents=True, exist_ok=True)
                (root / path).write_text(text)
            found[len(files)] = check(root)
    planted = sorted(path for path, text in breaches.items() if text or "extra" in path)
    caught = sorted(problem.split(":")[0].split(" ")[0] for problem in found[len(good) + len(breaches)])
    if found[len(good)] or caught != planted:
        print("check-layers self-test failed:", found, file=sys.stderr)
        return 1
    return 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                        pathlib.Path(__file__).resolve().parent.parent)
    problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
