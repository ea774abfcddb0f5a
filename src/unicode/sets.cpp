#include "unicode/sets.hpp"

#include <unicode/uchar.h>
#include <unicode/uniset.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "core/keyed_hash.hpp"

namespace qv::unicode {

// ---------------------------------------------------------------- range sets

void canonicalize(RangeSet& set) {
  if (set.empty()) return;
  std::sort(set.begin(), set.end(), [](const CodePointRange& a, const CodePointRange& b) {
    return a.lo < b.lo || (a.lo == b.lo && a.hi < b.hi);
  });
  std::size_t out = 0;
  for (std::size_t i = 1; i < set.size(); ++i) {
    CodePointRange& last = set[out];
    const CodePointRange& next = set[i];
    if (static_cast<std::uint64_t>(next.lo) <= static_cast<std::uint64_t>(last.hi) + 1) {
      last.hi = std::max(last.hi, next.hi);
    } else {
      set[++out] = next;
    }
  }
  set.resize(out + 1);
}

RangeSet set_union(const RangeSet& a, const RangeSet& b) {
  RangeSet out;
  out.reserve(a.size() + b.size());
  out.insert(out.end(), a.begin(), a.end());
  out.insert(out.end(), b.begin(), b.end());
  canonicalize(out);
  return out;
}

RangeSet set_intersection(const RangeSet& a, const RangeSet& b) {
  RangeSet out;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t lo = std::max(a[i].lo, b[j].lo);
    char32_t hi = std::min(a[i].hi, b[j].hi);
    if (lo <= hi) out.push_back({lo, hi});
    if (a[i].hi < b[j].hi) {
      ++i;
    } else {
      ++j;
    }
  }
  return out;
}

RangeSet set_difference(const RangeSet& a, const RangeSet& b) {
  RangeSet out;
  std::size_t j = 0;
  for (CodePointRange r : a) {
    std::uint64_t lo = r.lo;
    const std::uint64_t hi = r.hi;
    while (j < b.size() && b[j].hi < lo) ++j;
    std::size_t k = j;
    while (k < b.size() && b[k].lo <= hi && lo <= hi) {
      if (b[k].lo > lo) out.push_back({static_cast<char32_t>(lo), static_cast<char32_t>(b[k].lo - 1)});
      lo = static_cast<std::uint64_t>(b[k].hi) + 1;
      ++k;
    }
    if (lo <= hi) out.push_back({static_cast<char32_t>(lo), static_cast<char32_t>(hi)});
  }
  return out;
}

RangeSet set_symmetric_difference(const RangeSet& a, const RangeSet& b) {
  return set_difference(set_union(a, b), set_intersection(a, b));
}

RangeSet set_complement(const RangeSet& a, char32_t max) {
  RangeSet all;
  if (max > 0xDFFF) {
    all = {{0, 0xD7FF}, {0xE000, max}};
  } else {
    all = {{0, max}};
  }
  return set_difference(all, a);
}

bool set_contains(const RangeSet& a, char32_t c) {
  auto it = std::upper_bound(a.begin(), a.end(), c, [](char32_t v, const CodePointRange& r) { return v < r.lo; });
  if (it == a.begin()) return false;
  --it;
  return c <= it->hi;
}

std::uint64_t set_size(const RangeSet& a) {
  std::uint64_t n = 0;
  for (CodePointRange r : a) n += static_cast<std::uint64_t>(r.hi) - r.lo + 1;
  return n;
}

namespace {

RangeSet from_icu(const icu::UnicodeSet& s) {
  RangeSet out;
  const int32_t n = s.getRangeCount();
  out.reserve(static_cast<std::size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    out.push_back({static_cast<char32_t>(s.getRangeStart(i)), static_cast<char32_t>(s.getRangeEnd(i))});
  }
  // Surrogates are not scalar values.
  return set_difference(out, RangeSet{{0xD800, 0xDFFF}});
}

RangeSet int_property_set(UProperty prop, int32_t value) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeSet s;
  s.applyIntPropertyValue(prop, value, status);
  if (U_FAILURE(status)) return {};
  return from_icu(s);
}

// ------------------------------------------------------------ case folding

struct FoldTable {
  // Code points that share their simple fold with another, sorted, each with
  // the index of its orbit.
  std::vector<std::pair<char32_t, std::uint32_t>> members;
  std::vector<std::vector<char32_t>> orbits;
};

const FoldTable& fold_table() {
  static const FoldTable table = [] {
    std::unordered_map<char32_t, std::vector<char32_t>> by_fold;
    for (char32_t c = 0; c <= kMaxCodePoint; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      const auto f = static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
      if (f != c || by_fold.count(c) != 0) by_fold[f].push_back(c);
    }
    FoldTable t;
    for (auto& [fold, list] : by_fold) {
      if (std::find(list.begin(), list.end(), fold) == list.end()) list.push_back(fold);
      if (list.size() < 2) continue;
      std::sort(list.begin(), list.end());
      const auto id = static_cast<std::uint32_t>(t.orbits.size());
      for (char32_t c : list) t.members.emplace_back(c, id);
      t.orbits.push_back(list);
    }
    std::sort(t.members.begin(), t.members.end());
    return t;
  }();
  return table;
}

}  // namespace

RangeSet simple_case_fold_closure(const RangeSet& a) {
  const FoldTable& t = fold_table();
  RangeSet out = a;
  for (CodePointRange r : a) {
    auto it = std::lower_bound(t.members.begin(), t.members.end(), std::make_pair(r.lo, std::uint32_t{0}));
    for (; it != t.members.end() && it->first <= r.hi; ++it) {
      for (char32_t c : t.orbits[it->second]) out.push_back({c, c});
    }
  }
  canonicalize(out);
  return out;
}

bool has_simple_case_fold_partner(char32_t c) {
  const FoldTable& t = fold_table();
  auto it = std::lower_bound(t.members.begin(), t.members.end(), std::make_pair(c, std::uint32_t{0}));
  return it != t.members.end() && it->first == c;
}

// ------------------------------------------------------------ Perl classes

const RangeSet& perl_digit() {
  static const RangeSet s = int_property_set(UCHAR_GENERAL_CATEGORY_MASK, U_GC_ND_MASK);
  return s;
}

const RangeSet& perl_space() {
  static const RangeSet s = int_property_set(UCHAR_WHITE_SPACE, 1);
  return s;
}

const RangeSet& perl_word() {
  static const RangeSet s = [] {
    RangeSet w = int_property_set(UCHAR_ALPHABETIC, 1);
    w = set_union(w, int_property_set(UCHAR_GENERAL_CATEGORY_MASK, U_GC_M_MASK));
    w = set_union(w, perl_digit());
    w = set_union(w, int_property_set(UCHAR_GENERAL_CATEGORY_MASK, U_GC_PC_MASK));
    w = set_union(w, int_property_set(UCHAR_JOIN_CONTROL, 1));
    return w;
  }();
  return s;
}

bool is_alphabetic_code_point(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC) != 0; }

bool is_numeric_code_point(char32_t c) { return (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_N_MASK) != 0; }

// ------------------------------------------------------ property name lookup

namespace {

// Loose matching of property names and values: a leading "is" is dropped,
// as are spaces, '_' and '-' and every non-ASCII byte; ASCII letters are
// lower-cased. "isc" stays as it is: it names the general category Other.
std::string normalize_name(std::string_view in) {
  std::size_t start = 0;
  bool starts_with_is = false;
  if (in.size() >= 2 && (in[0] == 'i' || in[0] == 'I') && (in[1] == 's' || in[1] == 'S')) {
    starts_with_is = true;
    start = 2;
  }
  std::string out;
  for (std::size_t i = start; i < in.size(); ++i) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b == ' ' || b == '_' || b == '-') continue;
    if (b >= 'A' && b <= 'Z') {
      out.push_back(static_cast<char>(b + ('a' - 'A')));
    } else if (b <= 0x7F) {
      out.push_back(static_cast<char>(b));
    }
  }
  if (starts_with_is && out == "c") out = "isc";
  return out;
}

enum class PropKind { kBinary, kGeneralCategory, kScript, kScriptExtensions, kAge, kWordBreak, kSentenceBreak, kGraphemeBreak, kOther };

struct PropInfo {
  PropKind kind;
  int icu_prop;  // the ICU property of a binary property, or -1
  bool supported_binary;
};

// Binary properties the pattern syntax offers, by their long names.
constexpr std::string_view kBinaryProperties[] = {
    "ASCII_Hex_Digit", "Alphabetic", "Bidi_Control", "Bidi_Mirrored", "Case_Ignorable", "Cased",
    "Changes_When_Casefolded", "Changes_When_Casemapped", "Changes_When_Lowercased", "Changes_When_Titlecased",
    "Changes_When_Uppercased", "Dash", "Default_Ignorable_Code_Point", "Deprecated", "Diacritic", "Emoji",
    "Emoji_Component", "Emoji_Modifier", "Emoji_Modifier_Base", "Emoji_Presentation", "Extended_Pictographic",
    "Extender", "Grapheme_Base", "Grapheme_Extend", "Hex_Digit", "IDS_Binary_Operator", "IDS_Trinary_Operator",
    "IDS_Unary_Operator", "ID_Compat_Math_Continue", "ID_Compat_Math_Start", "ID_Continue", "ID_Start",
    "Ideographic", "Join_Control", "Logical_Order_Exception", "Lowercase", "Math", "Modifier_Combining_Mark",
    "Noncharacter_Code_Point", "Pattern_Syntax", "Pattern_White_Space", "Prepended_Concatenation_Mark",
    "Quotation_Mark", "Radical", "Regional_Indicator", "Sentence_Terminal", "Soft_Dotted", "Terminal_Punctuation",
    "Unified_Ideograph", "Uppercase", "Variation_Selector", "White_Space", "XID_Continue", "XID_Start"};

// Character database properties that ICU does not carry (or carries under
// names of its own); they are known names without classes.
constexpr std::string_view kExtraPropertyNames[] = {
    "Indic_Conjunct_Break", "InCB", "ID_Compat_Math_Continue", "ID_Compat_Math_Start", "IDS_Unary_Operator",
    "IDSU", "Modifier_Combining_Mark", "MCM", "Name", "na", "Name_Alias", "Jamo_Short_Name", "JSN",
    "Decomposition_Mapping", "dm", "Other_Alphabetic", "OAlpha", "Other_Default_Ignorable_Code_Point", "ODI",
    "Other_Grapheme_Extend", "OGr_Ext", "Other_ID_Continue", "OIDC", "Other_ID_Start", "OIDS", "Other_Lowercase",
    "OLower", "Other_Math", "OMath", "Other_Uppercase", "OUpper", "Grapheme_Link", "Gr_Link", "Hyphen",
    "Expands_On_NFC", "XO_NFC", "Expands_On_NFD", "XO_NFD", "Expands_On_NFKC", "XO_NFKC", "Expands_On_NFKD",
    "XO_NFKD", "FC_NFKC_Closure", "FC_NFKC", "NFKC_Simple_Casefold", "NFKC_SCF", "Equivalent_Unified_Ideograph",
    "EqUIdeo", "kAccountingNumeric", "cjkAccountingNumeric", "kOtherNumeric", "cjkOtherNumeric",
    "kPrimaryNumeric", "cjkPrimaryNumeric", "kCompatibilityVariant", "cjkCompatibilityVariant", "kIICore",
    "cjkIICore", "kRSUnicode", "cjkRSUnicode", "Unicode_Radical_Stroke", "URS", "kTotalStrokes",
    "kSimplifiedVariant", "kTraditionalVariant", "kMandarin", "kUnihanCore2020", "kEH_Cat", "kEH_Desc", "kEH_HG",
    "kEH_IFAO", "kEH_JSesh"};

// ICU's own properties, unknown to the character database.
constexpr std::string_view kIcuOnlyProperties[] = {
    "NFD_Inert", "NFKD_Inert", "NFC_Inert", "NFKC_Inert", "Segment_Starter", "Case_Sensitive",
    "Lead_Canonical_Combining_Class", "Trail_Canonical_Combining_Class", "General_Category_Mask",
    "Basic_Emoji", "Emoji_Keycap_Sequence", "RGI_Emoji_Modifier_Sequence", "RGI_Emoji_Flag_Sequence",
    "RGI_Emoji_Tag_Sequence", "RGI_Emoji_ZWJ_Sequence", "RGI_Emoji", "Identifier_Type"};

// Property and value names; looked up with names from callers' patterns, so
// on the keyed hash like every table a caller's text reaches.
struct Tables {
  core::TextMap<PropInfo> properties;
  core::TextMap<std::string> gencat;   // normalized alias -> long name
  core::TextMap<std::uint32_t> gencat_mask;  // long name -> mask
  core::TextMap<int> script;            // normalized alias -> ICU code, -1 for new ones
  core::TextMap<int> word_break, sentence_break, grapheme_break;
  core::TextMap<int> age;  // normalized alias -> index into kAges
};

struct AgeName {
  const char* name;
  std::uint8_t major, minor;
};
constexpr std::array<AgeName, 27> kAges = {{
    {"1.1", 1, 1},   {"2.0", 2, 0},   {"2.1", 2, 1},   {"3.0", 3, 0},   {"3.1", 3, 1},   {"3.2", 3, 2},
    {"4.0", 4, 0},   {"4.1", 4, 1},   {"5.0", 5, 0},   {"5.1", 5, 1},   {"5.2", 5, 2},   {"6.0", 6, 0},
    {"6.1", 6, 1},   {"6.2", 6, 2},   {"6.3", 6, 3},   {"7.0", 7, 0},   {"8.0", 8, 0},   {"9.0", 9, 0},
    {"10.0", 10, 0}, {"11.0", 11, 0}, {"12.0", 12, 0}, {"12.1", 12, 1}, {"13.0", 13, 0}, {"14.0", 14, 0},
    {"15.0", 15, 0}, {"15.1", 15, 1}, {"16.0", 16, 0},
}};

// Scripts of the character database newer than the ICU data: known names
// whose classes are empty here.
constexpr std::string_view kNewScripts[] = {"Garay", "Gara", "Gurung_Khema", "Gukh", "Kirat_Rai", "Krai",
                                                          "Ol_Onal", "Onao", "Sunuwar", "Sunu", "Todhri", "Todr",
                                                          "Tulu_Tigalari", "Tutg"};

void add_value_names(core::TextMap<int>& map, UProperty prop) {
  const int32_t max = u_getIntPropertyMaxValue(prop);
  for (int32_t v = u_getIntPropertyMinValue(prop); v <= max; ++v) {
    for (int choice = 0; choice < 4; ++choice) {
      const char* n = u_getPropertyValueName(prop, v, static_cast<UPropertyNameChoice>(choice));
      if (n != nullptr) map.emplace(normalize_name(n), v);
    }
  }
}

const Tables& tables() {
  static const Tables t = [] {
    Tables t;
    auto is_listed = [](auto& list, std::string_view long_name) {
      return std::find(std::begin(list), std::end(list), long_name) != std::end(list);
    };
    auto add_property = [&](int p, PropKind kind) {
      const char* long_name = u_getPropertyName(static_cast<UProperty>(p), U_LONG_PROPERTY_NAME);
      if (long_name == nullptr || is_listed(kIcuOnlyProperties, long_name)) return;
      const bool binary = kind == PropKind::kBinary && is_listed(kBinaryProperties, long_name);
      for (int choice = 0; choice < 4; ++choice) {
        const char* n = u_getPropertyName(static_cast<UProperty>(p), static_cast<UPropertyNameChoice>(choice));
        if (n != nullptr) t.properties.emplace(normalize_name(n), PropInfo{kind, p, binary});
      }
    };
    for (int p = UCHAR_BINARY_START; p < UCHAR_BINARY_LIMIT; ++p) add_property(p, PropKind::kBinary);
    for (int p = UCHAR_INT_START; p < UCHAR_INT_LIMIT; ++p) {
      PropKind kind = PropKind::kOther;
      if (p == UCHAR_GENERAL_CATEGORY) kind = PropKind::kGeneralCategory;
      if (p == UCHAR_SCRIPT) kind = PropKind::kScript;
      if (p == UCHAR_WORD_BREAK) kind = PropKind::kWordBreak;
      if (p == UCHAR_SENTENCE_BREAK) kind = PropKind::kSentenceBreak;
      if (p == UCHAR_GRAPHEME_CLUSTER_BREAK) kind = PropKind::kGraphemeBreak;
      add_property(p, kind);
    }
    for (int p = UCHAR_DOUBLE_START; p < UCHAR_DOUBLE_LIMIT; ++p) add_property(p, PropKind::kOther);
    for (int p = UCHAR_STRING_START; p < UCHAR_STRING_LIMIT; ++p) {
      add_property(p, p == UCHAR_AGE ? PropKind::kAge : PropKind::kOther);
    }
    for (int p = UCHAR_OTHER_PROPERTY_START; p < UCHAR_OTHER_PROPERTY_LIMIT; ++p) {
      add_property(p, p == UCHAR_SCRIPT_EXTENSIONS ? PropKind::kScriptExtensions : PropKind::kOther);
    }
    for (std::string_view n : kExtraPropertyNames) {
      PropKind kind = PropKind::kOther;
      bool binary = false;
      for (std::string_view b : kBinaryProperties) {
        if (normalize_name(b) == normalize_name(n)) binary = true;
      }
      if (n == "IDSU") binary = true;
      if (n == "MCM") binary = true;
      if (binary) kind = PropKind::kBinary;
      t.properties.emplace(normalize_name(n), PropInfo{kind, -1, binary});
    }

    // General categories, with their groupings.
    std::vector<std::uint32_t> masks;
    for (int i = 0; i < U_CHAR_CATEGORY_COUNT; ++i) masks.push_back(U_MASK(i));
    for (std::uint32_t m : {U_GC_L_MASK, U_GC_LC_MASK, U_GC_M_MASK, U_GC_N_MASK, U_GC_P_MASK, U_GC_S_MASK,
                            U_GC_Z_MASK, U_GC_C_MASK}) {
      masks.push_back(m);
    }
    for (std::uint32_t m : masks) {
      const char* long_name =
          u_getPropertyValueName(UCHAR_GENERAL_CATEGORY_MASK, static_cast<int32_t>(m), U_LONG_PROPERTY_NAME);
      if (long_name == nullptr) continue;
      t.gencat_mask.emplace(long_name, m);
      for (int choice = 0; choice < 4; ++choice) {
        const char* n = u_getPropertyValueName(UCHAR_GENERAL_CATEGORY_MASK, static_cast<int32_t>(m),
                                               static_cast<UPropertyNameChoice>(choice));
        if (n != nullptr) t.gencat.emplace(normalize_name(n), long_name);
      }
    }
    t.gencat.erase("l&");

    // Scripts: those with characters, plus Unknown and Katakana_Or_Hiragana,
    // which are names without a class.
    const int32_t max_script = u_getIntPropertyMaxValue(UCHAR_SCRIPT);
    for (int32_t v = 0; v <= max_script; ++v) {
      const bool known_empty = v == USCRIPT_UNKNOWN || v == USCRIPT_KATAKANA_OR_HIRAGANA;
      if (!known_empty && int_property_set(UCHAR_SCRIPT, v).empty()) continue;
      for (int choice = 0; choice < 4; ++choice) {
        const char* n = u_getPropertyValueName(UCHAR_SCRIPT, v, static_cast<UPropertyNameChoice>(choice));
        if (n != nullptr) t.script.emplace(normalize_name(n), v);
      }
    }
    for (std::string_view n : kNewScripts) t.script.emplace(normalize_name(n), -1);

    add_value_names(t.word_break, UCHAR_WORD_BREAK);
    add_value_names(t.sentence_break, UCHAR_SENTENCE_BREAK);
    add_value_names(t.grapheme_break, UCHAR_GRAPHEME_CLUSTER_BREAK);

    for (std::size_t i = 0; i < kAges.size(); ++i) {
      std::string v(1, 'V');
      v.append(std::to_string(kAges[i].major));
      v.push_back('_');
      v.append(std::to_string(kAges[i].minor));
      t.age.emplace(normalize_name(kAges[i].name), static_cast<int>(i));
      t.age.emplace(normalize_name(v), static_cast<int>(i));
    }
    return t;
  }();
  return t;
}

using Result = std::expected<RangeSet, PropertyError>;

Result gencat_class(const std::string& long_name) {
  if (long_name == "Any") return RangeSet{{0, kMaxCodePoint}};
  if (long_name == "ASCII") return RangeSet{{0, 0x7F}};
  if (long_name == "Assigned") {
    return set_complement(int_property_set(UCHAR_GENERAL_CATEGORY_MASK, U_GC_CN_MASK));
  }
  if (long_name == "Decimal_Number") return perl_digit();
  if (long_name == "Surrogate") return std::unexpected(PropertyError::kPropertyValueNotFound);
  const auto& masks = tables().gencat_mask;
  auto it = masks.find(long_name);
  if (it == masks.end()) return std::unexpected(PropertyError::kPropertyValueNotFound);
  return int_property_set(UCHAR_GENERAL_CATEGORY_MASK, static_cast<int32_t>(it->second));
}

std::optional<std::string> canonical_gencat(const std::string& norm) {
  if (norm == "any") return "Any";
  if (norm == "assigned") return "Assigned";
  if (norm == "ascii") return "ASCII";
  const auto& g = tables().gencat;
  auto it = g.find(norm);
  if (it == g.end()) return std::nullopt;
  return it->second;
}

Result script_class(int code, bool extensions) {
  if (code < 0) return RangeSet{};
  // Names of the database that have no class of their own.
  if (code == USCRIPT_UNKNOWN || code == USCRIPT_KATAKANA_OR_HIRAGANA) {
    return std::unexpected(PropertyError::kPropertyValueNotFound);
  }
  RangeSet s = int_property_set(extensions ? UCHAR_SCRIPT_EXTENSIONS : UCHAR_SCRIPT, code);
  if (s.empty()) return std::unexpected(PropertyError::kPropertyValueNotFound);
  return s;
}

const std::vector<std::pair<CodePointRange, std::uint16_t>>& age_ranges() {
  // Assigned code points with their age as major * 256 + minor.
  static const std::vector<std::pair<CodePointRange, std::uint16_t>> ranges = [] {
    std::vector<std::pair<CodePointRange, std::uint16_t>> out;
    for (char32_t c = 0; c <= kMaxCodePoint; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      UVersionInfo v;
      u_charAge(static_cast<UChar32>(c), v);
      const auto age = static_cast<std::uint16_t>(v[0] * 256 + v[1]);
      if (age == 0) continue;
      if (!out.empty() && out.back().second == age && out.back().first.hi + 1 == c) {
        out.back().first.hi = c;
      } else {
        out.push_back({{c, c}, age});
      }
    }
    return out;
  }();
  return ranges;
}

Result age_class(int index) {
  const AgeName& a = kAges[static_cast<std::size_t>(index)];
  const auto limit = static_cast<std::uint16_t>(a.major * 256 + a.minor);
  RangeSet out;
  for (const auto& [r, age] : age_ranges()) {
    if (age <= limit) out.push_back(r);
  }
  canonicalize(out);
  return out;
}

Result break_class(const core::TextMap<int>& names, UProperty prop, const std::string& value) {
  auto it = names.find(value);
  if (it == names.end()) return std::unexpected(PropertyError::kPropertyValueNotFound);
  RangeSet s = int_property_set(prop, it->second);
  if (s.empty()) return std::unexpected(PropertyError::kPropertyValueNotFound);
  return s;
}

Result binary_class(const PropInfo& info) {
  if (!info.supported_binary) return std::unexpected(PropertyError::kPropertyNotFound);
  if (info.icu_prop == UCHAR_WHITE_SPACE) return perl_space();
  if (info.icu_prop < 0) return RangeSet{};
  return int_property_set(static_cast<UProperty>(info.icu_prop), 1);
}

std::mutex cache_mutex;
std::map<std::pair<std::string, std::string>, Result> cache;

Result lookup_uncached(std::string_view name, std::optional<std::string_view> value) {
  const Tables& t = tables();
  if (!value) {
    const std::string norm = normalize_name(name);
    // "cf", "sc" and "lc" are general categories here, not property names.
    if (norm != "cf" && norm != "sc" && norm != "lc") {
      auto it = t.properties.find(norm);
      if (it != t.properties.end()) return binary_class(it->second);
    }
    if (auto g = canonical_gencat(norm)) return gencat_class(*g);
    auto s = t.script.find(norm);
    if (s != t.script.end()) return script_class(s->second, false);
    return std::unexpected(PropertyError::kPropertyNotFound);
  }
  const std::string pname = normalize_name(name);
  const std::string pvalue = normalize_name(*value);
  auto it = t.properties.find(pname);
  if (it == t.properties.end()) return std::unexpected(PropertyError::kPropertyNotFound);
  switch (it->second.kind) {
    case PropKind::kGeneralCategory: {
      auto g = canonical_gencat(pvalue);
      if (!g) return std::unexpected(PropertyError::kPropertyValueNotFound);
      return gencat_class(*g);
    }
    case PropKind::kScript:
    case PropKind::kScriptExtensions: {
      auto s = t.script.find(pvalue);
      if (s == t.script.end()) return std::unexpected(PropertyError::kPropertyValueNotFound);
      return script_class(s->second, it->second.kind == PropKind::kScriptExtensions);
    }
    case PropKind::kAge: {
      auto a = t.age.find(pvalue);
      if (a == t.age.end()) return std::unexpected(PropertyError::kPropertyValueNotFound);
      return age_class(a->second);
    }
    case PropKind::kWordBreak:
      return break_class(t.word_break, UCHAR_WORD_BREAK, pvalue);
    case PropKind::kSentenceBreak:
      return break_class(t.sentence_break, UCHAR_SENTENCE_BREAK, pvalue);
    case PropKind::kGraphemeBreak:
      return break_class(t.grapheme_break, UCHAR_GRAPHEME_CLUSTER_BREAK, pvalue);
    case PropKind::kBinary:
    case PropKind::kOther:
      break;
  }
  return std::unexpected(PropertyError::kPropertyValueNotFound);
}

Result lookup(std::string_view name, std::optional<std::string_view> value) {
  std::pair<std::string, std::string> key{std::string(name), std::string()};
  if (value) {
    key.second.push_back('=');
    key.second.append(*value);
  }
  {
    std::lock_guard<std::mutex> lock(cache_mutex);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
  }
  Result r = lookup_uncached(name, value);
  std::lock_guard<std::mutex> lock(cache_mutex);
  // The cache only grows with distinct short names, so it stays small.
  if (cache.size() < 4096 && key.first.size() + key.second.size() <= 64) cache.emplace(std::move(key), r);
  return r;
}

}  // namespace

std::expected<RangeSet, PropertyError> property_class(std::string_view name) { return lookup(name, std::nullopt); }

std::expected<RangeSet, PropertyError> property_value_class(std::string_view name, std::string_view value) {
  return lookup(name, value);
}

}  // namespace qv::unicode
