#pragma once
// Character properties of Unicode 15.0, per code point. Code points assigned
// in later versions are unassigned here: general category Cn, script Unknown,
// no binary property.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qv::unicode {

// Alphabetic: letters, letter numbers and the other alphabetic characters
// (Indic vowel signs, circled letters, ...).
bool is_alphabetic(char32_t c);
// General category Nd, Nl or No (digits, Roman numerals, ², ½, ①).
bool is_numeric(char32_t c);
// Alphabetic or numeric.
bool is_alphanumeric(char32_t c);
// General category Nd only.
bool is_decimal_digit(char32_t c);
// A word character of patterns: Alphabetic, any mark, Nd, Pc or Join_Control.
bool is_word_character(char32_t c);
// The Lowercase and Uppercase properties (not only Ll and Lu).
bool is_lowercase(char32_t c);
bool is_uppercase(char32_t c);
// General category Cc.
bool is_control(char32_t c);
// Any general category but Cn.
bool is_assigned(char32_t c);

// The Unicode version in which a code point was assigned, as major and minor;
// 0.0 for one that is unassigned.
struct Age {
  std::uint8_t major;
  std::uint8_t minor;
  friend constexpr bool operator==(Age, Age) = default;
  friend constexpr auto operator<=>(Age, Age) = default;
};
Age age(char32_t c);
// The Unicode version of the character data.
Age unicode_version();

enum class GeneralCategory : std::uint8_t {
  Lu, Ll, Lt, Lm, Lo,
  Mn, Mc, Me,
  Nd, Nl, No,
  Pc, Pd, Ps, Pe, Pi, Pf, Po,
  Sm, Sc, Sk, So,
  Zs, Zl, Zp,
  Cc, Cf, Cs, Co, Cn,
};
inline constexpr int kGeneralCategoryCount = 30;

GeneralCategory general_category(char32_t c);
// "Lu", "Ll", ...
std::string_view short_name(GeneralCategory gc);
// "Uppercase_Letter", "Lowercase_Letter", ...
std::string_view long_name(GeneralCategory gc);

// A script of the Script and Script_Extensions properties.
struct Script {
  std::int32_t code;
  friend constexpr bool operator==(Script, Script) = default;
  friend constexpr auto operator<=>(Script, Script) = default;
};
Script script(char32_t c);
// The script extensions of a code point, in ascending code order (its own
// script alone when it has no extensions).
std::vector<Script> script_extensions(char32_t c);
bool has_script_extension(char32_t c, Script s);
// "Grek", "Latn", "Zyyy", ...
std::string_view short_name(Script s);
// "Greek", "Latin", "Common", ...
std::string_view long_name(Script s);
// The script with this short or long name (exact spelling, e.g. "Greek" or
// "Grek"), when some code point of this Unicode version has it as script or
// script extension (Common, Inherited and Unknown included).
std::optional<Script> find_script(std::string_view name);
// Every script find_script can give, in ascending code order.
const std::vector<Script>& all_scripts();

enum class BinaryProperty : std::uint8_t {
  ASCII_Hex_Digit, Alphabetic, Bidi_Control, Bidi_Mirrored, Case_Ignorable, Cased,
  Changes_When_Casefolded, Changes_When_Casemapped, Changes_When_Lowercased,
  Changes_When_Titlecased, Changes_When_Uppercased, Dash, Default_Ignorable_Code_Point,
  Deprecated, Diacritic, Emoji, Emoji_Component, Emoji_Modifier, Emoji_Modifier_Base,
  Emoji_Presentation, Extended_Pictographic, Extender, Grapheme_Base, Grapheme_Extend,
  Hex_Digit, IDS_Binary_Operator, IDS_Trinary_Operator, ID_Continue, ID_Start, Ideographic,
  Join_Control, Logical_Order_Exception, Lowercase, Math, Noncharacter_Code_Point,
  Pattern_Syntax, Pattern_White_Space, Prepended_Concatenation_Mark, Quotation_Mark, Radical,
  Regional_Indicator, Sentence_Terminal, Soft_Dotted, Terminal_Punctuation, Unified_Ideograph,
  Uppercase, Variation_Selector, White_Space, XID_Continue, XID_Start,
};
inline constexpr int kBinaryPropertyCount = 50;

bool has_binary_property(char32_t c, BinaryProperty p);
// The property's long name, spelt as in the enumeration ("White_Space").
std::string_view name(BinaryProperty p);
// The property with exactly this long name.
std::optional<BinaryProperty> find_binary_property(std::string_view long_name);

}  // namespace qv::unicode
