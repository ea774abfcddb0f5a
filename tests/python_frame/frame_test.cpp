#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "python/frame.hpp"

// The embedded interpreter keeps its own allocations until exit; under
// AddressSanitizer those are not leaks of ours.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

using namespace qv::python;

class Interpreter : public ::testing::Environment {
 public:
  void SetUp() override { Py_Initialize(); }
  void TearDown() override { Py_Finalize(); }
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Interpreter);

// Evaluates a Python expression; `setup` statements run first in the same namespace.
PyObject* eval(const std::string& expr, const std::string& setup = "") {
  PyObject* globals = PyDict_New();
  PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
  if (!setup.empty()) {
    PyObject* r = PyRun_String(setup.c_str(), Py_file_input, globals, globals);
    EXPECT_NE(r, nullptr);
    Py_XDECREF(r);
  }
  PyObject* v = PyRun_String(expr.c_str(), Py_eval_input, globals, globals);
  Py_DECREF(globals);
  EXPECT_NE(v, nullptr);
  return v;
}

std::string utf8(PyObject* o) {
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(o, &n);
  return p ? std::string(p, static_cast<std::size_t>(n)) : std::string("<not text>");
}

// The pending exception: its type's name, str(), and notes; clears it.
struct Raised {
  std::string type;
  std::string message;
  std::vector<std::string> notes;
  bool is_exception_subclass = false;
};

Raised take_error() {
  Raised out;
  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  if (type == nullptr) return out;
  PyObject* name = PyObject_GetAttrString(type, "__name__");
  PyObject* module = PyObject_GetAttrString(type, "__module__");
  out.type = utf8(module) + "." + utf8(name);
  out.is_exception_subclass = PyObject_IsSubclass(type, PyExc_Exception) == 1;
  PyObject* s = PyObject_Str(value);
  out.message = utf8(s);
  PyObject* notes = PyObject_GetAttrString(value, "__notes__");
  if (notes == nullptr) {
    PyErr_Clear();
  } else {
    for (Py_ssize_t i = 0; i < PyList_Size(notes); ++i) out.notes.push_back(utf8(PyList_GetItem(notes, i)));
  }
  Py_XDECREF(notes);
  Py_XDECREF(s);
  Py_XDECREF(name);
  Py_XDECREF(module);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(tb);
  return out;
}

TEST(Guarded, PanicBecomesPanicExceptionOutsideException) {
  EXPECT_EQ(guarded([]() -> PyObject* { qv::core::panic("poisoned lock"); }), nullptr);
  const Raised e = take_error();
  EXPECT_EQ(e.type, "pyo3_runtime.PanicException");
  EXPECT_EQ(e.message, "poisoned lock");
  EXPECT_FALSE(e.is_exception_subclass);
}

TEST(Guarded, OtherFailuresOfTheCall) {
  EXPECT_EQ(guarded([]() -> PyObject* { throw std::bad_alloc(); }), nullptr);
  EXPECT_EQ(take_error().type, "builtins.MemoryError");

  EXPECT_EQ(guarded([]() -> PyObject* { throw std::runtime_error("formatter failed"); }), nullptr);
  const Raised e = take_error();
  EXPECT_EQ(e.type, "pyo3_runtime.PanicException");
  EXPECT_EQ(e.message, "formatter failed");

  // A result that cannot be built (not UTF-8) stops the call the same way.
  EXPECT_EQ(guarded([]() -> PyObject* { return to_python(std::string_view("\xff", 1)); }), nullptr);
  EXPECT_EQ(take_error().message, "Python API call failed");
}

TEST(Failures, MapToValueAndRuntimeErrorKeepingNul) {
  raise_failure(value_error(std::string("unknown algorithm \0x", 19)));
  Raised e = take_error();
  EXPECT_EQ(e.type, "builtins.ValueError");
  EXPECT_EQ(e.message, std::string("unknown algorithm \0x", 19));
  raise_failure(runtime_error("integrity error: x"));
  EXPECT_EQ(take_error().type, "builtins.RuntimeError");
}

// Calls bind_arguments with positional values and keyword names; values are ints.
std::string bind_error(std::initializer_list<const char*> params, int npos, std::vector<std::string> keywords) {
  std::vector<PyObject*> args;
  for (int i = 0; i < npos + static_cast<int>(keywords.size()); ++i) args.push_back(PyLong_FromLong(i));
  PyObject* kwnames = nullptr;
  if (!keywords.empty()) {
    kwnames = PyTuple_New(static_cast<Py_ssize_t>(keywords.size()));
    for (std::size_t i = 0; i < keywords.size(); ++i)
      PyTuple_SetItem(kwnames, static_cast<Py_ssize_t>(i), PyUnicode_FromString(keywords[i].c_str()));
  }
  std::vector<PyObject*> out(params.size());
  const bool ok = bind_arguments("f", params, args.data(), npos, kwnames, out.data());
  for (PyObject* a : args) Py_DECREF(a);
  Py_XDECREF(kwnames);
  if (ok) return "ok";
  const Raised e = take_error();
  EXPECT_EQ(e.type, "builtins.TypeError");
  EXPECT_TRUE(e.notes.empty());
  return e.message;
}

TEST(Binding, ErrorTexts) {
  EXPECT_EQ(bind_error({"a"}, 1, {}), "ok");
  EXPECT_EQ(bind_error({"a", "b"}, 1, {"b"}), "ok");
  EXPECT_EQ(bind_error({"a"}, 2, {}), "f() takes 1 positional arguments but 2 were given");
  // Too many positionals is reported before any keyword is looked at.
  EXPECT_EQ(bind_error({"a"}, 3, {"zz"}), "f() takes 1 positional arguments but 3 were given");
  EXPECT_EQ(bind_error({"a", "b"}, 1, {"a"}), "f() got multiple values for argument 'a'");
  EXPECT_EQ(bind_error({"a", "b"}, 0, {"c", "a"}), "f() got an unexpected keyword argument 'c'");
  EXPECT_EQ(bind_error({"a"}, 0, {}), "f() missing 1 required positional argument: 'a'");
  EXPECT_EQ(bind_error({"a", "b"}, 0, {}), "f() missing 2 required positional arguments: 'a' and 'b'");
  EXPECT_EQ(bind_error({"kind", "content_json", "seed_hex"}, 0, {}),
            "f() missing 3 required positional arguments: 'kind', 'content_json', and 'seed_hex'");
  EXPECT_EQ(bind_error({"a", "b", "c", "d"}, 1, {"c"}), "f() missing 2 required positional arguments: 'b' and 'd'");
}

TEST(Extraction, TextArguments) {
  std::string_view out;
  PyObject* sub = eval("S('a\\x00b')", "class S(str):\n  def __str__(self): return 'other'\n");
  ASSERT_TRUE(extract_text(sub, "p", out));
  EXPECT_EQ(out, std::string("a\0b", 3));
  Py_DECREF(sub);

  for (const char* expr : {"b'{}'", "None", "12"}) {
    PyObject* v = eval(expr);
    EXPECT_FALSE(extract_text(v, "request_json", out));
    const Raised e = take_error();
    EXPECT_EQ(e.type, "builtins.TypeError");
    const std::string type = std::string(expr) == "None" ? "NoneType" : std::string(expr) == "12" ? "int" : "bytes";
    EXPECT_EQ(e.message, "'" + type + "' object is not an instance of 'str'");
    EXPECT_EQ(e.notes, std::vector<std::string>{"while processing 'request_json'"});
    Py_DECREF(v);
  }

  PyObject* surrogate = eval("'\\ud800'");
  EXPECT_FALSE(extract_text(surrogate, "p", out));
  const Raised e = take_error();
  EXPECT_EQ(e.type, "builtins.UnicodeEncodeError");
  EXPECT_TRUE(e.notes.empty());
  Py_DECREF(surrogate);
}

Raised sequence_error(const std::string& expr, const std::string& setup = "") {
  TextItems out;
  PyObject* v = eval(expr, setup);
  EXPECT_FALSE(extract_text_sequence(v, "chains", out));
  Py_DECREF(v);
  return take_error();
}

TEST(Extraction, Sequences) {
  {
    // The items outlive the sequence, since they are held. An ASCII str is
    // read where it lies (one str given twice is one buffer); any other is
    // encoded a piece at a time, and pieces join to the whole text.
    TextItems out;
    PyObject* ok = eval("(lambda s: [s, 'b\\x00', s, 'x\\xe9\\u20ac' * (2**20 + 3), ''])('a' * 3)");
    ASSERT_TRUE(extract_text_sequence(ok, "chains", out));
    Py_DECREF(ok);
    std::vector<std::string> texts;
    std::vector<std::size_t> counts;
    std::vector<const char*> first;
    for (auto& pieces : out.pieces()) {
      texts.emplace_back();
      counts.push_back(0);
      first.push_back(nullptr);
      while (const auto piece = pieces()) {
        texts.back() += *piece;
        if (counts.back()++ == 0) first.back() = piece->data();
      }
    }
    std::string long_text;
    for (int i = 0; i < (1 << 20) + 3; ++i) long_text += "x\xC3\xA9\xE2\x82\xAC";
    EXPECT_EQ(texts, (std::vector<std::string>{"aaa", std::string("b\0", 2), "aaa", long_text, ""}));
    EXPECT_EQ(counts, (std::vector<std::size_t>{1, 1, 1, 4, 1}));
    EXPECT_EQ(first[0], first[2]);
  }
  {
    // A str that cannot be encoded fails when taken, before the items after
    // it, with the error of the whole text (its position counted in it).
    TextItems out;
    PyObject* bad = eval("['ok', 'x' * (2**20 + 5) + '\\ud800', 5]");
    EXPECT_FALSE(extract_text_sequence(bad, "chains", out));
    Py_DECREF(bad);
    const Raised e = take_error();
    EXPECT_EQ(e.type, "builtins.UnicodeEncodeError");
    EXPECT_EQ(e.message, "'utf-8' codec can't encode character '\\ud800' in position 1048581: surrogates not allowed");
    EXPECT_TRUE(e.notes.empty());
  }
  TextItems out;
  PyObject* empty_bytes = eval("b''");
  ASSERT_TRUE(extract_text_sequence(empty_bytes, "chains", out));
  EXPECT_EQ(out.size(), 0u);
  Py_DECREF(empty_bytes);

  const std::vector<std::string> note = {"while processing 'chains'"};
  Raised e = sequence_error("'abc'");
  EXPECT_EQ(e.message, "Can't extract `str` to `Vec`");
  EXPECT_EQ(e.notes, note);
  e = sequence_error("{}");
  EXPECT_EQ(e.message, "'dict' object is not an instance of 'Sequence'");
  EXPECT_EQ(e.notes, note);
  e = sequence_error("['a', 3]");
  EXPECT_EQ(e.message, "'int' object is not an instance of 'str'");
  EXPECT_EQ(e.notes, note);
  e = sequence_error("b'a'");
  EXPECT_EQ(e.message, "'int' object is not an instance of 'str'");

  // An iteration that raises: a TypeError gets the note, other errors pass unchanged.
  const std::string bad_iter =
      "class Q:\n"
      "  def __init__(self, exc): self.exc = exc\n"
      "  def __getitem__(self, i):\n"
      "    if i == 1: raise self.exc('boom')\n"
      "    return 'x'\n";
  e = sequence_error("Q(TypeError)", bad_iter);
  EXPECT_EQ(e.type, "builtins.TypeError");
  EXPECT_EQ(e.notes, note);
  e = sequence_error("Q(KeyError)", bad_iter);
  EXPECT_EQ(e.type, "builtins.KeyError");
  EXPECT_TRUE(e.notes.empty());
}

// A single str read through TextItems::read by a call that takes at most
// `take` pieces (all when negative) and then returns their count, or throws.
struct SingleRead {
  std::optional<int> result;
  std::string joined;  // the pieces the call was given, joined; "<panic>" when the panic passed on
  Raised error;
};

SingleRead read_single(const std::string& expr, int take, bool panics = false) {
  SingleRead out;
  TextItems items;
  PyObject* text = eval(expr);
  EXPECT_TRUE(extract_text_pieces(text, "jsonl", items));
  Py_DECREF(text);
  const auto call = [&](const std::vector<TextItems::Pieces>& pieces) {
    int count = 0;
    while (take < 0 || count < take) {
      const auto piece = pieces.at(0)();
      if (!piece) break;
      out.joined += *piece;
      ++count;
    }
    if (panics) qv::core::panic("stopped");
    return count;
  };
  try {
    out.result = items.read(call);
  } catch (const qv::core::Panic&) {
    out.joined += "<panic>";
  }
  if (!out.result) out.error = take_error();
  return out;
}

std::string encoded(const std::string& expr) {
  PyObject* text = eval(expr);
  std::string out = utf8(text);
  Py_DECREF(text);
  return out;
}

TEST(Extraction, SingleTextCheckedAsRead) {
  // Steps of ASCII alone and steps beyond it, characters of every width at
  // the steps' edges, and a piece's end: the pieces join to the UTF-8 text.
  const std::string mixed =
      "'a' * 255 + '\\xe9' + 'b' * 256 + '\\u20ac' + 'c' * 250 + '\\U0001f600' * 3 + 'd' * (2**20) + '\\xe9z'";
  SingleRead r = read_single(mixed, -1);
  EXPECT_EQ(r.result, std::optional<int>(2));
  EXPECT_EQ(r.joined, encoded(mixed));

  // A text that cannot be encoded raises the interpreter's error of the
  // whole text, whether the call met the character, stopped before it, read
  // nothing or stopped on a broken invariant; the call is given only the
  // pieces before the one that holds it.
  const std::string message = "'utf-8' codec can't encode character '\\ud800' in position 1048586: surrogates not allowed";
  const std::string late = "'\\xe9' * (2**20 + 10) + '\\ud800' + 'x'";
  struct Case {
    int take;
    bool panics;
    std::size_t bytes_given;
  };
  for (const Case c : {Case{-1, false, 2u << 20}, Case{1, false, 2u << 20}, Case{0, false, 0}, Case{0, true, 0}}) {
    r = read_single(late, c.take, c.panics);
    EXPECT_FALSE(r.result) << c.take;
    EXPECT_EQ(r.error.type, "builtins.UnicodeEncodeError") << c.take;
    EXPECT_EQ(r.error.message, message) << c.take;
    EXPECT_EQ(r.joined.size(), c.bytes_given) << c.take;
  }
  r = read_single("'\\ud800' + '\\xe9' * 5", -1);
  EXPECT_EQ(r.error.message,
            "'utf-8' codec can't encode character '\\ud800' in position 0: surrogates not allowed");
  EXPECT_EQ(r.joined, "");

  // On a text that encodes, what the call throws passes on, and a call that
  // stops early is answered as it is.
  r = read_single("'\\xe9' * 10", 0, true);
  EXPECT_EQ(r.joined, "<panic>");
  EXPECT_EQ(r.error.type, "");
  r = read_single(mixed, 1);
  EXPECT_EQ(r.result, std::optional<int>(1));
  EXPECT_EQ(r.joined, encoded(mixed).substr(0, r.joined.size()));
}

TEST(Extraction, LengthIsOnlyAHint) {
  // A __len__ far beyond memory, or one that raises, must not matter.
  const std::string setup =
      "class Huge:\n"
      "  def __len__(self): return 2**62\n"
      "  def __getitem__(self, i):\n"
      "    if i < 2: return 'r'\n"
      "    raise IndexError\n"
      "  def __iter__(self): return iter(['r', 'r'])\n"
      "class Broken(Huge):\n"
      "  def __len__(self): raise RuntimeError('no length')\n";
  for (const char* expr : {"Huge()", "Broken()"}) {
    TextItems out;
    PyObject* v = eval(expr, setup);
    ASSERT_TRUE(extract_text_sequence(v, "chains", out)) << expr;
    EXPECT_EQ(out.size(), 2u);
    EXPECT_LE(out.capacity(), 1024u);
    EXPECT_EQ(PyErr_Occurred(), nullptr);
    Py_DECREF(v);
  }
}

TEST(Results, LintPairAndCount) {
  PyObject* t = to_python(std::pair<std::string, std::vector<std::string>>{"sha256:x", {"a", "b"}});
  PyObject* r = PyObject_Repr(t);
  EXPECT_EQ(utf8(r), "('sha256:x', ['a', 'b'])");
  Py_DECREF(r);
  Py_DECREF(t);
  PyObject* n = to_python(std::uint64_t{18446744073709551615ull});
  r = PyObject_Repr(n);
  EXPECT_EQ(utf8(r), "18446744073709551615");
  Py_DECREF(r);
  Py_DECREF(n);
}

}  // namespace
