#include "numeric/units.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

#include "core/panic.hpp"
#include "unicode/case.hpp"
#include "unicode/quote.hpp"

namespace qv::numeric {
namespace {

constexpr std::array<std::string_view, 12> kDimensionNames = {
    "Dimensionless", "Percent", "Currency", "Length", "Mass",   "Time",
    "Temperature",   "Energy",  "Power",    "Volume", "Area",   "Data",
};

constexpr std::array<std::string_view, 6> kCurrencyCodes = {"USD", "EUR", "GBP", "JPY", "INR", "CHF"};

// Words that match in any case, and what each stands for: a currency code,
// or "%" for a percentage.
struct CaselessWord {
  std::string_view word;  // lower case
  std::string_view meaning;
};
constexpr CaselessWord kCaselessWords[] = {
    {"%", "%"},          {"٪", "%"},          {"pct", "%"},        {"percent", "%"},    {"por ciento", "%"},
    {"$", "USD"},        {"usd", "USD"},      {"us$", "USD"},      {"dollar", "USD"},   {"dollars", "USD"},
    {"dólar", "USD"},    {"dólares", "USD"},  {"€", "EUR"},        {"eur", "EUR"},      {"euro", "EUR"},
    {"euros", "EUR"},    {"£", "GBP"},        {"gbp", "GBP"},      {"pound", "GBP"},    {"pounds", "GBP"},
    {"libra", "GBP"},    {"libras", "GBP"},   {"¥", "JPY"},        {"jpy", "JPY"},      {"yen", "JPY"},
    {"₹", "INR"},        {"inr", "INR"},      {"rupee", "INR"},    {"rupees", "INR"},   {"chf", "CHF"},
    {"franc", "CHF"},    {"francs", "CHF"},   {"franco", "CHF"},   {"francos", "CHF"},
};

// One physical unit: its words (case matters), dimension, canonical unit
// text and constants as decimal texts.
struct PhysicalRow {
  DimensionKind kind;
  std::string_view unit;
  std::string_view factor;
  std::string_view divisor;
  std::string_view offset;
  std::initializer_list<std::string_view> words;
};

using K = DimensionKind;
const PhysicalRow kPhysicalRows[] = {
    {K::Length, "m", "1", "1", "0", {"m", "metre", "meter", "metro", "metres", "meters", "metros"}},
    {K::Length, "m", "1000", "1", "0",
     {"km", "kilometre", "kilometer", "kilómetro", "kilometres", "kilometers", "kilómetros"}},
    {K::Length, "m", "1", "100", "0", {"cm"}},
    {K::Length, "m", "1", "1000", "0", {"mm"}},
    {K::Length, "m", "1609.344", "1", "0", {"mi", "mile", "miles", "milla", "millas"}},
    {K::Length, "m", "0.3048", "1", "0", {"ft", "feet", "foot"}},
    {K::Length, "m", "0.0254", "1", "0", {"inch", "inches"}},
    {K::Mass, "kg", "1", "1", "0", {"kg", "kilo", "kilos", "kilogram", "kilograms", "kilogramo", "kilogramos"}},
    {K::Mass, "kg", "1", "1000", "0", {"g", "gram", "grams", "gramo", "gramos"}},
    {K::Mass, "kg", "1", "1000000", "0", {"mg"}},
    {K::Mass, "kg", "1000", "1", "0", {"t", "tonne", "tonnes", "tonelada", "toneladas"}},
    {K::Mass, "kg", "0.45359237", "1", "0", {"lb", "lbs", "pound_mass"}},
    {K::Time, "s", "1", "1", "0", {"s", "sec", "second", "seconds", "segundo", "segundos"}},
    {K::Time, "s", "1", "1000", "0", {"ms"}},
    {K::Time, "s", "60", "1", "0", {"min", "minute", "minutes", "minuto", "minutos"}},
    {K::Time, "s", "3600", "1", "0", {"h", "hr", "hour", "hours", "hora", "horas"}},
    {K::Time, "s", "86400", "1", "0", {"day", "days", "día", "días"}},
    {K::Temperature, "K", "1", "1", "0", {"K", "kelvin"}},
    {K::Temperature, "K", "1", "1", "273.15", {"°C", "ºC", "celsius"}},
    {K::Temperature, "K", "5", "9", "2298.35", {"°F", "ºF", "fahrenheit"}},
    {K::Energy, "Wh", "1", "1", "0", {"Wh"}},
    {K::Energy, "Wh", "1000", "1", "0", {"kWh"}},
    {K::Energy, "Wh", "1000000", "1", "0", {"MWh"}},
    {K::Energy, "Wh", "1000000000", "1", "0", {"GWh"}},
    {K::Energy, "Wh", "1000000000000", "1", "0", {"TWh"}},
    {K::Energy, "Wh", "1", "3600", "0", {"J"}},
    {K::Energy, "Wh", "1000", "3600", "0", {"kJ"}},
    {K::Energy, "Wh", "1000000", "3600", "0", {"MJ"}},
    {K::Power, "W", "1", "1", "0", {"W"}},
    {K::Power, "W", "1000", "1", "0", {"kW"}},
    {K::Power, "W", "1000000", "1", "0", {"MW"}},
    {K::Power, "W", "1000000000", "1", "0", {"GW"}},
    {K::Volume, "L", "1", "1", "0", {"L", "l", "litre", "liter", "litro", "litres", "liters", "litros"}},
    {K::Volume, "L", "1", "1000", "0", {"ml", "mL"}},
    {K::Volume, "L", "100", "1", "0", {"hl"}},
    {K::Volume, "L", "1000", "1", "0", {"m3", "m³"}},
    {K::Area, "m2", "1", "1", "0", {"m2", "m²"}},
    {K::Area, "m2", "1000000", "1", "0", {"km2", "km²"}},
    {K::Area, "m2", "10000", "1", "0", {"ha", "hectare", "hectares", "hectárea", "hectáreas"}},
    {K::Data, "B", "1", "1", "0", {"byte", "bytes"}},
    {K::Data, "B", "1000", "1", "0", {"kB", "KB"}},
    {K::Data, "B", "1000000", "1", "0", {"MB"}},
    {K::Data, "B", "1000000000", "1", "0", {"GB"}},
    {K::Data, "B", "1000000000000", "1", "0", {"TB"}},
    {K::Data, "B", "1024", "1", "0", {"KiB"}},
    {K::Data, "B", "1048576", "1", "0", {"MiB"}},
    {K::Data, "B", "1073741824", "1", "0", {"GiB"}},
};

Decimal constant(std::string_view text) {
  auto d = Decimal::parse(text);
  if (!d) core::panic("factor");
  return *d;
}

// Every physical word with its unit, sorted by the word's bytes for binary
// search; built once.
struct PhysicalIndex {
  std::vector<std::pair<std::string_view, UnitInfo>> entries;
};

const PhysicalIndex& physical_index() {
  static const PhysicalIndex index = [] {
    PhysicalIndex built;
    for (const PhysicalRow& row : kPhysicalRows) {
      UnitInfo info{Dimension{row.kind, {}}, row.unit, constant(row.factor), constant(row.divisor),
                    constant(row.offset)};
      for (std::string_view w : row.words) built.entries.emplace_back(w, info);
    }
    std::sort(built.entries.begin(), built.entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return built;
  }();
  return index;
}

// The longest word of either table, in bytes: longer words cannot match.
constexpr std::size_t kLongestWordBytes = 12;

std::string lower_case(std::string_view word) {
  const bool ascii = std::all_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) return unicode::to_lowercase(word);
  std::string out(word);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

UnitInfo percent_unit() {
  UnitInfo info;
  info.dimension.kind = DimensionKind::Percent;
  info.unit = "%";
  return info;
}

}  // namespace

std::string dimension_text(const Dimension& dimension) {
  const std::string_view name = kDimensionNames[static_cast<std::size_t>(dimension.kind)];
  if (dimension.kind != DimensionKind::Currency) return std::string(name);
  return std::string(name) + "(" + unicode::debug_quote(dimension.code) + ")";
}

UnitInfo currency_unit(std::string_view code) {
  std::string_view unit = "XXX";
  for (std::string_view known : kCurrencyCodes) {
    if (known == code) unit = known;
  }
  UnitInfo info;
  info.dimension = Dimension::currency(code);
  info.unit = unit;
  return info;
}

std::optional<UnitInfo> unit_lookup(std::string_view word) {
  // Lower-casing shrinks a character at most from three bytes to one (the
  // Kelvin sign becomes "k"), so a word this long is no word of the tables.
  if (word.empty() || word.size() > 3 * kLongestWordBytes) return std::nullopt;
  const std::string lowered = lower_case(word);
  for (const CaselessWord& w : kCaselessWords) {
    if (w.word != lowered) continue;
    if (w.meaning == "%") return percent_unit();
    return currency_unit(w.meaning);
  }
  const auto& entries = physical_index().entries;
  const auto it = std::lower_bound(entries.begin(), entries.end(), word,
                                   [](const auto& e, std::string_view w) { return e.first < w; });
  if (it != entries.end() && it->first == word) return it->second;
  return std::nullopt;
}

}  // namespace qv::numeric
