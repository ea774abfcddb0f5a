#include "verifiers/year.hpp"

#include <string_view>

namespace qv::verifiers {

bool is_year_like(const numeric::Quantity& q) {
  std::string_view rest = q.text;
  int digits = 0;
  while (!rest.empty()) {
    if (rest.front() >= '0' && rest.front() <= '9') {
      ++digits;
      rest.remove_prefix(1);
    } else if (rest.front() == '(' || rest.front() == ')' || rest.front() == '-') {
      rest.remove_prefix(1);
    } else if (rest.starts_with("\u2212") || rest.starts_with("\u2013")) {
      rest.remove_prefix(3);
    } else {
      return false;
    }
  }
  if (digits != 4 || q.scale_power != 0 || q.unit.dimension.kind != numeric::DimensionKind::Dimensionless) return false;
  if (q.readings.size() != 1) return false;
  const numeric::Decimal& reading = q.readings.front();
  if (reading.scale() != 0 || reading.is_zero()) return false;
  const numeric::Decimal value = reading.abs();
  return value >= numeric::Decimal::from_int(1900) && value <= numeric::Decimal::from_int(2100);
}

}  // namespace qv::verifiers
