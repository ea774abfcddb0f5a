#include "numeric/scale_exceptions.hpp"

#include <utility>

#include "core/panic.hpp"
#include "regex/regex.hpp"

namespace qv::numeric {
namespace {

const regex::Regex& except_regex() {
  static const regex::Regex compiled = [] {
    auto r = regex::Regex::compile("(?i)\\bexcept\\b");
    if (!r) core::panic("scale exceptions");
    return std::move(*r);
  }();
  return compiled;
}

}  // namespace

bool ScaleExceptions::follow(std::size_t from) {
  constexpr std::size_t npos = std::string_view::npos;
  // The first terminator at or after the last offset is still the first one
  // at or after a later offset it does not lie before, and so is the first
  // "except" before it (or its absence) when that does not lie before it.
  const bool same_line = known_ && from >= from_ && (close_ == npos || close_ >= from);
  if (!same_line) close_ = text_.find_first_of(")\n\r", from);
  if (!same_line || (except_ != npos && except_ < from)) {
    // Searched up to the terminator alone: it is no word character, so the
    // word ends there as it would in the whole text.
    const auto m = except_regex().find(text_.substr(0, close_ == npos ? text_.size() : close_), from);
    except_ = m ? m->start : npos;
  }
  from_ = from;
  known_ = true;
  return except_ != npos;
}

}  // namespace qv::numeric
