# The include direction checker, run as CI runs it, on small source trees
# made for each case.
import importlib.machinery
import importlib.util
import os
import subprocess
import sys

import pytest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "tools", "check-includes")


def load_checker():
    loader = importlib.machinery.SourceFileLoader("check_includes", SCRIPT)
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


def make_tree(root, files):
    for path, text in files.items():
        full = root / path
        full.parent.mkdir(parents=True, exist_ok=True)
        full.write_text(text)
    return root


def check(root):
    done = subprocess.run([sys.executable, SCRIPT, str(root)], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout.splitlines()


# Every allowed kind of include: own folder by both spellings, down a layer,
# the listed sideways edges, the service header where it belongs, system
# headers, and a header from outside src/. No capture folder.
CLEAN = {
    "src/platform/profile.h": "#pragma once\n#include <string>\n",
    "src/platform/profile.cpp": '#include "profile.h"\n#include "platform/profile.h"\n',
    "src/analysis/fft.cpp": "#include <cmath>\n#include <vector>\n",
    "src/context/appcontext.h": "#include <QString>\n",
    "src/context/zqchannelsource.cpp": '#include "zq.h"\n',
    "src/crash/crashlog.cpp": '#include "context/appcontext.h"\n#include "platform/profile.h"\n',
    "src/widgets/button.h": '#include "context/appcontext.h"\n#include "platform/profile.h"\n',
    "src/acquisition/setup.cpp": '#include "widgets/button.h"\n#include "zq.h"\n',
    "src/views/view.cpp": '#include "analysis/fft.h"\n#include "widgets/button.h"\n',
    "src/panels/bar.cpp": '#include "views/view.h"\n#include "support/stub.h"\n',
    "src/shell/window.cpp": '#include "panels/bar.h"\n#include "acquisition/setup.h"\n',
    "src/app/main.cpp": '#include "shell/window.h"\n',
}


def test_a_clean_tree_passes_without_output(tmp_path):
    assert check(make_tree(tmp_path, CLEAN)) == (0, [])


@pytest.mark.parametrize(
    "path, include, why",
    [
        ("src/views/view.cpp", '"panels/bar.h"', "runs up from views (layer 3) to panels (layer 4)"),
        ("src/context/appcontext.cpp", '"crash/crashlog.h"', "goes sideways from context to crash"),
        ("src/widgets/button.cpp", '"acquisition/setup.h"', "goes sideways from widgets to acquisition"),
        ("src/analysis/fft.cpp", '"platform/profile.h"', "analysis includes nothing of the project"),
        ("src/analysis/fft.cpp", "<QVector>", "free of Qt"),
        ("src/panels/bar.cpp", '"zq.h"', "only the acquisition, the capture and the context's channel source"),
        ("src/context/appcontext.cpp", '"zq.h"', "only the acquisition"),
        ("src/capture/ring.cpp", '"../views/view.h"', "runs up from capture (layer 2) to views (layer 3)"),
        ("src/views/view.cpp", '"tools/thing.h"', "src/tools is in no layer"),
    ],
)
def test_each_forbidden_include_is_named_with_its_place_and_reason(tmp_path, path, include, why):
    files = dict(CLEAN)
    files["src/views/view.h"] = "#pragma once\n"
    files["src/tools/thing.h"] = "#pragma once\n"
    files[path] = files.get(path, "") + f"// a comment\n  #  include {include}\n"
    line = files[path].count("\n")
    code, out = check(make_tree(tmp_path, files))
    assert code == 1
    assert len(out) == 1, out
    assert out[0].startswith(f"{path}:{line}: {include}: ")
    assert why in out[0]


def test_a_wrong_include_is_named_with_the_circle_it_closes_and_the_right_one_is_not(tmp_path):
    # acquisition → widgets is allowed; widgets → acquisition goes sideways
    # the wrong way and closes the circle.
    files = dict(CLEAN)
    files["src/widgets/button.cpp"] = '#include "acquisition/setup.h"\n'
    code, out = check(make_tree(tmp_path, files))
    assert code == 1
    assert out == [
        'src/widgets/button.cpp:1: "acquisition/setup.h": goes sideways from widgets to acquisition; within a '
        "layer only acquisition → widgets, crash → context, crash → platform; "
        "closes a circle widgets → acquisition → widgets"
    ]


def test_an_upward_include_closes_a_circle_over_several_folders(tmp_path):
    files = dict(CLEAN)
    files["src/platform/profile.cpp"] += '#include "shell/window.h"\n'
    code, out = check(make_tree(tmp_path, files))
    assert code == 1
    assert len(out) == 1
    assert out[0].startswith('src/platform/profile.cpp:3: "shell/window.h": ')
    assert "runs up from platform (layer 0) to shell (layer 5)" in out[0]
    assert "closes a circle platform → shell → acquisition → widgets → platform" in out[0]


def test_a_circle_of_allowed_sideways_includes_is_still_refused(tmp_path, monkeypatch, capsys):
    # Should the sideways list ever allow both directions, the circle is
    # named on each of its includes.
    checker = load_checker()
    monkeypatch.setattr(checker, "SIDEWAYS", checker.SIDEWAYS | {("widgets", "acquisition")})
    files = dict(CLEAN)
    files["src/widgets/button.cpp"] = '#include "acquisition/setup.h"\n'
    assert checker.main(["check-includes", str(make_tree(tmp_path, files))]) == 1
    assert sorted(capsys.readouterr().out.splitlines()) == [
        'src/acquisition/setup.cpp:1: "widgets/button.h": closes a circle acquisition → widgets → acquisition',
        'src/widgets/button.cpp:1: "acquisition/setup.h": closes a circle widgets → acquisition → widgets',
    ]


def test_a_missing_src_folder_is_an_error_not_a_pass(tmp_path):
    code, _ = check(tmp_path)
    assert code == 2
