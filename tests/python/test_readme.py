"""The README's Python examples, run as written and compared with the output
shown there."""
import doctest
import os
import pathlib
import re
import subprocess
import sys

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def test_readme_examples(engine):
    results = doctest.testfile(str(README), module_relative=False, optionflags=doctest.ELLIPSIS,
                               globs={}, raise_on_error=False)
    assert results.failed == 0
    # Every module function appears in a run example.
    text = README.read_text()
    missing = [name for name in engine.__all__ if f"engine.{name}(" not in text]
    assert missing == []
    assert results.attempted >= len(engine.__all__)


REFERENCE = README.parent / "docs" / "reference.md"


def test_reference_examples(engine):
    """The reference page's examples, every one of them run."""
    results = doctest.testfile(str(REFERENCE), module_relative=False, optionflags=doctest.ELLIPSIS,
                               globs={}, raise_on_error=False)
    assert results.failed == 0
    text = REFERENCE.read_text()
    assert results.attempted == text.count("\n>>> ") and results.attempted > 0
    assert "docs/reference.md" in README.read_text()


def test_readme_examples_without_pynacl(engine, monkeypatch):
    """The README says six of its examples fail where PyNaCl is missing."""
    monkeypatch.setitem(sys.modules, "nacl", None)
    monkeypatch.setitem(sys.modules, "nacl.signing", None)
    parser = doctest.DocTestParser()
    test = parser.get_doctest(README.read_text(), {}, "README", str(README), 0)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test, out=lambda _: None)
    assert runner.summarize(verbose=False).failed == 6
    assert "six of the examples below then fail" in README.read_text()


def test_make_help_lists_every_target():
    makefile = README.parent / "Makefile"
    targets = re.findall(r"^([a-z][a-z-]*):(?!=)", makefile.read_text(), re.MULTILINE)
    env = {k: v for k, v in os.environ.items() if k != "LD_PRELOAD"}
    shown = subprocess.run(["make", "-s", "-C", str(README.parent), "help"], capture_output=True, text=True,
                           env=env, check=True).stdout
    listed = re.findall(r"^make ([a-z-]+)", shown, re.MULTILINE)
    assert sorted(set(targets) - {"all"}) == sorted(listed) and len(listed) == 10
