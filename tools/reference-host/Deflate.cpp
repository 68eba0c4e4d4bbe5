#include "Deflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <queue>

#include "Checksums.h"

namespace {

constexpr int kLiteralCodes = 286; // 0-255 literals, 256 end of block, 257-285 lengths
constexpr int kEndOfBlock = 256;
constexpr int kMaxCodeBits = 15;
constexpr int kMaxCodeLengthBits = 7;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;

// Length symbols 257..285: the first length of each and its count of extra bits.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// The order in which the code length code's lengths are stored.
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// Length (3..258) to the index of its length symbol minus 257.
std::array<uint8_t, kMaxMatch + 1> MakeLengthIndex() {
  std::array<uint8_t, kMaxMatch + 1> index{};
  for (int code = 0; code < 29; ++code) {
    int end = code + 1 < 29 ? kLengthBase[code + 1] : kMaxMatch + 1;
    for (int length = kLengthBase[code]; length < end; ++length)
      index[std::size_t(length)] = uint8_t(code);
  }
  index[kMaxMatch] = 28; // 258 has a symbol of its own rather than 227 + 31
  return index;
}
const std::array<uint8_t, kMaxMatch + 1> kLengthIndex = MakeLengthIndex();

// Huffman code lengths for the frequencies, none longer than limit. Symbols that
// never occur get length 0; at least two symbols get a code, so that the code is
// complete as a decoder requires. Where the tree grows too deep, the frequencies
// are flattened (halved, keeping every used symbol) and the tree built again.
void BuildLengths(const uint32_t* frequencies, int count, int limit, uint8_t* lengths) {
  std::vector<uint32_t> weight(frequencies, frequencies + count);
  int used = 0;
  for (int s = 0; s < count; ++s)
    used += weight[std::size_t(s)] > 0;
  for (int s = 0; used < 2 && s < count; ++s) {
    if (weight[std::size_t(s)] == 0) {
      weight[std::size_t(s)] = 1;
      ++used;
    }
  }
  std::vector<int> parent(std::size_t(2 * count), -1);
  std::vector<int> depth(std::size_t(2 * count), 0);
  for (;;) {
    using Node = std::pair<uint64_t, int>; // weight, node
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    for (int s = 0; s < count; ++s) {
      if (weight[std::size_t(s)] > 0) queue.push({weight[std::size_t(s)], s});
    }
    int next = count;
    while (queue.size() > 1) {
      Node a = queue.top();
      queue.pop();
      Node b = queue.top();
      queue.pop();
      parent[std::size_t(a.second)] = parent[std::size_t(b.second)] = next;
      queue.push({a.first + b.first, next++});
    }
    // Parents are made after their children, so one pass from the root down sets depths.
    depth[std::size_t(next - 1)] = 0;
    for (int n = next - 2; n >= 0; --n) {
      if (n < count && weight[std::size_t(n)] == 0) continue;
      depth[std::size_t(n)] = depth[std::size_t(parent[std::size_t(n)])] + 1;
    }
    int deepest = 0;
    for (int s = 0; s < count; ++s) {
      lengths[s] = weight[std::size_t(s)] > 0 ? uint8_t(depth[std::size_t(s)]) : 0;
      deepest = std::max(deepest, int(lengths[s]));
    }
    if (deepest <= limit) return;
    for (auto& w : weight) {
      if (w > 0) w = (w >> 1) | 1;
    }
  }
}

// Canonical codes for the lengths, bit-reversed since deflate sends codes from
// their first bit while the bit writer fills from the low end.
void BuildCodes(const uint8_t* lengths, int count, uint16_t* codes) {
  uint16_t perLength[kMaxCodeBits + 1] = {};
  for (int s = 0; s < count; ++s)
    ++perLength[lengths[s]];
  perLength[0] = 0;
  uint16_t next[kMaxCodeBits + 2] = {};
  uint32_t code = 0;
  for (int bits = 1; bits <= kMaxCodeBits; ++bits) {
    code = (code + perLength[bits - 1]) << 1;
    next[bits] = uint16_t(code);
  }
  for (int s = 0; s < count; ++s) {
    int bits = lengths[s];
    if (bits == 0) continue;
    uint32_t value = next[bits]++, reversed = 0;
    for (int i = 0; i < bits; ++i)
      reversed |= ((value >> i) & 1u) << (bits - 1 - i);
    codes[s] = uint16_t(reversed);
  }
}

} // namespace

ZlibCompressor::ZlibCompressor(std::vector<uint8_t>& out) : out_(out) {
  pending_.reserve(kBlockBytes);
  tokens_.reserve(kBlockBytes);
  // CMF: deflate with a 32 KiB window; FLG: the fastest level, check bits making
  // the pair a multiple of 31.
  out_.push_back(0x78);
  out_.push_back(0x01);
}

void ZlibCompressor::Write(const uint8_t* data, std::size_t size) {
  adler_ = Adler32(data, size, adler_);
  while (size > 0) {
    std::size_t room = kBlockBytes - pending_.size();
    std::size_t n = size < room ? size : room;
    pending_.insert(pending_.end(), data, data + n);
    data += n;
    size -= n;
    if (pending_.size() == kBlockBytes) CompressBlock(false);
  }
}

void ZlibCompressor::Finish() {
  if (finished_) return;
  finished_ = true;
  if (pending_.empty()) {
    // An empty last block with the fixed codes: BFINAL, type 01, end-of-block (seven 0 bits).
    PutBits(1, 1);
    PutBits(1, 2);
    PutBits(0, 7);
  } else {
    CompressBlock(true);
  }
  if (bitCount_ % 8 != 0) PutBits(0, 8 - bitCount_ % 8);
  FlushBits();
  for (int shift = 24; shift >= 0; shift -= 8)
    out_.push_back(uint8_t(adler_ >> shift));
}

void ZlibCompressor::PutBits(uint32_t bits, int count) {
  bitBuffer_ |= uint64_t(bits) << bitCount_;
  bitCount_ += count;
  if (bitCount_ >= 32) {
    for (int i = 0; i < 4; ++i)
      out_.push_back(uint8_t(bitBuffer_ >> (8 * i)));
    bitBuffer_ >>= 32;
    bitCount_ -= 32;
  }
}

void ZlibCompressor::FlushBits() {
  while (bitCount_ > 0) {
    out_.push_back(uint8_t(bitBuffer_));
    bitBuffer_ >>= 8;
    bitCount_ = bitCount_ > 8 ? bitCount_ - 8 : 0;
  }
  bitBuffer_ = 0;
}

void ZlibCompressor::CompressBlock(bool last) {
  // Tokens: a byte value (below 256) or 256 + the length of a run at distance 1.
  uint32_t frequencies[kLiteralCodes] = {};
  tokens_.clear();
  const uint8_t* p = pending_.data();
  const std::size_t n = pending_.size();
  int previous = previous_;
  for (std::size_t i = 0; i < n;) {
    const uint8_t byte = p[i];
    if (byte == previous) {
      std::size_t end = i + 1;
      const std::size_t limit = std::min(n, i + kMaxMatch);
      while (end < limit && p[end] == byte)
        ++end;
      const std::size_t length = end - i;
      if (length >= kMinMatch) {
        tokens_.push_back(uint16_t(256 + length));
        ++frequencies[257 + kLengthIndex[length]];
        i = end;
        continue;
      }
    }
    tokens_.push_back(byte);
    ++frequencies[byte];
    previous = byte;
    ++i;
  }
  previous_ = previous;
  frequencies[kEndOfBlock] = 1;

  uint8_t lengths[kLiteralCodes + 2] = {};
  uint16_t codes[kLiteralCodes] = {};
  BuildLengths(frequencies, kLiteralCodes, kMaxCodeBits, lengths);
  BuildCodes(lengths, kLiteralCodes, codes);
  int literalCount = kLiteralCodes;
  while (literalCount > 257 && lengths[literalCount - 1] == 0)
    --literalCount;
  // Only distance 1 is used; two one-bit distance codes keep that code complete.
  lengths[literalCount] = 1;
  lengths[literalCount + 1] = 1;
  const int distanceCount = 2;
  const int allLengths = literalCount + distanceCount;

  // The code lengths are sent as plain symbols 0..15 (no repeat codes): a few
  // hundred bytes more per block than the shortest header, well under 1 % of it.
  uint32_t lengthFrequencies[19] = {};
  for (int s = 0; s < allLengths; ++s)
    ++lengthFrequencies[lengths[s]];
  uint8_t lengthLengths[19] = {};
  uint16_t lengthCodes[19] = {};
  BuildLengths(lengthFrequencies, 19, kMaxCodeLengthBits, lengthLengths);
  BuildCodes(lengthLengths, 19, lengthCodes);
  int lengthCodeCount = 19;
  while (lengthCodeCount > 4 && lengthLengths[kCodeLengthOrder[lengthCodeCount - 1]] == 0)
    --lengthCodeCount;

  PutBits(last ? 1 : 0, 1);
  PutBits(2, 2); // dynamic Huffman codes
  PutBits(uint32_t(literalCount - 257), 5);
  PutBits(uint32_t(distanceCount - 1), 5);
  PutBits(uint32_t(lengthCodeCount - 4), 4);
  for (int i = 0; i < lengthCodeCount; ++i)
    PutBits(lengthLengths[kCodeLengthOrder[i]], 3);
  for (int s = 0; s < allLengths; ++s)
    PutBits(lengthCodes[lengths[s]], lengthLengths[lengths[s]]);

  const uint16_t distanceOne = 0; // the first of the two one-bit distance codes
  for (uint16_t token : tokens_) {
    if (token < 256) {
      PutBits(codes[token], lengths[token]);
    } else {
      const int length = token - 256;
      const int index = kLengthIndex[std::size_t(length)];
      PutBits(codes[257 + index], lengths[257 + index]);
      if (kLengthExtra[index] > 0)
        PutBits(uint32_t(length - kLengthBase[index]), kLengthExtra[index]);
      PutBits(distanceOne, 1);
    }
  }
  PutBits(codes[kEndOfBlock], lengths[kEndOfBlock]);
  pending_.clear();
}
