#!/bin/sh
# Fails when a table in the sources is keyed by text on an unkeyed hash:
# std::hash, an unordered container of texts without the keyed hash, or a
# hand-written FNV. Such tables take text from callers; they use
# core/keyed_hash.hpp (or a structure with a logarithmic worst case).
src="$1"
found=$(grep -rnE 'std::hash<|unordered_(map|set)<std::(string|string_view)[,>]|[Ff]nv' "$src" --include='*.cpp' --include='*.hpp' |
        grep -v '^[^:]*core/keyed_hash\.hpp:')
if [ -n "$found" ]; then
  echo "tables on an unkeyed hash:"
  echo "$found"
  exit 1
fi
