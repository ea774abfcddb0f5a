#include "unicode/properties.hpp"

#include <unicode/uchar.h>
#include <unicode/uscript.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

#include "unicode/white_space.hpp"

namespace qv::unicode {
namespace {

constexpr UChar32 kMaxCodePoint = 0x10FFFF;

// Values outside the code space behave as unassigned code points.
bool in_range(char32_t c) { return c <= static_cast<char32_t>(kMaxCodePoint); }

bool has(char32_t c, UProperty p) {
  return in_range(c) && u_hasBinaryProperty(static_cast<UChar32>(c), p) != 0;
}

std::uint32_t gc_mask(char32_t c) {
  return in_range(c) ? static_cast<std::uint32_t>(U_GET_GC_MASK(static_cast<UChar32>(c))) : 0u;
}

struct CategoryInfo {
  UCharCategory icu;
  std::string_view short_name;
  std::string_view long_name;
};

// In the order of GeneralCategory.
constexpr std::array<CategoryInfo, kGeneralCategoryCount> kCategories{{
    {U_UPPERCASE_LETTER, "Lu", "Uppercase_Letter"},
    {U_LOWERCASE_LETTER, "Ll", "Lowercase_Letter"},
    {U_TITLECASE_LETTER, "Lt", "Titlecase_Letter"},
    {U_MODIFIER_LETTER, "Lm", "Modifier_Letter"},
    {U_OTHER_LETTER, "Lo", "Other_Letter"},
    {U_NON_SPACING_MARK, "Mn", "Nonspacing_Mark"},
    {U_COMBINING_SPACING_MARK, "Mc", "Spacing_Mark"},
    {U_ENCLOSING_MARK, "Me", "Enclosing_Mark"},
    {U_DECIMAL_DIGIT_NUMBER, "Nd", "Decimal_Number"},
    {U_LETTER_NUMBER, "Nl", "Letter_Number"},
    {U_OTHER_NUMBER, "No", "Other_Number"},
    {U_CONNECTOR_PUNCTUATION, "Pc", "Connector_Punctuation"},
    {U_DASH_PUNCTUATION, "Pd", "Dash_Punctuation"},
    {U_START_PUNCTUATION, "Ps", "Open_Punctuation"},
    {U_END_PUNCTUATION, "Pe", "Close_Punctuation"},
    {U_INITIAL_PUNCTUATION, "Pi", "Initial_Punctuation"},
    {U_FINAL_PUNCTUATION, "Pf", "Final_Punctuation"},
    {U_OTHER_PUNCTUATION, "Po", "Other_Punctuation"},
    {U_MATH_SYMBOL, "Sm", "Math_Symbol"},
    {U_CURRENCY_SYMBOL, "Sc", "Currency_Symbol"},
    {U_MODIFIER_SYMBOL, "Sk", "Modifier_Symbol"},
    {U_OTHER_SYMBOL, "So", "Other_Symbol"},
    {U_SPACE_SEPARATOR, "Zs", "Space_Separator"},
    {U_LINE_SEPARATOR, "Zl", "Line_Separator"},
    {U_PARAGRAPH_SEPARATOR, "Zp", "Paragraph_Separator"},
    {U_CONTROL_CHAR, "Cc", "Control"},
    {U_FORMAT_CHAR, "Cf", "Format"},
    {U_SURROGATE, "Cs", "Surrogate"},
    {U_PRIVATE_USE_CHAR, "Co", "Private_Use"},
    {U_UNASSIGNED, "Cn", "Unassigned"},
}};

struct BinaryInfo {
  UProperty icu;
  std::string_view name;
};

// In the order of BinaryProperty.
constexpr std::array<BinaryInfo, kBinaryPropertyCount> kBinary{{
    {UCHAR_ASCII_HEX_DIGIT, "ASCII_Hex_Digit"},
    {UCHAR_ALPHABETIC, "Alphabetic"},
    {UCHAR_BIDI_CONTROL, "Bidi_Control"},
    {UCHAR_BIDI_MIRRORED, "Bidi_Mirrored"},
    {UCHAR_CASE_IGNORABLE, "Case_Ignorable"},
    {UCHAR_CASED, "Cased"},
    {UCHAR_CHANGES_WHEN_CASEFOLDED, "Changes_When_Casefolded"},
    {UCHAR_CHANGES_WHEN_CASEMAPPED, "Changes_When_Casemapped"},
    {UCHAR_CHANGES_WHEN_LOWERCASED, "Changes_When_Lowercased"},
    {UCHAR_CHANGES_WHEN_TITLECASED, "Changes_When_Titlecased"},
    {UCHAR_CHANGES_WHEN_UPPERCASED, "Changes_When_Uppercased"},
    {UCHAR_DASH, "Dash"},
    {UCHAR_DEFAULT_IGNORABLE_CODE_POINT, "Default_Ignorable_Code_Point"},
    {UCHAR_DEPRECATED, "Deprecated"},
    {UCHAR_DIACRITIC, "Diacritic"},
    {UCHAR_EMOJI, "Emoji"},
    {UCHAR_EMOJI_COMPONENT, "Emoji_Component"},
    {UCHAR_EMOJI_MODIFIER, "Emoji_Modifier"},
    {UCHAR_EMOJI_MODIFIER_BASE, "Emoji_Modifier_Base"},
    {UCHAR_EMOJI_PRESENTATION, "Emoji_Presentation"},
    {UCHAR_EXTENDED_PICTOGRAPHIC, "Extended_Pictographic"},
    {UCHAR_EXTENDER, "Extender"},
    {UCHAR_GRAPHEME_BASE, "Grapheme_Base"},
    {UCHAR_GRAPHEME_EXTEND, "Grapheme_Extend"},
    {UCHAR_HEX_DIGIT, "Hex_Digit"},
    {UCHAR_IDS_BINARY_OPERATOR, "IDS_Binary_Operator"},
    {UCHAR_IDS_TRINARY_OPERATOR, "IDS_Trinary_Operator"},
    {UCHAR_ID_CONTINUE, "ID_Continue"},
    {UCHAR_ID_START, "ID_Start"},
    {UCHAR_IDEOGRAPHIC, "Ideographic"},
    {UCHAR_JOIN_CONTROL, "Join_Control"},
    {UCHAR_LOGICAL_ORDER_EXCEPTION, "Logical_Order_Exception"},
    {UCHAR_LOWERCASE, "Lowercase"},
    {UCHAR_MATH, "Math"},
    {UCHAR_NONCHARACTER_CODE_POINT, "Noncharacter_Code_Point"},
    {UCHAR_PATTERN_SYNTAX, "Pattern_Syntax"},
    {UCHAR_PATTERN_WHITE_SPACE, "Pattern_White_Space"},
    {UCHAR_PREPENDED_CONCATENATION_MARK, "Prepended_Concatenation_Mark"},
    {UCHAR_QUOTATION_MARK, "Quotation_Mark"},
    {UCHAR_RADICAL, "Radical"},
    {UCHAR_REGIONAL_INDICATOR, "Regional_Indicator"},
    {UCHAR_S_TERM, "Sentence_Terminal"},
    {UCHAR_SOFT_DOTTED, "Soft_Dotted"},
    {UCHAR_TERMINAL_PUNCTUATION, "Terminal_Punctuation"},
    {UCHAR_UNIFIED_IDEOGRAPH, "Unified_Ideograph"},
    {UCHAR_UPPERCASE, "Uppercase"},
    {UCHAR_VARIATION_SELECTOR, "Variation_Selector"},
    {UCHAR_WHITE_SPACE, "White_Space"},
    {UCHAR_XID_CONTINUE, "XID_Continue"},
    {UCHAR_XID_START, "XID_Start"},
}};

// Scripts that some code point carries as script or script extension.
const std::vector<Script>& used_scripts() {
  static std::once_flag once;
  static std::vector<Script> scripts;
  std::call_once(once, [] {
    std::vector<bool> seen(USCRIPT_CODE_LIMIT, false);
    seen[USCRIPT_COMMON] = seen[USCRIPT_INHERITED] = seen[USCRIPT_UNKNOWN] = true;
    std::array<UScriptCode, 64> ext{};
    for (UChar32 c = 0; c <= kMaxCodePoint; ++c) {
      UErrorCode err = U_ZERO_ERROR;
      const int32_t n = uscript_getScriptExtensions(c, ext.data(), static_cast<int32_t>(ext.size()), &err);
      if (U_FAILURE(err)) continue;
      for (int32_t k = 0; k < n; ++k) {
        if (ext[static_cast<std::size_t>(k)] >= 0 && ext[static_cast<std::size_t>(k)] < USCRIPT_CODE_LIMIT) {
          seen[static_cast<std::size_t>(ext[static_cast<std::size_t>(k)])] = true;
        }
      }
      err = U_ZERO_ERROR;
      const UScriptCode s = uscript_getScript(c, &err);
      if (U_SUCCESS(err) && s >= 0 && s < USCRIPT_CODE_LIMIT) seen[static_cast<std::size_t>(s)] = true;
    }
    for (std::int32_t s = 0; s < USCRIPT_CODE_LIMIT; ++s) {
      if (seen[static_cast<std::size_t>(s)]) scripts.push_back(Script{s});
    }
  });
  return scripts;
}

std::string_view from_c(const char* s) { return s == nullptr ? std::string_view{} : std::string_view{s}; }

}  // namespace

bool is_alphabetic(char32_t c) {
  if (c < 0x80) return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
  return has(c, UCHAR_ALPHABETIC);
}

bool is_numeric(char32_t c) {
  if (c < 0x80) return c >= '0' && c <= '9';
  return (gc_mask(c) & U_GC_N_MASK) != 0;
}

bool is_alphanumeric(char32_t c) { return is_alphabetic(c) || is_numeric(c); }

bool is_decimal_digit(char32_t c) {
  if (c < 0x80) return c >= '0' && c <= '9';
  return (gc_mask(c) & U_GC_ND_MASK) != 0;
}

bool is_word_character(char32_t c) {
  if (c < 0x80) return is_alphanumeric(c) || c == '_';
  return (gc_mask(c) & (U_GC_M_MASK | U_GC_ND_MASK | U_GC_PC_MASK)) != 0 || has(c, UCHAR_ALPHABETIC) ||
         has(c, UCHAR_JOIN_CONTROL);
}

bool is_lowercase(char32_t c) { return has(c, UCHAR_LOWERCASE); }
bool is_uppercase(char32_t c) { return has(c, UCHAR_UPPERCASE); }
bool is_control(char32_t c) { return (gc_mask(c) & U_GC_CC_MASK) != 0; }
bool is_assigned(char32_t c) { return in_range(c) && gc_mask(c) != U_GC_CN_MASK; }

Age age(char32_t c) {
  if (!in_range(c)) return {0, 0};
  UVersionInfo v;
  u_charAge(static_cast<UChar32>(c), v);
  return {v[0], v[1]};
}

Age unicode_version() {
  UVersionInfo v;
  u_getUnicodeVersion(v);
  return {v[0], v[1]};
}

GeneralCategory general_category(char32_t c) {
  if (!in_range(c)) return GeneralCategory::Cn;
  const auto icu = static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)));
  for (std::size_t i = 0; i < kCategories.size(); ++i) {
    if (kCategories[i].icu == icu) return static_cast<GeneralCategory>(i);
  }
  return GeneralCategory::Cn;
}

std::string_view short_name(GeneralCategory gc) { return kCategories[static_cast<std::size_t>(gc)].short_name; }
std::string_view long_name(GeneralCategory gc) { return kCategories[static_cast<std::size_t>(gc)].long_name; }

Script script(char32_t c) {
  if (!in_range(c)) return Script{USCRIPT_UNKNOWN};
  UErrorCode err = U_ZERO_ERROR;
  const UScriptCode s = uscript_getScript(static_cast<UChar32>(c), &err);
  return Script{U_SUCCESS(err) ? static_cast<std::int32_t>(s) : static_cast<std::int32_t>(USCRIPT_UNKNOWN)};
}

std::vector<Script> script_extensions(char32_t c) {
  if (!in_range(c)) return {Script{USCRIPT_UNKNOWN}};
  std::array<UScriptCode, 64> ext{};
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n =
      uscript_getScriptExtensions(static_cast<UChar32>(c), ext.data(), static_cast<int32_t>(ext.size()), &err);
  if (U_FAILURE(err) || n <= 0) return {script(c)};
  std::vector<Script> out;
  out.reserve(static_cast<std::size_t>(n));
  for (int32_t k = 0; k < n; ++k) out.push_back(Script{ext[static_cast<std::size_t>(k)]});
  std::sort(out.begin(), out.end());
  return out;
}

bool has_script_extension(char32_t c, Script s) {
  if (!in_range(c)) return s.code == USCRIPT_UNKNOWN;
  return uscript_hasScript(static_cast<UChar32>(c), static_cast<UScriptCode>(s.code)) != 0;
}

std::string_view short_name(Script s) { return from_c(uscript_getShortName(static_cast<UScriptCode>(s.code))); }
std::string_view long_name(Script s) { return from_c(uscript_getName(static_cast<UScriptCode>(s.code))); }

std::optional<Script> find_script(std::string_view name) {
  for (Script s : used_scripts()) {
    if (name == short_name(s) || name == long_name(s)) return s;
  }
  return std::nullopt;
}

const std::vector<Script>& all_scripts() { return used_scripts(); }

bool has_binary_property(char32_t c, BinaryProperty p) {
  if (p == BinaryProperty::White_Space) return is_white_space(c);
  return has(c, kBinary[static_cast<std::size_t>(p)].icu);
}

std::string_view name(BinaryProperty p) { return kBinary[static_cast<std::size_t>(p)].name; }

std::optional<BinaryProperty> find_binary_property(std::string_view long_name) {
  for (std::size_t i = 0; i < kBinary.size(); ++i) {
    if (kBinary[i].name == long_name) return static_cast<BinaryProperty>(i);
  }
  return std::nullopt;
}

}  // namespace qv::unicode
