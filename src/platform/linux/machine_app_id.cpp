// SHA-256 (FIPS 180-4) and HMAC (RFC 2104), only as far as the id derivation needs them.
#include "platform/linux/machine_app_id.h"

#include <cstdio>

#include "common/hex.h"

namespace corvane {

namespace {

constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr size_t kBlock = 64;

uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void Compress(uint32_t h[8], const uint8_t* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 |
           uint32_t{block[4 * i + 2]} << 8 | uint32_t{block[4 * i + 3]};
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], k = h[7];
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                        kRoundConstants[i] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    k = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
  h[5] += f;
  h[6] += g;
  h[7] += k;
}

// 16 bytes from exactly 32 hexadecimal digits; nothing otherwise.
std::optional<std::string> Id128(const std::string& hex) {
  if (hex.size() != 32) return std::nullopt;
  std::string bytes;
  for (size_t i = 0; i < 32; i += 2) {
    const int hi = HexDigit(hex[i]);
    const int lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes += static_cast<char>(hi << 4 | lo);
  }
  return bytes;
}

}  // namespace

Sha256Digest Sha256(const std::string& bytes) {
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::string padded = bytes;
  padded += '\x80';
  while (padded.size() % kBlock != kBlock - 8) padded += '\0';
  const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
  for (int i = 7; i >= 0; --i) padded += static_cast<char>(bits >> (8 * i));
  for (size_t i = 0; i < padded.size(); i += kBlock) {
    Compress(h, reinterpret_cast<const uint8_t*>(padded.data() + i));
  }
  Sha256Digest digest{};
  for (int i = 0; i < 32; ++i) digest[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

Sha256Digest HmacSha256(const std::string& key, const std::string& message) {
  std::string block_key = key;
  if (block_key.size() > kBlock) {
    const Sha256Digest d = Sha256(key);
    block_key.assign(d.begin(), d.end());
  }
  block_key.resize(kBlock, '\0');
  std::string inner;
  std::string outer;
  for (char c : block_key) {
    inner += static_cast<char>(c ^ 0x36);
    outer += static_cast<char>(c ^ 0x5c);
  }
  const Sha256Digest inner_digest = Sha256(inner + message);
  return Sha256(outer + std::string(inner_digest.begin(), inner_digest.end()));
}

// HMAC-SHA256 keyed with the machine id over the application id, cut to 128 bits and
// marked as a version 4 UUID, as systemd does.
std::optional<std::string> AppSpecificId(const std::string& machine_id_text,
                                         const std::string& app_id) {
  std::string text = machine_id_text;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  const std::optional<std::string> machine = Id128(text);
  const std::optional<std::string> app = Id128(app_id);
  if (!machine || !app || *machine == std::string(16, '\0')) return std::nullopt;
  Sha256Digest mac = HmacSha256(*machine, *app);
  mac[6] = (mac[6] & 0x0F) | 0x40;
  mac[8] = (mac[8] & 0x3F) | 0x80;
  std::string out;
  char hex[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", mac[i]);
    out += hex;
  }
  return out;
}

}  // namespace corvane
