#include "crypto/p256.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/params.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace qv::crypto {

namespace {

using Scalar = std::array<unsigned char, kP256ScalarSize>;

// The field prime p and the group order n, big-endian.
constexpr Scalar kFieldPrime = {0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff,
                                0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
constexpr Scalar kGroupOrder = {0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff,
                                0xff, 0xff, 0xff, 0xff, 0xff, 0xbc, 0xe6, 0xfa, 0xad, 0xa7, 0x17,
                                0x9e, 0x84, 0xf3, 0xb9, 0xca, 0xc2, 0xfc, 0x63, 0x25, 0x51};

// floor(n / 2).
constexpr Scalar kHalfOrder = [] {
  Scalar h{};
  unsigned carry = 0;
  for (std::size_t i = 0; i < h.size(); ++i) {
    h[i] = static_cast<unsigned char>((carry << 7) | (kGroupOrder[i] >> 1));
    carry = kGroupOrder[i] & 1u;
  }
  return h;
}();

// Big-endian comparison of equal-length byte strings.
int compare_be(std::span<const unsigned char> a, std::span<const unsigned char> b) {
  return std::memcmp(a.data(), b.data(), a.size());
}

bool is_zero(std::span<const unsigned char> a) {
  return std::all_of(a.begin(), a.end(), [](unsigned char c) { return c == 0; });
}

bool in_scalar_range(const Scalar& x) { return !is_zero(x) && compare_be(x, kGroupOrder) < 0; }

// n - x for 0 < x < n.
Scalar order_minus(const Scalar& x) {
  Scalar out{};
  int borrow = 0;
  for (std::size_t i = x.size(); i-- > 0;) {
    int d = int{kGroupOrder[i]} - int{x[i]} - borrow;
    borrow = d < 0 ? 1 : 0;
    out[i] = static_cast<unsigned char>(d + (borrow << 8));
  }
  return out;
}

struct GroupFree {
  void operator()(EC_GROUP* g) const { EC_GROUP_free(g); }
};
struct PointFree {
  void operator()(EC_POINT* p) const { EC_POINT_free(p); }
};
struct BnCtxFree {
  void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct PkeyCtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct SigFree {
  void operator()(ECDSA_SIG* s) const { ECDSA_SIG_free(s); }
};

// The library queues an error record for every refused input; drop them so
// they do not pile up on the calling thread.
struct ErrorQueueGuard {
  ~ErrorQueueGuard() { ERR_clear_error(); }
};

// Decodes an accepted SEC1 form through the library and writes the point
// uncompressed. For the compact form the point is first read as compressed
// with an even y, and y is then replaced by the smaller of y and p - y.
bool decode_point(std::span<const unsigned char> sec1, bool compact,
                  std::array<unsigned char, kP256UncompressedSize>& out) {
  std::unique_ptr<EC_GROUP, GroupFree> group(EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1));
  std::unique_ptr<BN_CTX, BnCtxFree> ctx(BN_CTX_new());
  if (!group || !ctx) return false;
  std::unique_ptr<EC_POINT, PointFree> point(EC_POINT_new(group.get()));
  if (!point) return false;

  std::array<unsigned char, 33> compressed{};
  std::span<const unsigned char> input = sec1;
  if (compact) {
    compressed[0] = 0x02;
    std::memcpy(compressed.data() + 1, sec1.data() + 1, 32);
    input = compressed;
  }
  if (EC_POINT_oct2point(group.get(), point.get(), input.data(), input.size(), ctx.get()) != 1) return false;
  if (EC_POINT_is_at_infinity(group.get(), point.get()) == 1) return false;
  if (EC_POINT_is_on_curve(group.get(), point.get(), ctx.get()) != 1) return false;
  if (EC_POINT_point2oct(group.get(), point.get(), POINT_CONVERSION_UNCOMPRESSED, out.data(), out.size(),
                         ctx.get()) != out.size()) {
    return false;
  }
  if (compact) {
    // y and p - y, as big-endian bytes; keep the smaller.
    Scalar y{};
    std::memcpy(y.data(), out.data() + 33, 32);
    if (!is_zero(y)) {
      Scalar neg{};
      int borrow = 0;
      for (std::size_t i = y.size(); i-- > 0;) {
        int d = int{kFieldPrime[i]} - int{y[i]} - borrow;
        borrow = d < 0 ? 1 : 0;
        neg[i] = static_cast<unsigned char>(d + (borrow << 8));
      }
      if (compare_be(neg, y) < 0) std::memcpy(out.data() + 33, neg.data(), 32);
    }
  }
  return true;
}

// The AlgorithmIdentifier {id-ecPublicKey, prime256v1} in DER, the only
// algorithm a P-256 SubjectPublicKeyInfo may carry here.
constexpr std::array<unsigned char, 21> kEcP256AlgorithmId = {0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                                               0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a,
                                                               0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07};

// Reads one DER INTEGER at `pos` as a scalar in 1 .. n - 1.
bool read_der_scalar(std::span<const unsigned char> der, std::size_t& pos, Scalar& out) {
  if (pos + 2 > der.size() || der[pos] != 0x02) return false;
  const std::size_t len = der[pos + 1];
  pos += 2;
  if (len == 0 || len >= 0x80 || len > der.size() - pos) return false;
  std::span<const unsigned char> value = der.subspan(pos, len);
  pos += len;
  if (value[0] & 0x80) return false;                                         // negative
  if (value.size() > 1 && value[0] == 0 && !(value[1] & 0x80)) return false;  // not minimal
  if (value[0] == 0) value = value.subspan(1);
  if (value.size() > out.size()) return false;
  out.fill(0);
  std::memcpy(out.data() + (out.size() - value.size()), value.data(), value.size());
  return in_scalar_range(out);
}

}  // namespace

std::optional<P256PublicKey> p256_key_from_sec1(std::span<const unsigned char> bytes) {
  if (bytes.empty()) return std::nullopt;
  const unsigned char tag = bytes[0];
  bool compact = false;
  switch (tag) {
    case 0x02:
    case 0x03:
      if (bytes.size() != 33) return std::nullopt;
      break;
    case 0x04:
      if (bytes.size() != 65) return std::nullopt;
      if (compare_be(bytes.subspan(33, 32), kFieldPrime) >= 0) return std::nullopt;
      break;
    case 0x05:
      if (bytes.size() != 33) return std::nullopt;
      compact = true;
      break;
    default:
      return std::nullopt;
  }
  if (compare_be(bytes.subspan(1, 32), kFieldPrime) >= 0) return std::nullopt;
  ErrorQueueGuard errors;
  P256PublicKey key;
  if (!decode_point(bytes, compact, key.bytes_)) return std::nullopt;
  return key;
}

std::optional<P256PublicKey> p256_key_from_spki_der(std::span<const unsigned char> der) {
  // SEQUENCE { AlgorithmIdentifier, BIT STRING }: every length is below 128
  // for a P-256 point, so only the short length form is minimal.
  const std::size_t prefix = 2 + kEcP256AlgorithmId.size();
  if (der.size() < prefix + 3 || der[0] != 0x30 || der[1] != der.size() - 2) return std::nullopt;
  if (!std::equal(kEcP256AlgorithmId.begin(), kEcP256AlgorithmId.end(), der.begin() + 2)) return std::nullopt;
  const std::size_t bits = prefix;
  if (der[bits] != 0x03 || der[bits + 1] != der.size() - bits - 2) return std::nullopt;
  if (der[bits + 2] != 0x00) return std::nullopt;  // unused bits
  return p256_key_from_sec1(der.subspan(bits + 3));
}

std::array<unsigned char, kP256RawSignatureSize> P256Signature::to_bytes() const {
  std::array<unsigned char, kP256RawSignatureSize> out{};
  std::memcpy(out.data(), r.data(), r.size());
  std::memcpy(out.data() + r.size(), s.data(), s.size());
  return out;
}

std::optional<P256Signature> p256_signature_from_bytes(std::span<const unsigned char> bytes) {
  if (bytes.size() != kP256RawSignatureSize) return std::nullopt;
  P256Signature sig;
  std::memcpy(sig.r.data(), bytes.data(), kP256ScalarSize);
  std::memcpy(sig.s.data(), bytes.data() + kP256ScalarSize, kP256ScalarSize);
  if (!in_scalar_range(sig.r) || !in_scalar_range(sig.s)) return std::nullopt;
  return sig;
}

std::optional<P256Signature> p256_signature_from_der(std::span<const unsigned char> der) {
  // Two INTEGERs of at most 33 content bytes keep the SEQUENCE below 128.
  if (der.size() < 2 || der[0] != 0x30 || der[1] >= 0x80 || der[1] != der.size() - 2) return std::nullopt;
  P256Signature sig;
  std::size_t pos = 2;
  if (!read_der_scalar(der, pos, sig.r) || !read_der_scalar(der, pos, sig.s)) return std::nullopt;
  if (pos != der.size()) return std::nullopt;
  return sig;
}

P256Signature p256_low_s(const P256Signature& signature) {
  P256Signature out = signature;
  if (compare_be(signature.s, kHalfOrder) > 0) out.s = order_minus(signature.s);
  return out;
}

bool p256_verify_sha256(const P256PublicKey& key, std::span<const unsigned char> message,
                        const P256Signature& signature) {
  ErrorQueueGuard errors;
  std::array<unsigned char, kP256UncompressedSize> point = key.uncompressed();
  char group_name[] = "prime256v1";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group_name, 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()),
      OSSL_PARAM_construct_end(),
  };
  std::unique_ptr<EVP_PKEY_CTX, PkeyCtxFree> pctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!pctx || EVP_PKEY_fromdata_init(pctx.get()) != 1) return false;
  EVP_PKEY* raw_key = nullptr;
  if (EVP_PKEY_fromdata(pctx.get(), &raw_key, EVP_PKEY_PUBLIC_KEY, const_cast<OSSL_PARAM*>(params)) != 1) {
    return false;
  }
  std::unique_ptr<EVP_PKEY, PkeyFree> pkey(raw_key);

  // The library takes the signature as DER.
  std::unique_ptr<ECDSA_SIG, SigFree> sig(ECDSA_SIG_new());
  if (!sig) return false;
  BIGNUM* r = BN_bin2bn(signature.r.data(), static_cast<int>(signature.r.size()), nullptr);
  BIGNUM* s = BN_bin2bn(signature.s.data(), static_cast<int>(signature.s.size()), nullptr);
  if (!r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  unsigned char* der = nullptr;
  const int der_len = i2d_ECDSA_SIG(sig.get(), &der);
  if (der_len <= 0) return false;
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> der_owner(der, [](unsigned char* p) { OPENSSL_free(p); });

  std::unique_ptr<EVP_MD_CTX, MdCtxFree> mctx(EVP_MD_CTX_new());
  if (!mctx || EVP_DigestVerifyInit(mctx.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1) return false;
  static const unsigned char kEmpty = 0;
  const unsigned char* m = message.empty() ? &kEmpty : message.data();
  return EVP_DigestVerify(mctx.get(), der, static_cast<std::size_t>(der_len), m, message.size()) == 1;
}

std::expected<std::array<unsigned char, kP256UncompressedSize>, std::string_view> normalize_p256_key(
    std::span<const unsigned char> bytes) {
  if (auto key = p256_key_from_sec1(bytes)) return key->uncompressed();
  if (auto key = p256_key_from_spki_der(bytes)) return key->uncompressed();
  return std::unexpected(kNotAP256PublicKey);
}

std::expected<std::array<unsigned char, kP256RawSignatureSize>, std::string_view> normalize_p256_signature(
    std::span<const unsigned char> bytes) {
  auto sig = p256_signature_from_bytes(bytes);
  if (!sig) sig = p256_signature_from_der(bytes);
  if (!sig) return std::unexpected(kNotAP256Signature);
  return p256_low_s(*sig).to_bytes();
}

}  // namespace qv::crypto
