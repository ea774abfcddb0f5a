"""The module as Python sees it: registration, signatures, utilities."""
import inspect
import re

import pytest

# The fixed registration order; __all__ lists the registered functions in it.
ORDER = [
    "verify_json", "run_verify_json", "verify_unsigned_json", "verify_timed_json",
    "verify_unsigned_timed_json", "judge_prompt_json", "sign_document_json",
    "verify_document_json", "attach_signature_json", "record_verify_chains",
    "run_record_verify", "record_verify", "policy_lint", "default_policy_yaml",
    "builtin_policy_yaml", "policy_resolve", "keygen", "engine_version", "yaml_to_json",
]
PARAMS = {
    "verify_json": ["request_json"], "run_verify_json": ["request_json"],
    "verify_unsigned_json": ["request_json"], "verify_timed_json": ["request_json"],
    "verify_unsigned_timed_json": ["request_json"], "judge_prompt_json": ["request_json"],
    "sign_document_json": ["kind", "content_json", "seed_hex"], "verify_document_json": ["doc_json"],
    "attach_signature_json": ["unsigned_json", "algorithm", "public_key_hex", "signature_hex"],
    "record_verify_chains": ["chains"], "run_record_verify": ["jsonl"], "record_verify": ["jsonl"],
    "policy_lint": ["yaml"], "default_policy_yaml": [], "builtin_policy_yaml": ["name"],
    "policy_resolve": ["yaml"], "keygen": [], "engine_version": [], "yaml_to_json": ["text"],
}
NO_ARGS = {"default_policy_yaml", "keygen", "engine_version"}


def test_module_identity(engine):
    assert engine.__name__ == "quillaveen._engine"
    assert engine.__doc__ == ""
    assert engine.__all__ == [n for n in ORDER if n in engine.__all__]
    assert {"keygen", "engine_version"} <= set(engine.__all__)
    for name in engine.__all__:
        assert callable(getattr(engine, name))


def test_function_metadata(engine):
    for name in engine.__all__:
        f = getattr(engine, name)
        assert f.__self__ is None
        assert f.__module__ == "quillaveen._engine"
        assert f.__qualname__ == name
        assert repr(f) == f"<built-in function {name}>"
        assert f.__text_signature__ == "(" + ", ".join(PARAMS[name]) + ")"
        assert list(inspect.signature(f).parameters) == PARAMS[name]
        if name in NO_ARGS:
            assert f.__doc__ is None
        else:
            assert f.__doc__ and not f.__doc__.endswith("\n")


@pytest.mark.parametrize("name", sorted(NO_ARGS))
def test_no_argument_functions_refuse_arguments(engine, name):
    if name not in engine.__all__:
        pytest.skip(f"{name} is not registered")
    f = getattr(engine, name)
    with pytest.raises(TypeError, match=re.escape(f"quillaveen._engine.{name}() takes no arguments (1 given)")):
        f(1)
    with pytest.raises(TypeError, match=re.escape(f"quillaveen._engine.{name}() takes no keyword arguments")):
        f(x=1)
    with pytest.raises(TypeError, match="no keyword arguments"):
        f(1, x=2)


def test_engine_version(engine):
    assert engine.engine_version() == "6.0.5"


def test_keygen_gives_fresh_hex_seeds(engine):
    seeds = {engine.keygen() for _ in range(20)}
    assert len(seeds) == 20
    for s in seeds:
        assert re.fullmatch(r"[0-9a-f]{64}", s)


def _fresh_module(prepare):
    """Creates the module anew and runs `prepare` on it before its exec step."""
    import importlib.util

    import quillaveen._engine as loaded

    module_spec = importlib.util.spec_from_file_location("quillaveen._engine", loaded.__file__)
    module = importlib.util.module_from_spec(module_spec)
    prepare(module)
    module_spec.loader.exec_module(module)
    return module


def test_exec_step_appends_to_an_existing_all(engine):
    def prepare(m):
        m.__all__ = ["earlier"]

    module = _fresh_module(prepare)
    assert module.__all__ == ["earlier"] + engine.__all__


def test_exec_step_refuses_an_all_that_is_not_a_list():
    def prepare(m):
        m.__all__ = ("earlier",)

    with pytest.raises(TypeError, match=r"^'tuple' object cannot be converted to 'PyList'$"):
        _fresh_module(prepare)
