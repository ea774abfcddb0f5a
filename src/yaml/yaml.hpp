#pragma once
// The YAML layer, on libyaml's event interface:
//   load_document   the events of a text's first document (events.hpp);
//   read_tree       YAML text to the untyped tree, with scalar typing, aliases,
//                   duplicate keys and the depth, alias and tag limits
//                   (tree.hpp, node.hpp);
//   read_typed<T>   YAML text, or loaded events, to a record type described by
//                   a StructTable (typed.hpp); readers of Decision and
//                   ClaimKind (vocabulary.hpp);
//   Emitter         writing YAML event by event, and write_yaml for a whole
//                   tree (emit.hpp);
//   yaml_to_json    YAML text to compact JSON text (to_json.hpp).
// Every failure is a YamlError (error.hpp): its display() is the text
// callers show, with the path and position of the node concerned.
#include "yaml/emit.hpp"
#include "yaml/error.hpp"
#include "yaml/events.hpp"
#include "yaml/node.hpp"
#include "yaml/to_json.hpp"
#include "yaml/tree.hpp"
#include "yaml/typed.hpp"
#include "yaml/vocabulary.hpp"
