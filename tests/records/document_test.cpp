// Signed documents: the hash, signing and checking, and the JSON form.
#include <gtest/gtest.h>

#include <string>

#include "common/layouts.hpp"
#include "crypto/digest.hpp"
#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "records/digest.hpp"
#include "json/reader.hpp"
#include "records/document.hpp"

namespace {

using namespace qv::records;
using qv::json::read_json;

qv::json::Value parse(std::string_view text) { return read_json(text).value(); }

std::string hash_of(std::string_view kind, std::string_view content) {
  return compute_document_hash(kind, parse(content)).value();
}

TEST(DocumentHash, CanonicalDigestOfKindAndContent) {
  EXPECT_EQ(hash_of("report", R"({"b":1,"a":[2,{"d":0,"c":1}]})"),
            qv::records::canonical_digest(parse(R"({"kind":"report","content":{"a":[2,{"c":1,"d":0}],"b":1}})")).value());
  EXPECT_EQ(hash_of("k", "{\"a\":1, \"b\":2}"), hash_of("k", "{\"b\":2,\"a\":1}"));
  EXPECT_NE(hash_of("k", "1"), hash_of("k", "1.0"));
  EXPECT_EQ(hash_of("k", "1.0"), hash_of("k", "1e0"));
  EXPECT_NE(hash_of("k", "1"), hash_of("K", "1"));
  EXPECT_EQ(compute_document_hash("k", qv::json::Value(std::numeric_limits<double>::quiet_NaN())).error().display(),
            "serialisation error: non-finite float in canonical JSON");
  // Objects of one shape (key count, sizes, first and last 8 bytes) whose
  // 17-byte keys differ only in their middle byte: each sorted by its own
  // keys, written as a value and streamed from the text alike.
  const std::string shaped = R"([{"abcdefghCijklmnop":1,"abcdefghBijklmnop":2,"abcdefghAijklmnop":3},)"
                             R"({"abcdefghCijklmnop":4,"abcdefghAijklmnop":5,"abcdefghBijklmnop":6}])";
  const std::string sorted = R"({"content":[{"abcdefghAijklmnop":3,"abcdefghBijklmnop":2,"abcdefghCijklmnop":1},)"
                             R"({"abcdefghAijklmnop":5,"abcdefghBijklmnop":6,"abcdefghCijklmnop":4}],"kind":"k"})";
  const std::string expected = qv::crypto::text_digest(sorted);
  EXPECT_EQ(hash_of("k", shaped), expected);
  const std::string streamed = sign_document_json("k", shaped, std::string(64, '7')).value();
  EXPECT_EQ(read_signed_document_json(streamed).value().content_hash, expected);
}

const std::string kSeed = "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb";

SignedDocument signed_doc(std::string_view kind = "replay", std::string_view content = R"({"z":1,"a":[true]})") {
  const auto key = qv::crypto::signing_key_from_seed_hex(kSeed).value();
  return sign_document(std::string(kind), parse(content), key).value();
}

std::string check(const SignedDocument& d) {
  const auto ok = verify_signed_document(d);
  return ok ? "ok" : ok.error().display();
}

TEST(SignedDocumentCheck, SignedVerifiesAndEveryChangeIsNamed) {
  const SignedDocument good = signed_doc();
  EXPECT_EQ(good.signer_public_key, "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
  EXPECT_EQ(check(good), "ok");
  // The member order of the content does not enter the hash or signature.
  EXPECT_EQ(signed_doc("replay", R"({"a":[true],"z":1})").signature, good.signature);

  SignedDocument d = good;
  d.content = parse(R"({"z":2,"a":[true]})");
  d.signature = "00";  // not reported: the hash is checked first
  EXPECT_EQ(check(d), "integrity error: replay: content hash mismatch");
  d = good;
  d.kind = "measurement";
  EXPECT_EQ(check(d), "integrity error: measurement: content hash mismatch");
  d = good;
  d.signer_public_key = d.signer_public_key.substr(2);
  EXPECT_EQ(check(d), "integrity error: bad public key");
  d = good;
  d.signature += "00";
  EXPECT_EQ(check(d), "integrity error: bad signature encoding");
  d = good;
  d.signature[5] = d.signature[5] == 'f' ? 'e' : 'f';
  EXPECT_EQ(check(d), "integrity error: replay: signature does not verify");
}

std::string read_error(std::string_view text) {
  const auto r = read_signed_document_json(text);
  return r ? "ok" : r.error().display();
}

TEST(SignedDocumentJson, WritesInTableOrderAndReadsBothForms) {
  const SignedDocument good = signed_doc("r", R"({"z":1.50,"a":[1e2]})");
  const std::string text = write_signed_document_json(good).value();
  EXPECT_EQ(text, R"({"kind":"r","content":{"z":1.5,"a":[100.0]},"content_hash":")" + good.content_hash +
                      R"(","signature":")" + good.signature + R"(","signer_public_key":")" + good.signer_public_key +
                      "\"}");
  EXPECT_EQ(read_signed_document_json(text).value(), good);
  const std::string reordered = R"( {"signer_public_key":")" + good.signer_public_key + R"(","extra":{"x":[1,{}]},)" +
                                R"("signature":")" + good.signature + R"(","content_hash":")" + good.content_hash +
                                R"(","content":{"z":1.5,"a":[100.0]},"kind":"r"} )";
  EXPECT_EQ(read_signed_document_json(reordered).value(), good);
  const std::string array = R"(["r",{"z":1.5,"a":[100.0]},")" + good.content_hash + R"(",")" + good.signature +
                            R"(",")" + good.signer_public_key + "\"]";
  EXPECT_EQ(read_signed_document_json(array).value(), good);
  EXPECT_EQ(read_error(array.substr(0, array.size() - 1) + ",1]"), "trailing characters at line 1 column " +
                                                                        std::to_string(array.size() + 1));
}

TEST(SignedDocumentJson, ReaderMessages) {
  EXPECT_EQ(read_error("5"), "invalid type: integer `5`, expected struct SignedDocument at line 1 column 1");
  EXPECT_EQ(read_error("\"a\\n\""), "invalid type: string \"a\\n\", expected struct SignedDocument at line 1 column 5");
  EXPECT_EQ(read_error("-2.50"), "invalid type: floating point `-2.5`, expected struct SignedDocument at line 1 column 5");
  EXPECT_EQ(read_error("{}"), "missing field `kind` at line 1 column 2");
  EXPECT_EQ(read_error(R"({"kind":"a","content":null,"signature":"","signer_public_key":""})"),
            "missing field `content_hash` at line 1 column 65");
  EXPECT_EQ(read_error(R"({"kind":"a","kind" :"b"})"), "duplicate field `kind` at line 1 column 19");
  EXPECT_EQ(read_error(R"({"kind":5})"), "invalid type: integer `5`, expected a string at line 1 column 9");
  EXPECT_EQ(read_error(R"({"kind":[1]})"), "invalid type: sequence, expected a string at line 1 column 8");
  EXPECT_EQ(read_error(R"(["a",1])"), "invalid length 2, expected struct SignedDocument with 5 elements at line 1 column 7");
  EXPECT_EQ(read_error(R"({"kind":"a"} x)"), "missing field `content` at line 1 column 12");
  EXPECT_EQ(read_error(R"({"kind":"a","content":1,"content_hash":"","signature":"","signer_public_key":""}\x)"),
            "trailing characters at line 1 column 81");
  // The document's own object counts as the first level of nesting.
  std::string deep = R"({"content":)" + std::string(126, '[') + std::string(126, ']') + "}";
  EXPECT_EQ(read_error(deep), "missing field `kind` at line 1 column " + std::to_string(deep.size()));
  deep = R"({"content":)" + std::string(127, '[') + std::string(127, ']') + "}";
  EXPECT_EQ(read_error(deep), "recursion limit exceeded at line 1 column 138");
}

// The readers accept content nested 127 deep, one level short of a document
// holding it: signing refuses with the readers' message rather than return
// a document that could never be verified; one level less signs and verifies.
TEST(SignedDocumentJson, NoDocumentNestedBeyondTheReadersLimit) {
  const std::string seed(64, '7');
  for (const char* open : {"[", "{\"a\":"}) {
    auto nested = [&](std::size_t depth) {
      std::string text;
      for (std::size_t i = 0; i < depth; ++i) text += open;
      text += "0";
      text += std::string(depth, *open == '[' ? ']' : '}');
      return text;
    };
    const auto refused = sign_document_json("k", nested(127), seed);
    ASSERT_FALSE(refused);
    EXPECT_EQ(std::get<InputError>(refused.error()).text, "recursion limit exceeded");
    const auto signed_doc = sign_document_json("k", nested(126), seed);
    ASSERT_TRUE(signed_doc);
    EXPECT_TRUE(verify_document_json(*signed_doc));
  }
}

}  // namespace

namespace {

// The text operations read no value tree; what they write and accept is
// what the value-based ones give for the same content, keys given twice and
// escaped keys included.
TEST(SignedDocumentText, SameAsThroughAValue) {
  const auto key = qv::crypto::signing_key_from_seed_hex(kSeed).value();
  std::size_t compared = 0;
  for (const char* content : {R"({"z":1,"a":[true]})", R"( {"b" : 1, "a":2, "b":[3, {"\u0063":1,"c":2}]} )",
                              R"("t\u00e9xt")", "[1, -2, 3.5e3, null, {}, []]", R"({"\u0062":{},"a":0})",
                              R"([1.50, 1E-5, 0.10000000000000001, 2.0, "a\"b\u001f\/", {"y":[{"b":1,"a":2}],"x":0}])"}) {
    for (const char* kind : {"replay", "k\"\n\u00e9"}) {
      const std::string via_value = write_signed_document_json(sign_document(kind, parse(content), key).value()).value();
      const auto text = sign_document_json(kind, content, kSeed);
      ASSERT_TRUE(text.has_value()) << content;
      EXPECT_EQ(*text, via_value) << content;
      EXPECT_TRUE(verify_document_json(*text).has_value()) << content;
      ++compared;
    }
  }
  EXPECT_EQ(compared, 12u);
  auto text = sign_document_json("k", R"({"a":1,"a":2})", kSeed).value();
  text.replace(text.find(R"("a":2)"), 5, R"("a":3)");
  EXPECT_EQ(display(verify_document_json(text).error()), "integrity error: k: content hash mismatch");
  EXPECT_EQ(display(sign_document_json("k", "[1,]", kSeed).error()), "trailing comma at line 1 column 4");
  EXPECT_EQ(display(verify_document_json(R"({"kind":"k","content":[1e400]})").error()),
            "number out of range at line 1 column 28");
}

// A stored document may hold its content as another writer wrote it
// (floats in their own forms, other escapes, white space): it is hashed as
// the value it reads as, so it verifies, and a changed digit is still found.
TEST(SignedDocumentText, ContentAsWrittenElsewhereVerifies) {
  const std::string content =
      R"({ "v": [1.50, 2.0, 1e3, 1E-5, 0.1000, 0.10000000000000001, 3500.00, -0.0e0],)"
      R"( "t": "a\"b\nc\/d\u00e9", "n": {"b": 0.30000000000000004, "a": 98765432109876543210}})";
  const std::string doc = sign_document_json("report", content, kSeed).value();
  const std::size_t start = doc.find(R"("content":)") + 10;
  const std::size_t end = doc.find(R"(,"content_hash":)");
  EXPECT_EQ(doc.substr(start, end - start),
            R"({"v":[1.5,2.0,1000.0,0.00001,0.1,0.1,3500.0,-0.0],"t":"a\"b\nc/d)"
            "\xC3\xA9"
            R"(","n":{"b":0.30000000000000004,"a":9.876543210987654e+19}})");
  std::string as_written = doc;
  as_written.replace(start, end - start, content);
  EXPECT_TRUE(verify_document_json(as_written).has_value());
  as_written.replace(as_written.find("1.50"), 4, "1.51");
  EXPECT_EQ(display(verify_document_json(as_written).error()), "integrity error: report: content hash mismatch");
}

}  // namespace

namespace {

// Every layout of a signed document (white space at every place, escaped
// letters, floats in other forms, members in another order) verifies by
// the text road and by the value road, with the document's hash; a
// document signed over the hash of a content text that keeps such a layout
// is refused by both.
TEST(SignedDocumentText, EveryLayoutVerifiesAsTheCompactText) {
  const auto key = qv::crypto::signing_key_from_seed_hex(kSeed).value();
  const auto roads = [](const std::string& text) {
    const auto streamed = verify_document_json(text);
    const auto document = read_signed_document_json(text);
    if (!document) return std::vector<std::string>{"unread: " + document.error().display()};
    const auto checked = verify_signed_document(*document);
    return std::vector<std::string>{streamed ? "ok" : display(streamed.error()),
                                    checked ? "ok" : checked.error().display(),
                                    compute_document_hash(document->kind, document->content).value()};
  };
  std::size_t compared = 0;
  std::size_t forged = 0;
  for (const char* content : {R"({"z":1,"a":[true]})", R"({"a":[1.5,0.25],"b":{"y":-0.0,"x":1e-7},"c":"Text"})",
                              R"([1,-2,3.5e3,null,{},[],{"b":{"d":[2.5]},"a":"a\"b\u001f\/"}])",
                              R"({"v":[1.5,2.0,1e3,98765432109876543210],"t":"a\nc\u00e9","n":{"b":0.30000000000000004}})"}) {
    const std::string compact = sign_document_json("replay", content, kSeed).value();
    const SignedDocument document = read_signed_document_json(compact).value();
    const std::vector<std::string> expected = {"ok", "ok", document.content_hash};
    ASSERT_EQ(roads(compact), expected);
    for (const qv::testing::Layout& layout : qv::testing::layouts(compact)) {
      EXPECT_EQ(roads(layout.text), expected) << layout.what << ": " << layout.text;
      ++compared;
      if (layout.kind == qv::testing::Layout::Kind::Escape) continue;  // the hash text is not found to replace
      const std::string_view laid_out = qv::testing::top_member_value(layout.text, R"("content")");
      const std::string hash = compute_document_hash_of_canonical("replay", laid_out);
      if (hash == document.content_hash) continue;  // the layout left the content in canonical form
      std::string text = layout.text;
      text.replace(text.find(document.content_hash), document.content_hash.size(), hash);
      text.replace(text.find(document.signature), document.signature.size(),
                   qv::crypto::hex_encode(key.sign_text(hash)));
      const std::vector<std::string> got = roads(text);
      ASSERT_EQ(got.size(), 3u) << text;
      EXPECT_EQ(got[0], "integrity error: replay: content hash mismatch") << layout.what;
      EXPECT_EQ(got[1], "integrity error: replay: content hash mismatch") << layout.what;
      ++forged;
    }
  }
  EXPECT_EQ(compared, 835u);
  EXPECT_EQ(forged, 736u);
}

}  // namespace
