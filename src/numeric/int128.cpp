#include "numeric/int128.hpp"

namespace qv::numeric {

std::string u128_to_string(u128 v) {
  char buf[40];
  std::size_t n = sizeof buf;
  do {
    buf[--n] = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  return std::string(buf + n, sizeof buf - n);
}

std::string i128_to_string(i128 v) {
  std::string s = u128_to_string(magnitude(v));
  if (v < 0) s.insert(0, 1, '-');
  return s;
}

}  // namespace qv::numeric
