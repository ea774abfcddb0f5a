#pragma once
// A small figure reader for the verifier tests: "$" or "€" before digits is
// a currency, "%" after them a percentage, " million" a scale of 10^6, " km"
// a length. Without units only runs of two or more digits are figures. The
// locale "xx" has no profile.
#include <cctype>
#include <string>

#include "verifiers/figures.hpp"

namespace qv::verifiers::testing {

struct FakeValue {
  std::string digits;
  FigureUnit unit;
  int scale = 0;
  bool operator==(const FakeValue&) const = default;
};

class FakeFigures final : public FigureReader {
 public:
  bool knows_locale(std::string_view locale) const override { return locale != "xx"; }

  std::vector<Figure> read(std::string_view t, std::string_view, bool with_units) const override {
    std::vector<Figure> out;
    std::size_t i = 0;
    while (i < t.size()) {
      if (!std::isdigit(static_cast<unsigned char>(t[i]))) {
        ++i;
        continue;
      }
      Figure f;
      FakeValue v;
      f.start = i;
      while (i < t.size() && (std::isdigit(static_cast<unsigned char>(t[i])) || t[i] == '.')) v.digits += t[i++];
      f.end = i;
      const std::string_view before = t.substr(0, f.start);
      const std::string_view after = t.substr(i);
      if (with_units) {
        if (before.ends_with("$")) v.unit = {FigureDimension::Currency, "USD"};
        if (before.ends_with("€")) v.unit = {FigureDimension::Currency, "EUR"};
        if (after.starts_with("%")) v.unit = {FigureDimension::Percent, ""};
        if (after.starts_with(" km")) v.unit = {FigureDimension::Length, ""};
        if (after.starts_with(" million")) v.scale = 6;
      } else if (v.digits.size() < 2) {
        continue;
      }
      f.significant_digits = static_cast<std::uint32_t>(v.digits.size());
      f.scale_power = v.scale;
      f.unit = v.unit;
      f.year_like = v.digits.size() == 4 && v.digits >= "1900" && v.digits <= "2100" &&
                    v.unit.kind == FigureDimension::Dimensionless && v.scale == 0;
      f.quantity = v;
      out.push_back(std::move(f));
    }
    return out;
  }

  bool same_figure(const Figure& a, const Figure& b) const override {
    return std::any_cast<const FakeValue&>(a.quantity) == std::any_cast<const FakeValue&>(b.quantity);
  }

  std::optional<FigureUnit> unit_of_word(std::string_view w) const override {
    if (w == "usd" || w == "dollars" || w == "$") return FigureUnit{FigureDimension::Currency, "USD"};
    if (w == "eur" || w == "euros" || w == "€") return FigureUnit{FigureDimension::Currency, "EUR"};
    if (w == "km" || w == "kilometres" || w == "m") return FigureUnit{FigureDimension::Length, ""};
    if (w == "percent") return FigureUnit{FigureDimension::Percent, ""};
    if (w == "units") return FigureUnit{FigureDimension::Dimensionless, ""};
    return std::nullopt;
  }
};

}  // namespace qv::verifiers::testing
