"""Builds the extension module with the project's CMake build and packs it as
`quillaveen._engine` (stable ABI, CPython 3.10 and later).

The CMake build directory is build-py/cmake, apart from the development build
in build/, and is kept between runs so that a second install only relinks what
changed. `cmake --build` honours CMAKE_BUILD_PARALLEL_LEVEL for the job count.
"""
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent
WORK = ROOT / "build-py"


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        cmake = WORK / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(cmake), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG", "-DQV_TESTS=OFF", "-DQV_BENCH=OFF",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(cmake), "--target", "qv_python_module"], check=True)
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(cmake / "python" / "quillaveen" / "_engine.abi3.so", target)


WORK.mkdir(exist_ok=True)
setup(
    package_dir={"": "python"},
    packages=["quillaveen"],
    ext_modules=[Extension("quillaveen._engine", sources=[], py_limited_api=True)],
    cmdclass={"build_ext": CMakeBuild},
    options={
        "build": {"build_base": str(WORK / "setuptools")},
        "egg_info": {"egg_base": str(WORK)},
        "bdist_wheel": {"py_limited_api": "cp310"},
    },
)
