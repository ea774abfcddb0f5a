#include "numeric/int128.hpp"

namespace qv::numeric {

std::string u128_to_string(u128 v) {
  // Nineteen digits at a time, so that only the 64-bit pieces are divided by ten.
  constexpr std::uint64_t kChunk = 10000000000000000000ULL;
  char buf[40];
  std::size_t n = sizeof buf;
  for (;;) {
    std::uint64_t piece = static_cast<std::uint64_t>(v % kChunk);
    v /= kChunk;
    int written = 0;
    do {
      buf[--n] = static_cast<char>('0' + piece % 10);
      piece /= 10;
      ++written;
    } while (piece != 0 || (v != 0 && written < 19));
    if (v == 0) break;
  }
  return std::string(buf + n, sizeof buf - n);
}

std::string i128_to_string(i128 v) {
  std::string s = u128_to_string(magnitude(v));
  if (v < 0) s.insert(0, 1, '-');
  return s;
}

}  // namespace qv::numeric
