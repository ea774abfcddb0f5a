#pragma once
// The path of the node being read, kept as a stack of steps and written
// out only when an error needs it: "a.b", "list[2]", ".[0]" for an item of
// a root sequence; the root itself is empty.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::yaml {

class PathStack {
 public:
  // The key's text must outlive the step.
  void push_key(std::string_view key) { steps_.push_back(Step{key, 0, true}); }
  void push_index(std::size_t index) { steps_.push_back(Step{{}, index, false}); }
  void pop() { steps_.pop_back(); }

  std::string text() const {
    std::string out;
    for (const Step& s : steps_) {
      if (s.is_key) {
        if (!out.empty()) out += '.';
        out += s.key;
      } else {
        if (out.empty()) out += '.';
        out += '[';
        out += std::to_string(s.index);
        out += ']';
      }
    }
    return out;
  }

 private:
  struct Step {
    std::string_view key;
    std::size_t index;
    bool is_key;
  };
  std::vector<Step> steps_;
};

}  // namespace qv::yaml
