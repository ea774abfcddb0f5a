#pragma once
// Whether a phrase that declares a scale makes exceptions to it, as in
// "(In millions, except per share data)": the word "except", in any case,
// after its scale word and before the first closing parenthesis or line
// end that follows. Such a phrase leaves the scale of the rows it excepts
// unknown.
#include <cstddef>
#include <string_view>

namespace qv::numeric {

// Asked about scale words of one text at offsets that do not go back, it
// reads the text once: each search resumes where the last one stopped, and
// none goes past the terminator.
class ScaleExceptions {
 public:
  explicit ScaleExceptions(std::string_view text) : text_(text) {}
  // Whether exceptions follow a scale word that ends at `from`.
  bool follow(std::size_t from);

 private:
  std::string_view text_;
  std::size_t from_ = 0;    // the offset last asked about
  bool known_ = false;      // whether the two offsets below are for it
  std::size_t close_ = 0;   // the first ')', CR or LF at or after it; npos for none
  std::size_t except_ = 0;  // the start of the first word "except" from it to there; npos for none
};

}  // namespace qv::numeric
