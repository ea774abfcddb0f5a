#include "run/transcript.hpp"

#include <type_traits>
#include <utility>

#include "core/panic.hpp"
#include "crypto/digest.hpp"
#include "json/parser.hpp"
#include "json/reader.hpp"
#include "json/stream.hpp"
#include "json/writer.hpp"
#include "records/digest.hpp"

namespace qv::run {

namespace {

using json::Value;

enum class Method : std::uint8_t { None, ToolsCall, Sampling, Other };

Method method_of(std::string_view method) {
  if (method == "tools/call") return Method::ToolsCall;
  if (method == "sampling/createMessage") return Method::Sampling;
  return Method::Other;
}

core::Result<std::optional<std::string>> appended(core::Result<std::string> id) {
  if (!id) return std::unexpected(std::move(id.error()));
  return std::optional<std::string>(std::move(*id));
}

core::Result<std::string> append_tool_call(EventLog& log, std::optional<std::string> request_id, std::string name,
                                           std::string arguments_hash, std::string timestamp) {
  ToolRef tool{std::move(name), log.tool_server};
  auto id = event_log_append(log, std::nullopt, std::move(timestamp), events::ToolRequested{tool, std::move(arguments_hash)});
  if (!id) return id;
  if (request_id) {
    // A request under an id already waiting replaces the earlier one.
    log.pending.insert_or_assign(std::move(*request_id),
                                 PendingRequest{PendingRequest::Kind::Tool, *id, std::move(tool), {}});
  }
  return id;
}

// One message turned into events. `M` reads the message's members, from a
// value or from the text of a line, in the order used here:
//   request_id()        the request id text (request_id_text);
//   method()            the string "method", as a Method (None otherwise);
//   tool_name()         params' string "name", or none;
//   arguments_digest()  the digest of params."arguments" (null when absent);
//   params_digest()     the digest of "params" (null when absent);
//   has_error()         whether there is an "error" member;
//   result_is_error()   whether "result" has a boolean "isError" that is true;
//   response_digest()   the digest of "result", else "error", else null;
//   result_model()      result's string "model", or none;
//   result_digest()     the digest of "result" (null when absent).
template <class M>
core::Result<std::optional<std::string>> message_events(EventLog& log, M& message, std::string_view timestamp) {
  std::optional<std::string> request_id = message.request_id();
  const Method method = message.method();
  if (method != Method::None) {
    if (method == Method::ToolsCall) {
      std::optional<std::string> name = message.tool_name();
      if (!name) return std::unexpected(core::EngineError::invalid_input("tools/call without a name"));
      auto digest = message.arguments_digest();
      if (!digest) return std::unexpected(std::move(digest.error()));
      return appended(append_tool_call(log, std::move(request_id), std::move(*name), std::move(*digest),
                                       std::string(timestamp)));
    }
    if (method == Method::Sampling && request_id) {
      log.pending.insert_or_assign(std::move(*request_id),
                                   PendingRequest{PendingRequest::Kind::Sampling, {}, {}, message.params_digest()});
    }
    return std::optional<std::string>();
  }
  // A response: it completes the request waiting under its id, if any.
  if (!request_id) return std::optional<std::string>();
  auto waiting = log.pending.find(*request_id);
  if (waiting == log.pending.end()) return std::optional<std::string>();
  PendingRequest entry = std::move(waiting->second);
  log.pending.erase(waiting);
  if (entry.kind == PendingRequest::Kind::Tool) {
    const bool failed = message.has_error() || message.result_is_error();
    auto digest = message.response_digest();
    if (!digest) return std::unexpected(std::move(digest.error()));
    return appended(event_log_append(log, std::move(entry.event_id), std::string(timestamp),
                                     events::ToolCompleted{std::move(entry.tool), std::move(*digest),
                                                           failed ? ToolStatus::Error : ToolStatus::Ok}));
  }
  std::string model = message.result_model().value_or("unknown");
  if (!entry.params_digest) return std::unexpected(std::move(entry.params_digest.error()));
  auto output = message.result_digest();
  if (!output) return std::unexpected(std::move(output.error()));
  return appended(event_log_append(log, std::nullopt, std::string(timestamp),
                                   events::ModelInvocation{HashedRef{std::move(model), std::nullopt},
                                                           std::move(*entry.params_digest), std::move(*output)}));
}

// A message given as a value.
struct ValueMessage {
  const Value& message;

  const Value* member(std::string_view key) const { return message.find(key); }
  const Value* nested(std::string_view outer, std::string_view key) const {
    const Value* o = member(outer);
    return o != nullptr ? o->find(key) : nullptr;
  }
  static core::Result<std::string> digest(const Value* v) {
    if (v == nullptr) return records::canonical_digest(Value());
    return records::canonical_digest(*v);
  }

  std::optional<std::string> request_id() const { return request_id_text(message); }
  Method method() const {
    const Value* m = member("method");
    return m != nullptr && m->is_string() ? method_of(m->as_string()) : Method::None;
  }
  std::optional<std::string> tool_name() const {
    const Value* name = nested("params", "name");
    if (name == nullptr || !name->is_string()) return std::nullopt;
    return name->as_string();
  }
  core::Result<std::string> arguments_digest() const { return digest(nested("params", "arguments")); }
  core::Result<std::string> params_digest() const { return digest(member("params")); }
  bool has_error() const { return member("error") != nullptr; }
  bool result_is_error() const {
    const Value* is_error = nested("result", "isError");
    return is_error != nullptr && is_error->is_bool() && is_error->as_bool();
  }
  core::Result<std::string> response_digest() const {
    const Value* result = member("result");
    return digest(result != nullptr ? result : member("error"));
  }
  std::optional<std::string> result_model() const {
    const Value* model = nested("result", "model");
    if (model == nullptr || !model->is_string()) return std::nullopt;
    return model->as_string();
  }
  core::Result<std::string> result_digest() const { return digest(member("result")); }
};

// Reading again a part of a line that was read whole without error cannot
// fail; should it, that is a broken invariant.
template <class T>
T checked(json::JsonResult<T> r) {
  if (!r) core::panic("a transcript line read before no longer reads: " + r.error().display());
  if constexpr (!std::is_void_v<T>) return std::move(*r);
}

bool is_json_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The decoded text of a string value, or none for any other value.
std::optional<std::string_view> string_in(std::string_view value, std::string& scratch) {
  if (value.empty() || value.front() != '"') return std::nullopt;
  json::Parser p(value);
  p.eat();
  return checked(p.parse_string_view(scratch));
}

// The value of the last member named `name` of an object value; none when
// the value is no object or has no such member.
std::optional<std::string_view> member_in(std::string_view object, std::string_view name, std::string& scratch) {
  if (object.empty() || object.front() != '{') return std::nullopt;
  json::Parser p(object);
  p.eat();
  std::optional<std::string_view> found;
  bool first = true;
  while (checked(p.next_entry('}', first))) {
    p.eat();  // the key's opening quote
    const bool named = checked(p.parse_string_view(scratch)) == name;
    checked(p.parse_colon());
    p.peek_ws();
    const std::size_t start = p.index();
    checked(p.ignore_value());
    if (named) found = object.substr(start, p.index() - start);
  }
  return found;
}

// A message given as the members a TranscriptLine found in its text.
struct TextMessage {
  std::string_view line;
  const TranscriptLine::Message& members;
  std::string& scratch;
  json::CanonicalOut& out;

  // The member's value text: past the colon, without white space around.
  std::optional<std::string_view> member(TranscriptLine::Member m) const {
    if (!m.present()) return std::nullopt;
    std::size_t i = m.after_key;
    while (is_json_space(line[i]) || line[i] == ':') ++i;
    return line.substr(i, m.end - i);
  }
  std::optional<std::string_view> nested(TranscriptLine::Member outer, std::string_view name) const {
    const auto o = member(outer);
    return o ? member_in(*o, name, scratch) : std::nullopt;
  }
  std::optional<std::string> nested_string(TranscriptLine::Member outer, std::string_view name) const {
    const auto v = nested(outer, name);
    if (!v) return std::nullopt;
    const auto s = string_in(*v, scratch);
    if (!s) return std::nullopt;
    return std::string(*s);
  }
  // The canonical text streamed straight from the value's text. A value
  // read from text holds no non-finite float, so this cannot fail.
  core::Result<std::string> digest(std::optional<std::string_view> value) const {
    if (!value) return crypto::text_digest("null");
    out.reset();
    checked(json::stream_json(*value, out));
    return crypto::text_digest(out.text());
  }

  std::optional<std::string> request_id() const {
    const auto id = member(members.id);
    if (!id || *id == "null") return std::nullopt;
    if (const auto s = string_in(*id, scratch)) return std::string(*s);
    // A short integer is its own compact text; any other value is read and
    // written again.
    json::Parser p(*id);
    std::uint64_t magnitude = 0;
    bool negative = false;
    if (p.take_short_integer(magnitude, negative) && p.at_end()) return std::string(*id);
    return json::write_json_compact(checked(json::read_json(*id)));
  }
  Method method() const {
    const auto m = member(members.method);
    if (!m) return Method::None;
    const auto s = string_in(*m, scratch);
    return s ? method_of(*s) : Method::None;
  }
  std::optional<std::string> tool_name() const { return nested_string(members.params, "name"); }
  core::Result<std::string> arguments_digest() const { return digest(nested(members.params, "arguments")); }
  core::Result<std::string> params_digest() const { return digest(member(members.params)); }
  bool has_error() const { return members.error.present(); }
  bool result_is_error() const { return nested(members.result, "isError") == std::string_view("true"); }
  core::Result<std::string> response_digest() const {
    return digest(members.result.present() ? member(members.result) : member(members.error));
  }
  std::optional<std::string> result_model() const { return nested_string(members.result, "model"); }
  core::Result<std::string> result_digest() const { return digest(member(members.result)); }
};

// The sink that reads a line: it keeps nothing of the values but where the
// members of each message stand. Messages are the top-level object, or the
// objects directly inside a top-level array.
struct LineRecorder {
  const json::Parser& p;
  std::vector<TranscriptLine::Message>& messages;
  int depth = 0;  // containers open
  bool batch = false;
  int member_depth = -1;                       // the depth inside the open message; -1 outside one
  TranscriptLine::Member* reading = nullptr;   // the member whose value is being read

  void value_done() {
    if (depth == member_depth && reading != nullptr) {
      reading->end = p.index();
      reading = nullptr;
    }
  }
  void begin_object() {
    if (depth == 0 || (depth == 1 && batch)) {
      messages.emplace_back();
      member_depth = depth + 1;
    }
    ++depth;
  }
  void begin_array() {
    if (depth == 0) batch = true;
    ++depth;
  }
  void end_object() {
    --depth;
    if (depth + 1 == member_depth) {
      member_depth = -1;  // the message itself closed
    } else {
      value_done();
    }
  }
  void end_array() {
    --depth;
    value_done();
  }
  void key(std::string_view k) {
    if (depth != member_depth) return;
    TranscriptLine::Message& m = messages.back();
    reading = nullptr;
    if (k == "id") {
      reading = &m.id;
    } else if (k == "method") {
      reading = &m.method;
    } else if (k == "params") {
      reading = &m.params;
    } else if (k == "result") {
      reading = &m.result;
    } else if (k == "error") {
      reading = &m.error;
    } else if (k == "ts") {
      reading = &m.ts;
    }
    if (reading != nullptr) reading->after_key = p.index();
  }
  void string(std::string_view) { value_done(); }
  void unsigned_integer(std::uint64_t) { value_done(); }
  void signed_integer(std::int64_t) { value_done(); }
  void floating(double) { value_done(); }
  // A number literal need not be converted to be checked.
  void plain_number(std::string_view) { value_done(); }
  void boolean(bool) { value_done(); }
  void null() { value_done(); }
};

}  // namespace

core::Result<std::string> canonical_json_digest(json::Value value) { return records::canonical_digest(value); }

std::optional<std::string> request_id_text(const json::Value& message) {
  const Value* id = message.find("id");
  if (id == nullptr || id->is_null()) return std::nullopt;
  if (id->is_string()) return id->as_string();
  return json::write_json_compact(*id);
}

core::Result<std::string> record_tool_call(EventLog& log, std::optional<std::string> request_id, std::string name,
                                           json::Value arguments, std::string timestamp) {
  auto digest = canonical_json_digest(std::move(arguments));
  if (!digest) return std::unexpected(std::move(digest.error()));
  return append_tool_call(log, std::move(request_id), std::move(name), std::move(*digest), std::move(timestamp));
}

core::Result<std::optional<std::string>> events_from_mcp_transcript(EventLog& log, json::Value message,
                                                                    std::string_view timestamp) {
  ValueMessage m{message};
  return message_events(log, m, timestamp);
}

core::Result<void> append_events_from_value(EventLog& log, json::Value line, std::string& carried) {
  const auto message = [&](Value& m) -> core::Result<void> {
    if (!m.is_object()) return {};
    if (const Value* ts = m.find("ts"); ts != nullptr && ts->is_string()) carried = ts->as_string();
    auto appended = events_from_mcp_transcript(log, std::move(m), carried);
    if (!appended) return std::unexpected(std::move(appended.error()));
    return {};
  };
  if (!line.is_array()) return message(line);
  for (Value& m : line.as_array()) {
    if (auto done = message(m); !done) return done;
  }
  return {};
}

json::JsonResult<void> TranscriptLine::read(std::string_view line) {
  line_ = line;
  messages_.clear();
  json::Parser p(line);
  LineRecorder recorder{p, messages_};
  auto r = json::stream_value(p, recorder);
  if (r) r = p.end();
  if (!r) messages_.clear();
  return r;
}

core::Result<void> TranscriptLine::append_events(EventLog& log, std::string& carried) {
  for (const Message& members : messages_) {
    TextMessage message{line_, members, scratch_, digest_};
    if (const auto ts = message.member(members.ts)) {
      if (const auto time = string_in(*ts, scratch_)) carried.assign(*time);
    }
    auto appended = message_events(log, message, carried);
    if (!appended) return std::unexpected(std::move(appended.error()));
  }
  return {};
}

}  // namespace qv::run
