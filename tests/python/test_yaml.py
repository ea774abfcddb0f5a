"""yaml_to_json: YAML text in, compact JSON text out, ValueError on failure."""
import json

import pytest


def test_converts_one_document(engine):
    assert engine.yaml_to_json("a: 1\nb: [x, 2.5, ~]\n") == '{"a":1,"b":["x",2.5,null]}'
    assert engine.yaml_to_json(text="---\nk: !money 12\n") == '{"k":{"!money":12}}'
    assert engine.yaml_to_json("1: a\ntrue: b\n1.5: c\n") == '{"1":"a","true":"b","1.5":"c"}'
    assert engine.yaml_to_json("[0123, 0x1F, '12', .inf]") == '["0123",31,"12",null]'
    assert engine.yaml_to_json("s: \"caf\u00e9 \\u2028\"") == '{"s":"caf\u00e9 \u2028"}'
    big = "\n".join(f"k{i}: [{i}, v{i}]" for i in range(2000))
    assert json.loads(engine.yaml_to_json(big))["k1999"] == [1999, "v1999"]


@pytest.mark.parametrize(
    "text, message",
    [
        ("", "EOF while parsing a value"),
        ("# only a comment\n", "EOF while parsing a value"),
        ("a: 1\n---\nb: 2\n", "deserializing from YAML containing more than one document is not supported"),
        ("a: 1\na: 2\n", 'duplicate entry with key "a"'),
        ("a: [1\n", "did not find expected ',' or ']' at line 2 column 1, while parsing a flow sequence at line 1 column 4"),
        ("x:\n  y: !!int nope\n", 'x.y: invalid value: string "nope", expected an integer at line 2 column 6'),
        ("a: b\x00c", "control characters are not allowed at position 4"),
        (".inf: 1\n", "float key must be finite (got NaN or +/-inf)"),
        ("~: 1\n", "key must be a string"),
        ("a: &a [" + "1," * 999 + "]\nb: [" + "*a," * 1001 + "]\n", "repetition limit exceeded"),
        ("[" * 129 + "]" * 129, "recursion limit exceeded at line 1 column 129"),
        ("[" * 128 + "]" * 128, "recursion limit exceeded"),
    ],
)
def test_failures_raise_value_error_with_the_message(engine, text, message):
    with pytest.raises(ValueError) as info:
        engine.yaml_to_json(text)
    assert info.value.args == (message,)


def test_argument_errors(engine):
    with pytest.raises(TypeError):
        engine.yaml_to_json(b"a: 1")
    with pytest.raises(TypeError):
        engine.yaml_to_json()
    with pytest.raises(UnicodeEncodeError):
        engine.yaml_to_json("\ud800")
