#include "python/frame.hpp"

#include <algorithm>
#include <cstdio>
#include <variant>

namespace qv::python {

namespace {

// Owns one reference (a new one, as the C API returns them) and releases it
// when it goes out of scope, unless release() hands it on.
struct Ref {
  PyObject* p = nullptr;
  explicit Ref(PyObject* o = nullptr) : p(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(p); }
  PyObject* release() { return std::exchange(p, nullptr); }
  explicit operator bool() const { return p != nullptr; }
};

PyObject* new_text(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// The type's __qualname__ as UTF-8, or "?" if it cannot be read.
std::string type_qualname(PyObject* obj) {
  Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
  if (!name) {
    PyErr_Clear();
    return "?";
  }
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(name.p, &n);
  if (p == nullptr) {
    PyErr_Clear();
    return "?";
  }
  return std::string(p, static_cast<std::size_t>(n));
}

void raise_not_instance(PyObject* obj, std::string_view expected) {
  raise_text(PyExc_TypeError, "'" + type_qualname(obj) + "' object is not an instance of '" + std::string(expected) + "'");
}

// Attaches a note to an exception instance: add_note where the runtime has
// it (3.11+), else a one-item __notes__ list.
void add_note(PyObject* exc, std::string_view note) {
  Ref text(new_text(note));
  if (!text) {
    PyErr_Clear();
    return;
  }
  if (PyObject_HasAttrString(exc, "add_note")) {
    Ref r(PyObject_CallMethod(exc, "add_note", "O", text.p));
    if (!r) PyErr_Clear();
    return;
  }
  Ref list(PyList_New(0));
  if (!list || PyList_Append(list.p, text.p) != 0 || PyObject_SetAttrString(exc, "__notes__", list.p) != 0) PyErr_Clear();
}

// If the pending exception is exactly TypeError, adds the note
// "while processing '<param>'" to it; other exceptions pass unchanged.
void note_type_error(const char* param) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  if (type == PyExc_TypeError) {
    PyErr_NormalizeException(&type, &value, &tb);
    if (value != nullptr) add_note(value, std::string("while processing '") + param + "'");
  }
  PyErr_Restore(type, value, tb);
}

bool text_of(PyObject* obj, std::string_view& out) {
  if (!PyUnicode_Check(obj)) {
    raise_not_instance(obj, "str");
    return false;
  }
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(obj, &n);
  if (p == nullptr) return false;
  out = std::string_view(p, static_cast<std::size_t>(n));
  return true;
}

// A run of `count` copies of the fixed character that stands for a secret's
// characters.
PyObject* mask_run(Py_ssize_t count) {
  const std::string stars(static_cast<std::size_t>(std::max<Py_ssize_t>(count, 0)), '*');
  return new_text(stars);
}

// Replaces a pending UnicodeEncodeError raised on a secret with the same
// error over a masked copy of the text: the same length, the offending
// characters at their places and the fixed character everywhere else. Type,
// start, end, reason, encoding and str() stay as they were; the object, the
// args and the repr no longer carry the secret.
void mask_secret_in_encode_error(PyObject* secret) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  if (type == nullptr || PyErr_GivenExceptionMatches(type, PyExc_UnicodeEncodeError) == 0) {
    PyErr_Restore(type, value, tb);
    return;
  }
  PyErr_NormalizeException(&type, &value, &tb);
  Ref original(value);
  Py_XDECREF(type);
  Py_XDECREF(tb);
  Ref encoding(PyObject_GetAttrString(original.p, "encoding"));
  Ref reason(PyObject_GetAttrString(original.p, "reason"));
  Ref start_obj(PyObject_GetAttrString(original.p, "start"));
  Ref end_obj(PyObject_GetAttrString(original.p, "end"));
  if (!encoding || !reason || !start_obj || !end_obj) return;  // that error is raised instead
  const Py_ssize_t length = PyUnicode_GetLength(secret);
  const Py_ssize_t start = std::clamp<Py_ssize_t>(PyLong_AsSsize_t(start_obj.p), 0, length);
  const Py_ssize_t end = std::clamp<Py_ssize_t>(PyLong_AsSsize_t(end_obj.p), start, length);
  if (PyErr_Occurred() != nullptr) return;
  Ref before(mask_run(start));
  Ref offending(PyUnicode_Substring(secret, start, end));
  Ref after(mask_run(length - end));
  if (!before || !offending || !after) return;
  Ref head(PyUnicode_Concat(before.p, offending.p));
  Ref masked(head ? PyUnicode_Concat(head.p, after.p) : nullptr);
  if (!masked) return;
  Ref error(PyObject_CallFunction(PyExc_UnicodeEncodeError, "OOnnO", encoding.p, masked.p, start, end, reason.p));
  if (!error) return;
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.p)), error.p);
}

// The name of collections.abc.Sequence, imported once and kept.
std::string sequence_type_name() {
  static PyObject* sequence = nullptr;
  if (sequence == nullptr) {
    Ref module(PyImport_ImportModule("collections.abc"));
    if (module) sequence = PyObject_GetAttrString(module.p, "Sequence");
    if (sequence == nullptr) {
      PyErr_Clear();
      core::panic("could not import collections.abc.Sequence");
    }
  }
  Ref name(PyObject_GetAttrString(sequence, "__name__"));
  Py_ssize_t n = 0;
  const char* p = name ? PyUnicode_AsUTF8AndSize(name.p, &n) : nullptr;
  if (p == nullptr) {
    PyErr_Clear();
    core::panic("collections.abc.Sequence has no name");
  }
  return std::string(p, static_cast<std::size_t>(n));
}

// Capacity reserved from a sequence's reported length; the length is only a
// hint and may be anything a __len__ returns.
constexpr Py_ssize_t kMaxReserve = 1024;

std::string quoted_names(const std::vector<const char*>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      if (names.size() == 2) {
        out += " and ";
      } else if (i + 1 == names.size()) {
        out += ", and ";
      } else {
        out += ", ";
      }
    }
    out += "'";
    out += names[i];
    out += "'";
  }
  return out;
}

}  // namespace

void raise_text(PyObject* exc_type, std::string_view text) {
  Ref msg(new_text(text));
  if (!msg) {
    // Only a text that is not UTF-8 gets here; keep it readable.
    PyErr_Clear();
    msg.p = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
    if (!msg) return;
  }
  PyErr_SetObject(exc_type, msg.p);
}

void raise_failure(const PyFailure& failure) {
  raise_text(failure.kind == PyFailure::Kind::Runtime ? PyExc_RuntimeError : PyExc_ValueError, failure.text);
}

PyFailure to_failure(const core::EngineError& error, RuntimeFor runtime) {
  const bool failed_check = error.kind() == core::EngineError::Kind::Integrity;
  if (runtime == RuntimeFor::FailedChecks && failed_check) return runtime_error(error.display());
  return value_error(error.display());
}

PyFailure to_failure(const records::CallError& error, RuntimeFor runtime) {
  if (const auto* input = std::get_if<records::InputError>(&error)) return value_error(input->text);
  return to_failure(std::get<core::EngineError>(error), runtime);
}

void raise_cannot_convert(PyObject* obj, std::string_view target) {
  raise_text(PyExc_TypeError, "'" + type_qualname(obj) + "' object cannot be converted to '" + std::string(target) + "'");
}

PyObject* panic_exception_type() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    type = PyErr_NewExceptionWithDoc(
        "pyo3_runtime.PanicException",
        "Raised when the engine stops a call on a broken internal invariant.\n\n"
        "It derives from BaseException, so that `except Exception` does not catch it.",
        PyExc_BaseException, nullptr);
  }
  return type;
}

void raise_panic(std::string_view message) {
  std::string line(message);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  PyObject* type = panic_exception_type();
  if (type == nullptr) return;  // the creation error stays set
  raise_text(type, message);
}

bool bind_arguments(const char* function, std::initializer_list<const char*> params, PyObject* const* args,
                    Py_ssize_t nargs, PyObject* kwnames, PyObject** out) {
  const auto n = static_cast<Py_ssize_t>(params.size());
  const std::string fname = std::string(function) + "()";
  if (nargs > n) {
    raise_text(PyExc_TypeError, fname + " takes " + std::to_string(n) + " positional arguments but " +
                                    std::to_string(nargs) + (nargs == 1 ? " was" : " were") + " given");
    return false;
  }
  std::fill(out, out + n, nullptr);
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];

  const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* name = PyTuple_GetItem(kwnames, k);
    Py_ssize_t slot = -1;
    Py_ssize_t idx = 0;
    for (const char* p : params) {
      if (PyUnicode_CompareWithASCIIString(name, p) == 0) {
        slot = idx;
        break;
      }
      ++idx;
    }
    if (slot < 0) {
      Ref msg(PyUnicode_FromFormat("%s got an unexpected keyword argument '%S'", fname.c_str(), name));
      if (msg) PyErr_SetObject(PyExc_TypeError, msg.p);
      return false;
    }
    if (out[slot] != nullptr) {
      raise_text(PyExc_TypeError, fname + " got multiple values for argument '" + params.begin()[slot] + "'");
      return false;
    }
    out[slot] = args[nargs + k];
  }

  std::vector<const char*> missing;
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (out[i] == nullptr) missing.push_back(params.begin()[i]);
  }
  if (!missing.empty()) {
    raise_text(PyExc_TypeError, fname + " missing " + std::to_string(missing.size()) + " required positional " +
                                    (missing.size() == 1 ? "argument: " : "arguments: ") + quoted_names(missing));
    return false;
  }
  return true;
}

bool extract_text(PyObject* obj, const char* param, std::string_view& out, Holds holds) {
  if (text_of(obj, out)) return true;
  note_type_error(param);
  if (holds == Holds::Secret && PyUnicode_Check(obj)) mask_secret_in_encode_error(obj);
  return false;
}

bool bind_text_arguments(const char* function, std::initializer_list<const char*> params, PyObject* const* args,
                         Py_ssize_t nargs, PyObject* kwnames, std::span<std::string_view> out,
                         std::initializer_list<const char*> secrets) {
  std::vector<PyObject*> bound(params.size());
  if (!bind_arguments(function, params, args, nargs, kwnames, bound.data())) return false;
  for (std::size_t i = 0; i < params.size(); ++i) {
    const char* param = params.begin()[i];
    const bool secret = std::any_of(secrets.begin(), secrets.end(), [&](const char* s) { return std::string_view(s) == param; });
    if (!extract_text(bound[i], param, out[i], secret ? Holds::Secret : Holds::Text)) return false;
  }
  return true;
}

bool extract_text_sequence(PyObject* obj, const char* param, TextItems& out) {
  auto fail = [&] {
    note_type_error(param);
    return false;
  };
  if (PyUnicode_Check(obj)) {
    raise_text(PyExc_TypeError, "Can't extract `str` to `Vec`");
    return fail();
  }
  if (PySequence_Check(obj) == 0) {
    raise_not_instance(obj, sequence_type_name());
    return fail();
  }
  const Py_ssize_t hint = PyObject_Size(obj);
  if (hint < 0) PyErr_Clear();
  out.items_.reserve(static_cast<std::size_t>(std::clamp<Py_ssize_t>(hint, 0, kMaxReserve)));

  Ref iter(PyObject_GetIter(obj));
  if (!iter) return fail();
  while (true) {
    Ref item(PyIter_Next(iter.p));
    if (!item) {
      if (PyErr_Occurred() != nullptr) return fail();
      break;
    }
    if (!out.add(item.p, TextItems::Check::WhenTaken)) return fail();
  }
  return true;
}

bool extract_text_pieces(PyObject* obj, const char* param, TextItems& out) {
  if (out.add(obj, TextItems::Check::AsRead)) return true;
  note_type_error(param);
  return false;
}

namespace {

// str.isascii, taken from the type itself (a subclass cannot override it).
bool is_ascii(PyObject* text) {
  static PyObject* method = nullptr;
  if (method == nullptr) {
    method = PyObject_GetAttrString(reinterpret_cast<PyObject*>(&PyUnicode_Type), "isascii");
    if (method == nullptr) {
      PyErr_Clear();
      core::panic("str has no isascii");
    }
  }
  Ref result(PyObject_CallFunctionObjArgs(method, text, nullptr));
  if (!result) {
    PyErr_Clear();
    core::panic("str.isascii failed");
  }
  return result.p == Py_True;
}

// Characters encoded at a time. Short steps keep every object made along
// the way small (its memory reused from one step to the next, in cache), and
// in text that is mostly ASCII most steps hold ASCII alone, which is its own
// UTF-8 and needs no encoding.
constexpr Py_ssize_t kStepChars = 256;

// How encoding a range of a str ended.
enum class Encoded { Whole, Surrogate, Failed };

// Appends the UTF-8 form of text[from, to) to `out`, or only checks that it
// can be made when `out` is null. Surrogate at a character that cannot be
// encoded; Failed with the interpreter's error set (memory).
Encoded encode_range(PyObject* text, Py_ssize_t from, Py_ssize_t to, std::string* out) {
  for (Py_ssize_t at = from; at < to; at += kStepChars) {
    Ref step(PyUnicode_Substring(text, at, std::min(to, at + kStepChars)));
    if (!step) return Encoded::Failed;
    // Encoded into the step's own cache, freed with it.
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(step.p, &size);
    if (data == nullptr) {
      if (PyErr_ExceptionMatches(PyExc_UnicodeEncodeError) == 0) return Encoded::Failed;
      PyErr_Clear();
      return Encoded::Surrogate;
    }
    if (out != nullptr) out->append(data, static_cast<std::size_t>(size));
  }
  return Encoded::Whole;
}

// Raises the interpreter's UnicodeEncodeError for the whole text, its
// position counted in it, once a part of it failed to encode. Returns false.
bool raise_whole_text_error(PyObject* text) {
  std::string_view unused;
  if (!text_of(text, unused)) return false;
  core::panic("a str failed to encode in part only");
}

// After encode_range did not encode the whole range: the whole text's
// error for a character that cannot be encoded; any other failure (memory)
// stays set as it is. Returns false.
bool raise_encode_failure(PyObject* text, Encoded how) {
  return how == Encoded::Surrogate ? raise_whole_text_error(text) : false;
}

}  // namespace

TextItems::~TextItems() {
  for (Item& item : items_) Py_DECREF(item.text);
}

bool TextItems::add(PyObject* obj, Check check) {
  if (!PyUnicode_Check(obj)) {
    raise_not_instance(obj, "str");
    return false;
  }
  Item item;
  item.text = obj;
  if (is_ascii(obj)) {
    std::string_view view;
    if (!text_of(obj, view)) return false;
    item.whole = view;
  } else {
    item.length = PyUnicode_GetLength(obj);
    if (check == Check::WhenTaken) {
      const Encoded how = encode_range(obj, 0, item.length, nullptr);
      if (how != Encoded::Whole) return raise_encode_failure(obj, how);
      item.checked = item.length;
    }
  }
  items_.push_back(std::move(item));
  Py_INCREF(obj);
  return true;
}

bool TextItems::check_unread() {
  for (Item& item : items_) {
    if (item.whole) continue;
    if (!item.failed && item.checked < item.length) {
      const Encoded how = encode_range(item.text, item.checked, item.length, nullptr);
      if (how != Encoded::Whole) return raise_encode_failure(item.text, how);
      item.checked = item.length;
    }
    if (item.failed) return raise_whole_text_error(item.text);
  }
  return true;
}

std::optional<std::string_view> TextItems::next_piece(Item& item, Py_ssize_t& at) {
  if (item.whole) {
    if (at > 0) return std::nullopt;
    at = 1;
    return item.whole;
  }
  item.piece.clear();
  if (!item.failed && at < item.length) {
    const Py_ssize_t end = std::min(item.length, at + kPieceChars);
    const Encoded how = encode_range(item.text, at, end, &item.piece);
    if (how == Encoded::Whole) {
      item.checked = std::max(item.checked, end);
      at = end;
      return std::string_view(item.piece);
    }
    if (how == Encoded::Failed) {
      PyErr_Clear();
      throw std::bad_alloc();
    }
    // The text ends here for the call; its error is raised once the call
    // has returned (check_unread).
    item.failed = true;
  }
  std::string().swap(item.piece);  // the text is read: its buffer goes
  return std::nullopt;
}

std::vector<TextItems::Pieces> TextItems::pieces() {
  std::vector<Pieces> out;
  out.reserve(items_.size());
  for (Item& item : items_) {
    out.emplace_back([&item, at = Py_ssize_t{0}]() mutable { return next_piece(item, at); });
  }
  return out;
}

namespace {
PyObject* checked(PyObject* made) {
  if (made == nullptr) {
    PyErr_Print();
    core::panic("Python API call failed");
  }
  return made;
}
}  // namespace

PyObject* to_python(std::string_view text) { return checked(new_text(text)); }

PyObject* to_python(std::uint64_t count) { return checked(PyLong_FromUnsignedLongLong(count)); }

PyObject* to_python(const std::pair<std::string, std::vector<std::string>>& pair) {
  Ref first(to_python(pair.first));
  Ref list(checked(PyList_New(static_cast<Py_ssize_t>(pair.second.size()))));
  for (std::size_t i = 0; i < pair.second.size(); ++i) {
    PyList_SetItem(list.p, static_cast<Py_ssize_t>(i), to_python(pair.second[i]));
  }
  Ref tuple(checked(PyTuple_New(2)));
  PyTuple_SetItem(tuple.p, 0, first.release());
  PyTuple_SetItem(tuple.p, 1, list.release());
  return tuple.release();
}

}  // namespace qv::python
