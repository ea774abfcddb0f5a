"""Runs the engine from Python: a fresh key, a signed document, and its checks."""
import json

import quillaveen._engine as engine

print("engine version:", engine.engine_version())
seed = engine.keygen()
print("fresh Ed25519 seed:", seed)

report = {"run": "nightly", "answers_checked": 412, "pass_rate": 0.975}
doc = engine.sign_document_json("measurement", json.dumps(report), seed)
print("signed document:", doc)
engine.verify_document_json(doc)
print("verify_document_json: the document checks out")

tampered = json.loads(doc)
tampered["content"]["pass_rate"] = 0.999
try:
    engine.verify_document_json(json.dumps(tampered))
except RuntimeError as e:
    print("after changing the content:", e)
