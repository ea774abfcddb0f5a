"""The README's Python examples, run as written and compared with the output
shown there."""
import doctest
import pathlib

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
