// Typed reading: error texts and positions of the object and array forms,
// unit enums, internally tagged enums and flatten.
#include <gtest/gtest.h>

#include "json/typed.hpp"
#include "json/vocabulary.hpp"
#include "json/writer.hpp"

namespace qv::json {
namespace {

struct Item {
  std::string id;
  std::vector<std::string> tags;  // defaulted
  std::uint64_t size = 0;
  std::optional<std::string> note;  // optional, no default
};
enum class Color { Red, Green, Blue };
constexpr std::array<std::string_view, 3> kColorWords = {"red", "green", "blue"};
enum class Level { Low, Medium, High };
constexpr std::array<std::string_view, 3> kLevelWords = {"low", "medium", "high"};
struct Shape {
  std::size_t variant = 0;  // dot, circle, at_least
  double r = 0;
  Level level = Level::Low;
};
struct Holder {
  Shape shape;
};
struct Rule {
  std::string id;
  Shape shape;
  std::optional<Color> color;
};
struct Strict {
  std::string a;
};
struct Span {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};
struct Det {
  std::size_t variant = 0;  // exact, reproducible
  double tolerance = 0;
};

const StructTable<Item>& item_table() {
  static const StructTable<Item> s{"Item",
                                  {required<&Item::id>("id"), defaulted<&Item::tags>("tags"),
                                   required<&Item::size>("size"), optional<&Item::note>("note")}};
  return s;
}
const StructTable<Strict>& strict_table() {
  static const StructTable<Strict> s{"Strict", {required<&Strict::a>("a")}, true};
  return s;
}
const StructTable<Span>& span_table() {
  static const StructTable<Span> s{
      "Span", {required<&Span::start, UsizeReader>("start"), required<&Span::end, UsizeReader>("end")}};
  return s;
}

}  // namespace

template <>
struct TypeReader<Item> : StructReader<Item, item_table> {};
template <>
struct TypeReader<Strict> : StructReader<Strict, strict_table> {};
template <>
struct TypeReader<Span> : StructReader<Span, span_table> {};
template <>
struct TypeReader<Color> : UnitEnumReader<Color, kColorWords> {};
template <>
struct TypeReader<Level> : UnitEnumReader<Level, kLevelWords> {};

namespace {
const VariantTable<Shape>& shape_table() {
  static const VariantTable<Shape> s{"Shape",
                                   "kind",
                                   {{"dot", "Dot", true, {}},
                                    {"circle", "Circle", false, {required<&Shape::r>("r")}},
                                    {"at_least", "AtLeast", false, {required<&Shape::level>("level")}}},
                                   [](Shape& x, std::size_t i) { x.variant = i; }};
  return s;
}
const VariantTable<Det>& det_table() {
  static const VariantTable<Det> s{"Det",
                                 "class",
                                 {{"exact", "Exact", true, {}},
                                  {"reproducible", "Reproducible", false, {required<&Det::tolerance>("tolerance")}}},
                                 [](Det& x, std::size_t i) { x.variant = i; },
                                 true};
  return s;
}
}  // namespace

template <>
struct TypeReader<Shape> : TaggedReader<Shape, shape_table> {};
template <>
struct TypeReader<Det> : TaggedReader<Det, det_table> {};

namespace {
const StructTable<Holder>& holder_table() {
  static const StructTable<Holder> s{"Holder", {required<&Holder::shape>("shape")}};
  return s;
}
const StructTable<Rule>& rule_table() {
  static const StructTable<Rule> s{
      "Rule", {required<&Rule::id>("id"), optional<&Rule::color>("color")}, false, flattened<&Rule::shape>()};
  return s;
}
}  // namespace

template <>
struct TypeReader<Holder> : StructReader<Holder, holder_table> {};
template <>
struct TypeReader<Rule> : StructReader<Rule, rule_table> {};

namespace {

template <class X>
std::string error_of(std::string_view text) {
  auto r = read_typed<X>(text);
  if (r) return "no error";
  return r.error().display();
}

TEST(StructObjectForm, MembersInAnyOrderDefaultsAndOptions) {
  auto item = read_typed<Item>(R"({"size":3,"zz":[{"deep":[1e999,"\uDC00"]}],"id":"\u0069d"})");
  ASSERT_TRUE(item.has_value()) << item.error().display();
  EXPECT_EQ(item->id, "id");
  EXPECT_EQ(item->size, 3u);
  EXPECT_TRUE(item->tags.empty());
  EXPECT_FALSE(item->note.has_value());
  EXPECT_FALSE(read_typed<Item>(R"({"id":"a","size":1,"note":null})")->note.has_value());
}

TEST(StructObjectForm, FieldErrorsAndTheirPositions) {
  EXPECT_EQ(error_of<Item>(R"({"id":5,"size":1})"), "invalid type: integer `5`, expected a string at line 1 column 7");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":[1]})"), "invalid type: sequence, expected u64 at line 1 column 17");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","id":"b","size":1})"), "duplicate field `id` at line 1 column 14");
  EXPECT_EQ(error_of<Item>("{\"id\":\"a\",\"id\"\n :\"b\"}"), "duplicate field `id` at line 2 column 1");
  EXPECT_EQ(error_of<Item>(R"({"id":"a"})"), "missing field `size` at line 1 column 10");
  EXPECT_EQ(error_of<Item>("{}"), "missing field `id` at line 1 column 2");
  // A default applies only when the member is absent.
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":1,"tags":null})"),
            "invalid type: null, expected a sequence at line 1 column 30");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":-1})"), "invalid value: integer `-1`, expected u64 at line 1 column 19");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":2.0})"),
            "invalid type: floating point `2.0`, expected u64 at line 1 column 20");
  EXPECT_EQ(error_of<Span>(R"({"start":-1,"end":2})"), "invalid value: integer `-1`, expected usize at line 1 column 11");
  EXPECT_EQ(error_of<Item>(R"("x")"), "invalid type: string \"x\", expected struct Item at line 1 column 3");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":1} {})"), "trailing characters at line 1 column 21");
  EXPECT_EQ(error_of<Strict>(R"({"a":"x","b":1})"), "unknown field `b`, expected `a` at line 1 column 12");
}

// Plain integers are read at once, keys expected next by their bytes; both
// give way to the full readers wherever the text differs.
TEST(StructObjectForm, ShortcutsAgreeWithTheFullReaders) {
  const auto span = [](std::string_view text) { return read_typed<Span>(text); };
  EXPECT_EQ(span(R"({"start":18446744073709551615,"end":9999999999999999999})")->start,
            std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(span(R"({"start":0,"end":9999999999999999999})")->end, 9999999999999999999u);
  EXPECT_EQ(span(R"({"start":10000000000000000000,"end":0})")->start, 10000000000000000000u);
  EXPECT_EQ(error_of<Span>(R"({"start":01,"end":2})"), "invalid number at line 1 column 11");
  EXPECT_EQ(error_of<Span>(R"({"start":1e0,"end":2})"),
            "invalid type: floating point `1.0`, expected usize at line 1 column 12");
  EXPECT_EQ(error_of<Span>(R"({"start":18446744073709551616,"end":2})").rfind("invalid type: floating point", 0), 0u);
  EXPECT_EQ(span("{\"start\":7 ,\"end\":8}")->start, 7u);
  // Keys that start like, or extend, the name expected next.
  // (a missing member is reported after the closing brace)
  EXPECT_EQ(error_of<Span>(R"({"star":1,"end":2})"), "missing field `start` at line 1 column 18");
  EXPECT_EQ(error_of<Span>(R"({"startx":1,"end":2})"), "missing field `start` at line 1 column 20");
  EXPECT_EQ(error_of<Span>(R"({"start":1,"start":2})"), "duplicate field `start` at line 1 column 18");
  EXPECT_EQ(span(R"({"end":2,"start":1})")->start, 1u);
  EXPECT_EQ(span("{\"start\" : 3,\"end\"\n:4}")->end, 4u);
}

TEST(StructObjectForm, SkippedMembersAreDepthLimited) {
  const std::string deep = R"({"id":"a","size":1,"zz":)" + std::string(126, '[') + std::string(126, ']') + "}";
  EXPECT_TRUE(read_typed<Item>(deep).has_value());
  const std::string deeper = R"({"id":"a","size":1,"zz":)" + std::string(127, '[') + std::string(127, ']') + "}";
  EXPECT_EQ(error_of<Item>(deeper), "recursion limit exceeded at line 1 column 151");
  EXPECT_EQ(error_of<Item>(R"({"id":"a","size":1,"zz":[1,]})"), "expected value at line 1 column 28");
}

TEST(StructArrayForm, IndexRuleAndExtraElements) {
  EXPECT_EQ(error_of<Item>(R"(["a"])"), "invalid length 2, expected struct Item with 4 elements at line 1 column 5");
  EXPECT_EQ(error_of<Item>(R"(["a",[],5])"), "invalid length 3, expected struct Item with 4 elements at line 1 column 10");
  EXPECT_EQ(error_of<Item>("[]"), "invalid length 0, expected struct Item with 4 elements at line 1 column 2");
  EXPECT_EQ(error_of<Span>("[1]"), "invalid length 1, expected struct Span with 2 elements at line 1 column 3");
  EXPECT_EQ(error_of<Strict>("[]"), "invalid length 0, expected struct Strict with 1 element at line 1 column 2");
  EXPECT_EQ(error_of<Item>(R"(["a",[],5,null,0])"), "trailing characters at line 1 column 16");
  EXPECT_EQ(error_of<Item>(R"(["a",[],5,null,])"), "trailing comma at line 1 column 16");
  auto item = read_typed<Item>(R"(["a",["t"],5,"n"])");
  ASSERT_TRUE(item.has_value());
  EXPECT_EQ(item->tags, std::vector<std::string>{"t"});
  EXPECT_EQ(item->note, "n");
}

TEST(UnitEnums, WordsAndSingleMemberObjects) {
  EXPECT_EQ(read_typed<Color>(R"("blue")"), Color::Blue);
  EXPECT_EQ(read_typed<Color>(R"({"green":null})"), Color::Green);
  EXPECT_EQ(read_typed<Color>(R"("gr\u0065en")"), Color::Green);
  EXPECT_EQ(error_of<Color>(R"("pink")"), "unknown variant `pink`, expected one of `red`, `green`, `blue` at line 1 column 6");
  EXPECT_EQ(error_of<Color>(R"({"pink":null})"),
            "unknown variant `pink`, expected one of `red`, `green`, `blue` at line 1 column 7");
  EXPECT_EQ(error_of<Color>(R"({"red":1})"), "invalid type: integer `1`, expected unit at line 1 column 8");
  EXPECT_EQ(error_of<Color>(R"({"red":{}})"), "invalid type: map, expected unit at line 1 column 7");
  EXPECT_EQ(error_of<Color>(R"({"red":null,"x":1})"), "expected value at line 1 column 11");
  EXPECT_EQ(error_of<Color>(R"({"red":null)"), "EOF while parsing an object at line 1 column 11");
  EXPECT_EQ(error_of<Color>("{}"), "expected value at line 1 column 2");
  EXPECT_EQ(error_of<Color>("{1:null}"), "key must be a string at line 1 column 2");
  // Other kinds are not even described.
  for (std::string_view t : {"0", "null", "true", "[]"}) EXPECT_EQ(error_of<Color>(t), "expected value at line 1 column 1");
  EXPECT_EQ(error_of<Color>(" "), "EOF while parsing a value at line 1 column 1");
  // An optional enum reads null as none first.
  auto none = read_typed<std::optional<Color>>("null");
  ASSERT_TRUE(none.has_value());
  EXPECT_FALSE(none->has_value());
}

TEST(UnitEnums, SharedVocabulary) {
  EXPECT_EQ(read_typed<core::Decision>(R"({"REVIEW":null})"), core::Decision::Review);
  EXPECT_EQ(error_of<core::Decision>(R"("Pass")"),
            "unknown variant `Pass`, expected one of `PASS`, `REVIEW`, `FAIL` at line 1 column 6");
  EXPECT_EQ(error_of<core::RoundingRule>(R"("nearest")"),
            "unknown variant `nearest`, expected one of `half_up`, `half_even`, `within_last_digit` at line 1 column 9");
  EXPECT_EQ(write_json_compact(decision_to_json(core::Decision::Fail)), "\"FAIL\"");
}

TEST(TaggedEnums, ReadDirectly) {
  auto h = read_typed<Holder>(R"({"shape":{"r":2,"kind":"circle","x":[1]}})");
  ASSERT_TRUE(h.has_value()) << h.error().display();
  EXPECT_EQ(h->shape.variant, 1u);
  EXPECT_EQ(h->shape.r, 2.0);
  EXPECT_EQ(read_typed<Shape>(R"(["circle",0.5])")->r, 0.5);
  EXPECT_EQ(error_of<Holder>(R"({"shape":"dot"})"),
            "invalid type: string \"dot\", expected internally tagged enum Shape at line 1 column 14");
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"kind":1}})"),
            "invalid type: integer `1`, expected variant identifier at line 1 column 18");
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"kind":"square"}})"),
            "unknown variant `square`, expected one of `dot`, `circle`, `at_least` at line 1 column 25");
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"kind":"dot","kind":"dot"}})"),
            "duplicate field `kind` at line 1 column 29");
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"r":1}})"), "missing field `kind` at line 1 column 16");
  EXPECT_EQ(error_of<Shape>("[]"), "missing field `kind` at line 1 column 2");
  // Buffered members are parsed in full.
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"kind":"dot","x":1e400}})"), "number out of range at line 1 column 32");
}

TEST(TaggedEnums, BuildErrorsStandAtTheParentsEnd) {
  EXPECT_EQ(error_of<Holder>(R"({"shape":{"kind":"circle"}})"), "missing field `r` at line 1 column 27");
  EXPECT_EQ(error_of<Holder>(R"({"shape":["circle"]})"),
            "invalid length 0, expected struct variant Shape::Circle with 1 element at line 1 column 20");
  EXPECT_EQ(error_of<std::vector<Shape>>(R"([{"kind":"circle"} , 1])"), "missing field `r` at line 1 column 21");
  // With no parent there is no position.
  EXPECT_EQ(error_of<Shape>(R"({"kind":"circle","r":1,"r":2})"), "duplicate field `r`");
  EXPECT_EQ(error_of<Shape>(R"(["dot",1,2])"), "invalid length 2, expected 0 elements in sequence");
  EXPECT_EQ(error_of<Shape>(R"(["circle",1,2])"), "invalid length 2, expected 1 element in sequence");
  EXPECT_EQ(error_of<Shape>(R"({"kind":"circle","r":"1"})"), "invalid type: string \"1\", expected f64");
}

TEST(TaggedEnums, MembersKeptUnparsed) {
  // Members beside the tag are only syntax-checked; the variant's own are
  // read afterwards, wherever they stood.
  auto d = read_typed<Det>(R"({"tolerance":0.25,"x":"\uDC00","class":"reproducible","y":1e999})");
  ASSERT_TRUE(d.has_value()) << d.error().display();
  EXPECT_EQ(d->tolerance, 0.25);
  EXPECT_TRUE(read_typed<Det>(R"({"class":"exact","tolerance":"no"})").has_value());
  EXPECT_EQ(error_of<Det>(R"({"class":"reproducible"})"), "missing field `tolerance`");
  EXPECT_EQ(error_of<Det>(R"({"class":"reproducible","tolerance":1e400})"), "number out of range at line 1 column 41");
  EXPECT_EQ(error_of<Det>(R"({"class":"exact","x":[1,]})"), "expected value at line 1 column 25");
  EXPECT_EQ(read_typed<Det>(R"(["reproducible",2])")->tolerance, 2.0);
  EXPECT_EQ(error_of<Det>(R"(["reproducible"])"),
            "invalid length 0, expected struct variant Det::Reproducible with 1 element");
}

TEST(Flatten, OwnMembersBesideABufferedTaggedEnum) {
  auto r = read_typed<Rule>(R"({"kind":"at_least","id":"x","level":{"high":null},"color":"red"})");
  ASSERT_TRUE(r.has_value()) << r.error().display();
  EXPECT_EQ(r->shape.variant, 2u);
  EXPECT_EQ(r->shape.level, Level::High);
  EXPECT_EQ(r->color, Color::Red);
  EXPECT_EQ(error_of<Rule>(R"(["a"])"), "invalid type: sequence, expected struct Rule at line 1 column 0");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","id":"b"})"), "duplicate field `id` at line 1 column 14");
  // Own members first, then the flattened enum, all at the closing brace.
  EXPECT_EQ(error_of<Rule>(R"({"kind":"circle"})"), "missing field `id` at line 1 column 17");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"circle"})"), "missing field `r` at line 1 column 26");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a"})"), "missing field `kind` at line 1 column 10");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"bad","kind":"dot"})"),
            "unknown variant `bad`, expected one of `dot`, `circle`, `at_least` at line 1 column 36");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"dot","kind":"dot"})"), "duplicate field `kind` at line 1 column 36");
  // Other members are parsed in full, not skipped.
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"dot","x":1e400})"), "number out of range at line 1 column 32");
}

TEST(Flatten, BufferedTagsAndUnitEnums) {
  // A buffered tag may be the variant's index.
  EXPECT_EQ(read_typed<Rule>(R"({"id":"a","kind":2,"level":"low"})")->shape.variant, 2u);
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":3})"),
            "invalid value: integer `3`, expected variant index 0 <= i < 3 at line 1 column 19");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":1.0})"),
            "invalid type: floating point `1.0`, expected variant identifier at line 1 column 21");
  // A buffered unit enum is a string or a map.
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"at_least","level":2})"),
            "invalid type: integer `2`, expected string or map at line 1 column 38");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"at_least","level":{}})"),
            "invalid value: map, expected map with a single key at line 1 column 39");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"at_least","level":{"low":null,"high":null}})"),
            "invalid value: map, expected map with a single key at line 1 column 61");
  EXPECT_EQ(error_of<Rule>(R"({"id":"a","kind":"at_least","level":{"low":1}})"),
            "invalid type: integer `1`, expected unit at line 1 column 46");
  EXPECT_EQ(read_typed<Rule>(R"({"id":"a","kind":"at_least","level":{"medium":{}}})")->shape.level, Level::Medium);
}

TEST(Containers, PairsAndMaps) {
  using Pair = std::pair<std::string, std::string>;
  EXPECT_EQ(error_of<Pair>(R"(["a"])"), "invalid length 1, expected a tuple of size 2 at line 1 column 5");
  EXPECT_EQ(error_of<Pair>(R"(["a","b","c"])"), "trailing characters at line 1 column 10");
  EXPECT_EQ(error_of<Pair>(R"("a")"), "invalid type: string \"a\", expected a tuple of size 2 at line 1 column 3");
  auto sorted = read_typed<std::map<std::string, std::string>>(R"({"b":"1","a":"2","b":"3"})");
  ASSERT_TRUE(sorted.has_value());
  EXPECT_EQ(sorted->begin()->first, "a");
  EXPECT_EQ(sorted->at("b"), "3");
  auto ordered = read_typed<OrderedMap<std::string>>(R"({"b":"1","a":"2","b":"3"})");
  ASSERT_TRUE(ordered.has_value());
  EXPECT_EQ(ordered->entries().front(), (OrderedMap<std::string>::Entry{"b", "3"}));
  EXPECT_EQ(error_of<OrderedMap<std::string>>(R"({"a":1})"), "invalid type: integer `1`, expected a string at line 1 column 6");
  using Sorted = std::map<std::string, std::string>;
  EXPECT_EQ(error_of<Sorted>("[]"), "invalid type: sequence, expected a map at line 1 column 0");
}

TEST(FoundValues, DescriptionsQuoteTextsLikeDebug) {
  EXPECT_EQ(error_of<bool>(R"("a\"b\n\u0001\u00e9'")"),
            "invalid type: string \"a\\\"b\\n\\u{1}\xC3\xA9'\", expected a boolean at line 1 column 21");
  EXPECT_EQ(error_of<std::string>("1e16"), "invalid type: floating point `1e+16`, expected a string at line 1 column 4");
  EXPECT_EQ(error_of<std::string>("false"), "invalid type: boolean `false`, expected a string at line 1 column 5");
  EXPECT_EQ(error_of<double>("{}"), "invalid type: map, expected f64 at line 1 column 0");
  EXPECT_EQ(read_typed<double>("7"), 7.0);
}

}  // namespace
}  // namespace qv::json
