"""Quillaveen: verification of retrieval-augmented answers into sealed evidence records.

The engine itself is the extension module ``quillaveen._engine``.
"""
