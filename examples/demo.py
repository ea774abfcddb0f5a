"""Runs the engine once from Python: its version and a fresh signing seed."""
import quillaveen._engine as engine

print("engine version:", engine.engine_version())
print("fresh Ed25519 seed:", engine.keygen())
print("functions:", ", ".join(engine.__all__))
