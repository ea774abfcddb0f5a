#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace qv::crypto {

// Overwrites memory with zeros in a way the compiler cannot drop.
void secure_wipe(void* p, std::size_t n);

// A fixed-size buffer of secret bytes, wiped when it goes out of scope.
template <std::size_t N>
class SecretBytes {
 public:
  SecretBytes() = default;
  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept : bytes_(other.bytes_) { secure_wipe(other.bytes_.data(), N); }
  SecretBytes& operator=(SecretBytes&& other) noexcept {
    bytes_ = other.bytes_;
    secure_wipe(other.bytes_.data(), N);
    return *this;
  }
  ~SecretBytes() { secure_wipe(bytes_.data(), N); }

  unsigned char* data() { return bytes_.data(); }
  const unsigned char* data() const { return bytes_.data(); }
  static constexpr std::size_t size() { return N; }

 private:
  std::array<unsigned char, N> bytes_{};
};

// A text that holds secret material (a signing seed in hex). Its bytes are
// wiped when it is destroyed or moved from.
class SecretText {
 public:
  SecretText() = default;
  // Takes the text over and wipes what the moved-from string still holds.
  explicit SecretText(std::string&& text) : text_(std::move(text)) { wipe(text); }
  SecretText(const SecretText&) = default;
  SecretText& operator=(const SecretText& other) {
    if (this != &other) {
      wipe();
      text_ = other.text_;
    }
    return *this;
  }
  SecretText(SecretText&& other) noexcept : text_(std::move(other.text_)) { other.wipe(); }
  SecretText& operator=(SecretText&& other) noexcept {
    if (this != &other) {
      wipe();
      text_ = std::move(other.text_);
      other.wipe();
    }
    return *this;
  }
  ~SecretText() { wipe(); }

  std::string_view view() const { return text_; }
  bool empty() const { return text_.empty(); }
  bool operator==(const SecretText&) const = default;

 private:
  // Overwrites the whole buffer (the short-string buffer included, which a
  // move leaves filled) and empties the text.
  void wipe() noexcept { wipe(text_); }
  static void wipe(std::string& text) noexcept;
  std::string text_;
};

}  // namespace qv::crypto
