"""Installs krv together with its compiled analysis module krv._analysis.

The module is the one a KRV build made for this interpreter (CMake target
krv_analysis_py): taken from KRV_BIN_DIR, else from build/bin of the source
tree; when neither holds it, it is built with CMake in build-python/ of the
source tree first. The wheel is therefore tied to this interpreter's ABI.
"""

import os
import shutil
import subprocess
import sys
import sysconfig
from pathlib import Path

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
MODULE = "_analysis" + sysconfig.get_config_var("EXT_SUFFIX")


def found_module():
    folders = [os.environ.get("KRV_BIN_DIR"), ROOT / "build" / "bin"]
    for folder in filter(None, folders):
        candidate = Path(folder) / MODULE
        if candidate.is_file():
            return candidate
    return None


def built_module():
    if not (ROOT / "CMakeLists.txt").is_file():
        sys.exit("krv: no %s in KRV_BIN_DIR and no KRV source tree to build it in" % MODULE)
    build = ROOT / "build-python"
    configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DKRV_BUILD_TESTS=OFF",
                 "-DCMAKE_BUILD_TYPE=Release", "-DPython3_EXECUTABLE=" + sys.executable]
    if shutil.which("ninja"):
        configure += ["-G", "Ninja"]
    subprocess.run(configure, check=True)
    subprocess.run(["cmake", "--build", str(build), "--target", "krv_analysis_py", "-j", str(os.cpu_count() or 1)],
                   check=True)
    module = build / "bin" / MODULE
    if not module.is_file():
        sys.exit("krv: the build made no %s (are pybind11-dev and python3-dev installed?)" % module)
    return module


class BuildWithAnalysis(build_py):
    """Copies the compiled module into the package beside analysis.py."""

    def run(self):
        super().run()
        module = found_module() or built_module()
        target = Path(self.build_lib) / "krv" / MODULE
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(module, target)
        print("krv: installing %s" % module)


class CompiledDistribution(Distribution):
    """A platform wheel: the package holds a compiled module."""

    def has_ext_modules(self):
        return True


setup(cmdclass={"build_py": BuildWithAnalysis}, distclass=CompiledDistribution)
