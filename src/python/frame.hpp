#pragma once
// The frame every module function shares: argument binding and conversion,
// result conversion, and the mapping of failures to Python exceptions.
// Nothing thrown inside a call unwinds into the interpreter.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "core/panic.hpp"
#include "records/call.hpp"

namespace qv::python {

// A failure to be raised as a Python exception with one str argument.
struct PyFailure {
  enum class Kind { Value, Runtime };
  Kind kind;
  std::string text;
};

inline PyFailure value_error(std::string text) { return {PyFailure::Kind::Value, std::move(text)}; }
inline PyFailure runtime_error(std::string text) { return {PyFailure::Kind::Runtime, std::move(text)}; }

// Raises `exc_type` with a single str argument (NUL bytes kept).
void raise_text(PyObject* exc_type, std::string_view text);
void raise_failure(const PyFailure& failure);

// TypeError "'<type>' object cannot be converted to '<target>'", for an
// object of the wrong kind where the module itself expected a list or module.
void raise_cannot_convert(PyObject* obj, std::string_view target);

// pyo3_runtime.PanicException: created on first use, never freed.
PyObject* panic_exception_type();
// Writes the message to standard error and raises PanicException with it.
void raise_panic(std::string_view message);

// Binds positional and keyword arguments to the named parameters, all of
// which are required. Returns false with a TypeError set on failure. `out`
// receives borrowed references, one per parameter.
bool bind_arguments(const char* function, std::initializer_list<const char*> params, PyObject* const* args,
                    Py_ssize_t nargs, PyObject* kwnames, PyObject** out);

// Whether an argument's text is a secret (a signing seed, or a request that
// may hold one).
enum class Holds { Text, Secret };

// The UTF-8 bytes of a str argument, as a view into the UTF-8 form the
// interpreter keeps with the str object (an ASCII str's own data; for any
// other, made once and cached there), so nothing is copied, and no copy of
// a secret is left to wipe: the view lives as long as the object. Returns
// false with the exception set: TypeError (with the note "while processing
// '<param>'") for a non-str, the interpreter's UnicodeEncodeError for a str
// with lone surrogates. For a secret, that error's object keeps only the
// offending characters, each at its place, every other character replaced
// by a fixed one, so that its args and repr do not carry the secret; its
// type, start, end, reason, encoding and str() are the interpreter's.
bool extract_text(PyObject* obj, const char* param, std::string_view& out, Holds holds = Holds::Text);

// Binds the arguments and takes each, in parameter order, as text (the
// first that fails decides). `out` has one entry per parameter, each a view
// into its argument's UTF-8 form (the caller holds the arguments for the
// whole call); the parameters named in `secrets` are taken as secrets.
bool bind_text_arguments(const char* function, std::initializer_list<const char*> params, PyObject* const* args,
                         Py_ssize_t nargs, PyObject* kwnames, std::span<std::string_view> out,
                         std::initializer_list<const char*> secrets = {});

// Long texts read without a UTF-8 copy of the whole: an ASCII str is read
// where the interpreter holds it (its UTF-8 form is its own data); any other
// str is encoded a piece (kPieceChars characters) at a time as it is read,
// into one buffer kept for the text and reused, so neither a copy nor the
// interpreter's cached UTF-8 form of the whole text is made. A str that
// cannot be encoded raises the interpreter's own UnicodeEncodeError, as a
// str argument does: an item of a sequence when it is taken, before the
// items after it; a single str as it is read, each piece encoded once, and
// whatever the call left unread is checked after it, so the error is raised
// whatever the call found. A reference to every item is held for the
// object's life.
class TextItems {
 public:
  static constexpr Py_ssize_t kPieceChars = Py_ssize_t{1} << 20;
  using Pieces = std::function<std::optional<std::string_view>()>;

  TextItems() = default;
  TextItems(const TextItems&) = delete;
  TextItems& operator=(const TextItems&) = delete;
  ~TextItems();
  // The texts, each given in pieces; they stay valid while this object does.
  // A piece stays valid until the next piece of the same text is asked for.
  std::vector<Pieces> pieces();
  std::size_t size() const { return items_.size(); }
  // Room reserved up front: bounded, whatever the sequence's length says.
  std::size_t capacity() const { return items_.capacity(); }

  // Runs `call` on the texts' pieces and returns its result, or nullopt with
  // the UnicodeEncodeError of the first text (in order) that cannot be
  // encoded; that error also stands in for anything the call throws.
  template <class F>
  auto read(F&& call) -> std::optional<std::invoke_result_t<F&, std::vector<Pieces>>> {
    std::optional<std::invoke_result_t<F&, std::vector<Pieces>>> result;
    try {
      result.emplace(call(pieces()));
    } catch (...) {
      if (!check_unread()) return std::nullopt;
      throw;
    }
    if (!check_unread()) return std::nullopt;
    return result;
  }

 private:
  friend bool extract_text_sequence(PyObject* obj, const char* param, TextItems& out);
  friend bool extract_text_pieces(PyObject* obj, const char* param, TextItems& out);
  struct Item {
    PyObject* text = nullptr;               // the str, held
    std::optional<std::string_view> whole;  // an ASCII str's own bytes
    Py_ssize_t length = 0;                  // characters, for any other str
    Py_ssize_t checked = 0;                 // characters known to encode, from the start
    bool failed = false;                    // reading met a character that cannot be encoded
    std::string piece;                      // the UTF-8 bytes of the piece being read
  };
  // Holds a str, checked now or as it is read; false with the exception set.
  enum class Check { WhenTaken, AsRead };
  bool add(PyObject* obj, Check check);
  // Checks what the call did not read; false with the first failing text's error set.
  bool check_unread();
  static std::optional<std::string_view> next_piece(Item& item, Py_ssize_t& at);
  std::vector<Item> items_;
};
// A sequence of str (not a str itself), every item taken and checked in order.
bool extract_text_sequence(PyObject* obj, const char* param, TextItems& out);
// One str argument, as one item, checked as it is read.
bool extract_text_pieces(PyObject* obj, const char* param, TextItems& out);

// Result conversions. Each returns a new reference; a constructor that fails
// is a broken invariant.
PyObject* to_python(std::string_view text);
PyObject* to_python(std::uint64_t count);
PyObject* to_python(const std::pair<std::string, std::vector<std::string>>& pair);

// Which failures a module function raises as RuntimeError: none, or the
// failed integrity checks of stored records and documents (EngineError kind
// Integrity). Every other failure is ValueError: input that cannot be read
// with its reader's text, an engine error with its display text.
enum class RuntimeFor { Nothing, FailedChecks };

PyFailure to_failure(const core::EngineError& error, RuntimeFor runtime);
PyFailure to_failure(const records::CallError& error, RuntimeFor runtime);
inline PyFailure to_failure(const PyFailure& failure, RuntimeFor) { return failure; }

// The result as a new reference (None for void), or nullptr with the
// failure raised as `runtime` says.
template <class T, class E>
PyObject* to_python_result(std::expected<T, E>&& result, RuntimeFor runtime) {
  if (!result) {
    raise_failure(to_failure(result.error(), runtime));
    return nullptr;
  }
  if constexpr (std::is_void_v<T>) {
    Py_RETURN_NONE;
  } else {
    return to_python(*result);
  }
}
// A failure the function has already mapped itself.
template <class T>
PyObject* to_python_result(std::expected<T, PyFailure>&& result) {
  return to_python_result(std::move(result), RuntimeFor::Nothing);
}

// Runs `body` and turns anything it throws into a Python exception:
// Panic and other exceptions into PanicException, exhausted memory into
// MemoryError. `body` returns a new reference, or nullptr with an error set.
template <class F>
PyObject* guarded(F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (const core::Panic& p) {
    raise_panic(p.message);
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise_panic(e.what());
  } catch (...) {
    raise_panic("unknown C++ exception");
  }
  return nullptr;
}

}  // namespace qv::python
