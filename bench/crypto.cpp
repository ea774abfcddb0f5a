#include <benchmark/benchmark.h>
#include <sodium.h>

#include <string>
#include <vector>

#include "crypto/ed25519.hpp"
#include "crypto/hex.hpp"
#include "crypto/sha256.hpp"
#include "crypto/p256.hpp"
#include "crypto/random.hpp"
#include "crypto/signature.hpp"

namespace {

void BM_HexEncode(benchmark::State& state) {
  std::vector<unsigned char> bytes(static_cast<std::size_t>(state.range(0)));
  qv::crypto::os_random_bytes(bytes);
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::hex_encode(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_HexEncode)->Arg(1 << 20);

void BM_Sha256(benchmark::State& state) {
  const std::string data(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::sha256_hex(data));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * state.range(0)));
}
BENCHMARK(BM_Sha256)->Arg(1 << 20);

void BM_HexDecode(benchmark::State& state) {
  std::vector<unsigned char> bytes(static_cast<std::size_t>(state.range(0)));
  qv::crypto::os_random_bytes(bytes);
  const std::string hex = qv::crypto::hex_encode(bytes);
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::decode_hex(hex));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_HexDecode)->Arg(1 << 20);

void BM_GenerateSigningKey(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qv::crypto::generate_signing_key().public_key());
}
BENCHMARK(BM_GenerateSigningKey);

// Signed record hashes under distinct keys, as a chain of records has them.
struct SignedSet {
  std::vector<std::string> messages, signatures_hex, keys_hex;
  std::vector<std::array<unsigned char, 64>> signatures;
  std::vector<std::array<unsigned char, 32>> keys;
};

const SignedSet& signed_set() {
  static const SignedSet set = [] {
    SignedSet s;
    for (int i = 0; i < 256; ++i) {
      const auto key = qv::crypto::generate_signing_key();
      std::array<unsigned char, 32> digest{};
      qv::crypto::os_random_bytes(digest);
      const std::string message = "sha256:" + qv::crypto::hex_encode(digest);
      const auto sig = key.sign({reinterpret_cast<const unsigned char*>(message.data()), message.size()});
      s.messages.push_back(message);
      s.signatures.push_back(sig);
      s.keys.push_back(key.public_key());
      s.signatures_hex.push_back(qv::crypto::hex_encode(sig));
      s.keys_hex.push_back(qv::crypto::hex_encode(key.public_key()));
    }
    return s;
  }();
  return set;
}

// The floor: libsodium's own detached verification on raw bytes.
void BM_Ed25519VerifyLibsodium(benchmark::State& state) {
  const auto& s = signed_set();
  if (sodium_init() < 0) state.SkipWithError("libsodium");
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& m = s.messages[i];
    const int r = crypto_sign_verify_detached(s.signatures[i].data(), reinterpret_cast<const unsigned char*>(m.data()),
                                              m.size(), s.keys[i].data());
    if (r != 0) state.SkipWithError("did not verify");
    i = (i + 1) % s.messages.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Ed25519VerifyLibsodium);

// The check a stored record's seal runs: hex key and signature texts.
void BM_Ed25519VerifyHex(benchmark::State& state) {
  const auto& s = signed_set();
  std::size_t i = 0;
  for (auto _ : state) {
    if (!qv::crypto::verify_ed25519_hex(s.messages[i], s.signatures_hex[i], s.keys_hex[i])) {
      state.SkipWithError("did not verify");
    }
    i = (i + 1) % s.messages.size();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_Ed25519VerifyHex);

// The decompression test alone (what a refused key costs).
void BM_Ed25519KeyFromBytes(benchmark::State& state) {
  const auto& s = signed_set();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qv::crypto::ed25519_key_from_bytes(s.keys[i]));
    i = (i + 1) % s.keys.size();
  }
}
BENCHMARK(BM_Ed25519KeyFromBytes);

void BM_P256VerifyHex(benchmark::State& state) {
  // A published P-256 key and its SHA-256 signature of "sample".
  const std::string key =
      "0460fed4ba255a9d31c961eb74c6356d68c049b8923b61fa6ce669622e60f29fb6"
      "7903fe1008b8bc99a41ae9e95628bc64f2f1b20c2d7e9f5177a3c294d4462299";
  const std::string sig =
      "efd48b2aacb6a8fd1140dd9cd45e81d69d2c877b56aaf991c34d0ea84eaf3716"
      "f7cb1c942d657c41d436c7a1b6e29f65f3e900dbb9aff4064dc4ab2f843acda8";
  for (auto _ : state) {
    if (!qv::crypto::verify_p256_sha256("sample", sig, key)) state.SkipWithError("did not verify");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_P256VerifyHex);

}  // namespace

BENCHMARK_MAIN();
