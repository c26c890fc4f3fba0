#include "cab/lzx_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <queue>

namespace qb::cab {

namespace {

constexpr int kMinMatch = 2;
constexpr int kMaxMatch = 257;
constexpr int kNumChars = 256;
constexpr int kPrimaryLengths = 7;
constexpr int kLengthSymbols = 249;
constexpr int kMaxSlots = 50;
constexpr int kMaxMainSymbols = kNumChars + kMaxSlots * 8;
constexpr int kAlignedSymbols = 8;
constexpr int kPretreeSymbols = 20;
constexpr uint32_t kTranslationSize = 12000000;
constexpr int kMaxHashBits = 19;
constexpr size_t kMaxBlockFrames = 32;

enum BlockType { kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

// Offsets are coded as a position slot and extra bits; slots 0 to 2 stand
// for the three most recent offsets, and the offsets of the other slots are
// counted from -2 (slot 3 is offset 1).
struct SlotTables {
  uint32_t base[kMaxSlots + 1];
  uint8_t extra[kMaxSlots + 1];
  SlotTables() {
    for (int i = 0; i <= kMaxSlots; ++i) {
      extra[i] = static_cast<uint8_t>(i < 4 ? 0 : i < 36 ? (i - 2) / 2 : 17);
    }
    base[0] = 0;
    for (int i = 1; i <= kMaxSlots; ++i) base[i] = base[i - 1] + (1u << extra[i - 1]);
  }
  // The slot of a formatted offset (the distance plus 2).
  int SlotOf(uint32_t formatted) const {
    int lo = 3, hi = kMaxSlots;
    while (lo < hi) {
      const int mid = (lo + hi + 1) / 2;
      if (base[mid] <= formatted) {
        lo = mid;
      } else {
        hi = mid - 1;
      }
    }
    return lo;
  }
};
const SlotTables& Slots() {
  static const SlotTables tables;
  return tables;
}

int SlotCount(int windowBits) {
  return windowBits == 21 ? 50 : windowBits == 20 ? 42 : windowBits * 2;
}

// One coded item: a literal (main < 256) or a match with its length footer
// and the extra bits of its offset.
struct Symbol {
  uint16_t main;
  uint16_t footer;  // kNoFooter when the length fits the main symbol
  uint32_t extra;
};
constexpr uint16_t kNoFooter = 0xFFFF;

struct Stats {
  uint32_t main[kMaxMainSymbols] = {};
  uint32_t length[kLengthSymbols] = {};
  uint32_t aligned[kAlignedSymbols] = {};
  uint64_t verbatimBits = 0;  // extra bits of every offset, sent as they are
  void Add(const Stats& o) {
    for (int i = 0; i < kMaxMainSymbols; ++i) main[i] += o.main[i];
    for (int i = 0; i < kLengthSymbols; ++i) length[i] += o.length[i];
    for (int i = 0; i < kAlignedSymbols; ++i) aligned[i] += o.aligned[i];
    verbatimBits += o.verbatimBits;
  }
};

double EntropyBits(const uint32_t* freq, int n) {
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) total += freq[i];
  if (total == 0) return 0;
  double bits = 0;
  for (int i = 0; i < n; ++i) {
    if (freq[i]) bits += freq[i] * std::log2(static_cast<double>(total) / freq[i]);
  }
  return bits;
}

// An estimate of a block's coded size, header aside.
double EstimateBits(const Stats& s, int mainSymbols) {
  return EntropyBits(s.main, mainSymbols) + EntropyBits(s.length, kLengthSymbols) +
         static_cast<double>(s.verbatimBits);
}

// Code lengths of a Huffman code over freq, none longer than maxBits. At
// least two symbols must have a frequency.
void HuffmanLengths(const uint32_t* freq, int n, int maxBits, uint8_t* lens) {
  std::vector<uint64_t> f(freq, freq + n);
  for (;;) {
    std::fill(lens, lens + n, 0);
    struct Node {
      uint64_t weight;
      int parent;
    };
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    std::vector<int> leafNode(n, -1);
    for (int i = 0; i < n; ++i) {
      if (f[i] == 0) continue;
      leafNode[i] = static_cast<int>(nodes.size());
      nodes.push_back({f[i], -1});
      heap.push({f[i], leafNode[i]});
    }
    if (nodes.size() < 2) {
      for (int i = 0; i < n; ++i) {
        if (f[i]) lens[i] = 1;
      }
      return;
    }
    while (heap.size() > 1) {
      const Item a = heap.top();
      heap.pop();
      const Item b = heap.top();
      heap.pop();
      const int parent = static_cast<int>(nodes.size());
      nodes.push_back({a.first + b.first, -1});
      nodes[a.second].parent = parent;
      nodes[b.second].parent = parent;
      heap.push({a.first + b.first, parent});
    }
    // Depths from the root down: parents are made after their children.
    std::vector<int> depth(nodes.size(), 0);
    for (int i = static_cast<int>(nodes.size()) - 2; i >= 0; --i) {
      depth[i] = depth[nodes[i].parent] + 1;
    }
    int longest = 0;
    for (int i = 0; i < n; ++i) {
      if (leafNode[i] >= 0) {
        lens[i] = static_cast<uint8_t>(std::min(depth[leafNode[i]], 255));
        longest = std::max<int>(longest, lens[i]);
      }
    }
    if (longest <= maxBits) return;
    for (auto& v : f) {
      if (v) v = (v >> 1) | 1;
    }
  }
}

// Canonical codes: shorter codes first, then by symbol, counting up from 0.
void CanonicalCodes(const uint8_t* lens, int n, uint16_t* codes) {
  int count[17] = {};
  for (int i = 0; i < n; ++i) count[lens[i]]++;
  count[0] = 0;
  uint32_t next[17] = {};
  uint32_t code = 0;
  for (int bits = 1; bits <= 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  for (int i = 0; i < n; ++i) {
    if (lens[i]) codes[i] = static_cast<uint16_t>(next[lens[i]]++);
  }
}

struct Tree {
  uint8_t lens[kMaxMainSymbols] = {};
  uint16_t codes[kMaxMainSymbols] = {};
};

// Bits go out most significant first, in 16-bit little-endian words.
class BitWriter {
 public:
  void SetOutput(std::vector<uint8_t>* out) { out_ = out; }
  void Put(uint32_t value, int bits) {
    if (bits > 16) {
      Put(value >> 16, bits - 16);
      bits = 16;
    }
    if (bits == 0) return;
    acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
    pending_ += bits;
    total_ += static_cast<uint64_t>(bits);
    if (pending_ >= 16) {
      const uint32_t word = acc_ >> (pending_ - 16);
      out_->push_back(static_cast<uint8_t>(word));
      out_->push_back(static_cast<uint8_t>(word >> 8));
      pending_ -= 16;
      acc_ &= (1u << pending_) - 1;
    }
  }
  void Code(const Tree& t, int symbol) { Put(t.codes[symbol], t.lens[symbol]); }
  // Pads to the next 16-bit boundary (nothing when already there).
  void Align() {
    if (pending_) Put(0, 16 - pending_);
  }
  int Pending() const { return pending_; }
  uint64_t Total() const { return total_; }

 private:
  std::vector<uint8_t>* out_ = nullptr;
  uint32_t acc_ = 0;
  int pending_ = 0;
  uint64_t total_ = 0;
};

// One frame on its way: the translated bytes, the items that code them, and
// their statistics.
struct Frame {
  std::vector<uint8_t> bytes;
  std::vector<Symbol> symbols;
  Stats stats;
  uint32_t repeatsAfter[3];  // the recent offsets once the frame is parsed
};

void TranslateCalls(uint8_t* data, size_t size, int64_t position) {
  if (size <= 10) return;
  const int64_t limit = kTranslationSize;
  for (size_t i = 0; i + 10 < size;) {
    if (data[i] != 0xE8) {
      ++i;
      continue;
    }
    const int64_t current = position + static_cast<int64_t>(i);
    const int32_t relative =
        static_cast<int32_t>(uint32_t(data[i + 1]) | uint32_t(data[i + 2]) << 8 |
                             uint32_t(data[i + 3]) << 16 | uint32_t(data[i + 4]) << 24);
    if (relative >= -current && relative < limit) {
      const int64_t absolute = relative < limit - current ? relative + current : relative - limit;
      const uint32_t v = static_cast<uint32_t>(absolute);
      data[i + 1] = static_cast<uint8_t>(v);
      data[i + 2] = static_cast<uint8_t>(v >> 8);
      data[i + 3] = static_cast<uint8_t>(v >> 16);
      data[i + 4] = static_cast<uint8_t>(v >> 24);
    }
    i += 5;
  }
}

}  // namespace

struct LzxEncoder::Impl {
  Impl(int windowBits, int level, bool translate);
  void AddFrame(const uint8_t* data, size_t size);
  void CloseBlock();

  // Match finding.
  uint32_t Hash(uint32_t pos) const {
    const uint8_t* p = &window[pos - windowStart];
    const uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return (v * 2654435761u) >> (32 - hashBits);
  }
  void InsertUpTo(uint32_t end);
  int MatchLength(uint32_t pos, uint32_t distance, int limit) const {
    const uint8_t* a = &window[pos - windowStart];
    const uint8_t* b = a - distance;
    int n = 0;
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }
  struct Choice {
    int length = 0;
    uint32_t distance = 0;
    int repeat = -1;  // 0 to 2: one of the recent offsets
    int gain = 0;     // estimated cost saved against literals, in 1/8 bits
  };
  Choice Best(uint32_t pos, int limit) const;
  // Costs in 1/8 bits, from the statistics of the frame before: what a
  // match saves is weighed against the literals it replaces.
  void UpdateCosts(const Stats& s);
  int MatchCost(int slot, int length) const {
    const int header = std::min(length - kMinMatch, kPrimaryLengths);
    int cost = mainCost[kNumChars + slot * 8 + header] + Slots().extra[slot] * 8;
    if (header == kPrimaryLengths) cost += lengthCost[length - kMinMatch - kPrimaryLengths];
    return cost;
  }
  int LiteralCost(uint32_t pos, int length) const {
    return literalPrefix[pos - frameStart + length] - literalPrefix[pos - frameStart];
  }
  void Parse(Frame& frame, uint32_t start, uint32_t end);
  void ParseOptimal(Frame& frame, uint32_t start, uint32_t end);
  void Emit(Frame& frame, const Choice& c);

  // Coding.
  void EncodeBlocks(size_t first, size_t last);
  bool WriteCompressed(size_t first, size_t last, bool dryRun, uint64_t* bits);
  void WriteUncompressed(size_t first, size_t last);
  void WriteLengths(BitWriter& w, const uint8_t* lens, uint8_t* previous, int first, int last);
  void BeginFrameOutput(size_t index);
  void EndFrameOutput();

  const int windowBits;
  const uint32_t windowSize;
  const uint32_t maxDistance;
  const int mainSymbols;
  const bool translate;
  const int hashBits;
  int maxChain;
  int niceLength;
  int chainForFrame = 0;  // the search depth for the frame being parsed
  bool optimal = false;   // whole frames parsed for the cheapest path

  // The latest data, from windowStart on, in a buffer of two windows; and
  // the hash chains: head by hash, chain by position within the window.
  // Neither buffer needs clearing: only what was written is ever read.
  const size_t windowCapacity;
  std::unique_ptr<uint8_t[]> window;
  uint32_t windowStart = 0;
  uint32_t dataEnd = 0;  // bytes of the folder seen so far
  uint32_t inserted = 0;
  std::vector<uint32_t> head;
  std::unique_ptr<uint32_t[]> chain;
  uint32_t repeats[3] = {1, 1, 1};

  uint16_t mainCost[kMaxMainSymbols];
  uint16_t lengthCost[kLengthSymbols];
  std::vector<uint32_t> literalPrefix;  // literal costs of the frame, summed
  uint32_t frameStart = 0;

  std::vector<Frame> block;  // frames of the block being gathered
  Stats blockStats;
  double blockEstimate = 0;

  // The coder's own state, as the decoder will have it.
  BitWriter writer;
  bool headerWritten = false;
  uint8_t previousMain[kMaxMainSymbols] = {};
  uint8_t previousLength[kLengthSymbols] = {};
  std::vector<std::vector<uint8_t>> done;
  std::vector<uint8_t> current;
};

LzxEncoder::Impl::Impl(int bits, int level, bool translateCalls)
    : windowBits(bits),
      windowSize(1u << bits),
      maxDistance((1u << bits) - 3),
      mainSymbols(kNumChars + SlotCount(bits) * 8),
      translate(translateCalls),
      hashBits(std::min(bits - 2, kMaxHashBits)),
      windowCapacity(size_t(1) << (bits + 1)),
      window(new uint8_t[windowCapacity]),
      chain(new uint32_t[size_t(1) << bits]) {
  static const int kChain[10] = {4, 4, 8, 16, 24, 32, 48, 96, 192, 512};
  static const int kNice[10] = {16, 16, 24, 32, 48, 64, 96, 160, 257, 257};
  level = std::clamp(level, 1, 9);
  maxChain = kChain[level];
  niceLength = kNice[level];
  optimal = level >= 6;
  head.assign(size_t(1) << hashBits, 0);
  UpdateCosts(Stats());
}

void LzxEncoder::Impl::InsertUpTo(uint32_t end) {
  // A position goes into the chains once its three bytes are known.
  const uint32_t hashable = dataEnd >= 2 ? dataEnd - 2 : 0;
  end = std::min(end, hashable);
  for (; inserted < end; ++inserted) {
    const uint32_t h = Hash(inserted);
    chain[inserted & (windowSize - 1)] = head[h];
    head[h] = inserted + 1;
  }
}

LzxEncoder::Impl::Choice LzxEncoder::Impl::Best(uint32_t pos, int limit) const {
  Choice best;
  for (int r = 0; r < 3; ++r) {
    const uint32_t d = repeats[r];
    if (d > pos || d > maxDistance) continue;
    const int length = MatchLength(pos, d, limit);
    if (length < kMinMatch) continue;
    const int gain = LiteralCost(pos, length) - MatchCost(r, length);
    if (gain > best.gain) best = {length, d, r, gain};
  }
  if (limit < 3) return best;
  const uint8_t* here = &window[pos - windowStart];
  int bestLength = std::max(best.length, 2);
  if (bestLength >= limit) return best;
  uint32_t candidate = head[Hash(pos)];
  for (int steps = chainForFrame; candidate && steps > 0; --steps) {
    const uint32_t c = candidate - 1;
    const uint32_t d = pos - c;
    if (c >= pos || d > maxDistance) break;
    const uint8_t* there = here - d;
    if (there[bestLength] == here[bestLength] && there[0] == here[0] && there[1] == here[1]) {
      const int length = MatchLength(pos, d, limit);
      if (length > bestLength || (length == bestLength && length >= 3)) {
        int r = -1;
        for (int k = 0; k < 3; ++k) {
          if (repeats[k] == d) r = k;
        }
        const int slot = r >= 0 ? r : Slots().SlotOf(d + 2);
        const int gain = LiteralCost(pos, length) - MatchCost(slot, length);
        if (gain > best.gain) {
          best = {length, d, r, gain};
        }
        if (length > bestLength) bestLength = length;
        if (length >= niceLength || length == limit) break;
      }
    }
    candidate = chain[c & (windowSize - 1)];
  }
  return best;
}

void LzxEncoder::Impl::Emit(Frame& frame, const Choice& c) {
  int slot;
  uint32_t extra = 0;
  if (c.repeat >= 0) {
    slot = c.repeat;
    std::swap(repeats[0], repeats[c.repeat]);
  } else {
    const uint32_t formatted = c.distance + 2;
    slot = Slots().SlotOf(formatted);
    extra = formatted - Slots().base[slot];
    repeats[2] = repeats[1];
    repeats[1] = repeats[0];
    repeats[0] = c.distance;
  }
  const int header = std::min(c.length - kMinMatch, kPrimaryLengths);
  Symbol s{static_cast<uint16_t>(kNumChars + slot * 8 + header), kNoFooter, extra};
  frame.stats.main[s.main]++;
  if (header == kPrimaryLengths) {
    s.footer = static_cast<uint16_t>(c.length - kMinMatch - kPrimaryLengths);
    frame.stats.length[s.footer]++;
  }
  const int bits = Slots().extra[slot];
  frame.stats.verbatimBits += static_cast<uint64_t>(bits);
  if (bits >= 3) frame.stats.aligned[extra & 7]++;
  frame.symbols.push_back(s);
}

void LzxEncoder::Impl::UpdateCosts(const Stats& s) {
  // Symbols not seen cost as if they were rare; with nothing seen yet,
  // literals cost 8 bits and matches their offset bits and some.
  const auto fill = [](const uint32_t* freq, int n, uint16_t* cost, int unseen) {
    uint64_t total = 0;
    for (int i = 0; i < n; ++i) total += freq[i];
    for (int i = 0; i < n; ++i) {
      if (total == 0) {
        cost[i] = static_cast<uint16_t>(unseen);
      } else {
        const double bits =
            std::log2(static_cast<double>(total) / std::max(freq[i], 1u) + (freq[i] ? 0.0 : 1.0));
        cost[i] = static_cast<uint16_t>(std::clamp(bits, 1.0, 16.0) * 8);
      }
    }
  };
  fill(s.main, mainSymbols, mainCost, 9 * 8);
  fill(s.length, kLengthSymbols, lengthCost, 6 * 8);
  uint64_t seen = 0;
  for (int i = 0; i < kNumChars; ++i) seen += s.main[i];
  if (seen == 0) {
    for (int i = 0; i < kNumChars; ++i) mainCost[i] = 8 * 8;
  }
}

// The cheapest path through the frame by the current costs: every position
// gets the cost of reaching it, by a literal or by any match length that
// ends there, with the recent offsets of the path that reaches it. Where a
// match reaches the nice length, the positions it covers are not searched.
void LzxEncoder::Impl::ParseOptimal(Frame& frame, uint32_t start, uint32_t end) {
  struct Node {
    uint32_t cost = UINT32_MAX;
    uint32_t distance = 0;
    uint16_t length = 0;  // of the step that reaches the node; 1 for a literal
    int8_t repeat = -1;
    uint32_t reps[3] = {};
  };
  const uint32_t n = end - start;
  std::vector<Node> nodes(n + 1);
  nodes[0].cost = 0;
  std::copy(repeats, repeats + 3, nodes[0].reps);
  const auto relax = [&](uint32_t to, uint32_t cost, int length, uint32_t distance, int repeat) {
    Node& t = nodes[to];
    if (cost < t.cost) {
      t.cost = cost;
      t.length = static_cast<uint16_t>(length);
      t.distance = distance;
      t.repeat = static_cast<int8_t>(repeat);
    }
  };
  uint32_t searchFrom = 0;
  for (uint32_t i = 0; i < n; ++i) {
    Node& node = nodes[i];
    if (i > 0) {
      // The recent offsets once the step that reaches this node is taken.
      const Node& from = nodes[i - node.length];
      std::copy(from.reps, from.reps + 3, node.reps);
      if (node.length > 1) {
        if (node.repeat >= 0) {
          std::swap(node.reps[0], node.reps[node.repeat]);
        } else {
          node.reps[2] = node.reps[1];
          node.reps[1] = node.reps[0];
          node.reps[0] = node.distance;
        }
      }
    }
    const uint32_t pos = start + i;
    relax(i + 1, node.cost + mainCost[window[pos - windowStart]], 1, 0, -1);
    if (i < searchFrom) continue;
    InsertUpTo(pos);
    const int limit = static_cast<int>(std::min<uint32_t>(kMaxMatch, n - i));
    if (limit < kMinMatch) continue;
    int longest = 0;
    for (int r = 0; r < 3; ++r) {
      const uint32_t d = node.reps[r];
      if (d > pos || d > maxDistance || (r > 0 && d == node.reps[0]) ||
          (r == 2 && d == node.reps[1])) {
        continue;
      }
      const int length = MatchLength(pos, d, limit);
      for (int l = kMinMatch; l <= length; ++l) {
        relax(i + static_cast<uint32_t>(l), node.cost + MatchCost(r, l), l, d, r);
      }
      longest = std::max(longest, length);
    }
    if (limit >= 3) {
      const uint8_t* here = &window[pos - windowStart];
      int bestLength = 2;
      uint32_t candidate = head[Hash(pos)];
      for (int steps = chainForFrame; candidate && steps > 0 && bestLength < limit; --steps) {
        const uint32_t c = candidate - 1;
        const uint32_t d = pos - c;
        if (c >= pos || d > maxDistance) break;
        const uint8_t* there = here - d;
        if (there[bestLength] == here[bestLength] && there[0] == here[0] && there[1] == here[1]) {
          const int length = MatchLength(pos, d, limit);
          if (length > bestLength) {
            int r = -1;
            for (int k = 0; k < 3; ++k) {
              if (node.reps[k] == d) r = k;
            }
            const int slot = r >= 0 ? r : Slots().SlotOf(d + 2);
            for (int l = bestLength + 1; l <= length; ++l) {
              relax(i + static_cast<uint32_t>(l), node.cost + MatchCost(slot, l), l, d, r);
            }
            bestLength = length;
            if (length >= niceLength) break;
          }
        }
        candidate = chain[c & (windowSize - 1)];
      }
      longest = std::max(longest, bestLength);
    }
    if (longest >= niceLength) searchFrom = i + static_cast<uint32_t>(longest);
  }
  InsertUpTo(end);
  // The path, from the end back.
  std::vector<uint32_t> steps;
  for (uint32_t at = n; at > 0; at -= nodes[at].length) steps.push_back(at);
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    const Node& node = nodes[*it];
    if (node.length == 1) {
      const uint8_t b = window[start + *it - 1 - windowStart];
      frame.symbols.push_back({b, kNoFooter, 0});
      frame.stats.main[b]++;
    } else {
      Choice c;
      c.length = node.length;
      c.distance = node.distance;
      c.repeat = node.repeat;
      Emit(frame, c);
    }
  }
}

void LzxEncoder::Impl::Parse(Frame& frame, uint32_t start, uint32_t end) {
  uint32_t pos = start;
  frameStart = start;
  literalPrefix.assign(end - start + 1, 0);
  for (uint32_t i = start; i < end; ++i) {
    literalPrefix[i - start + 1] = literalPrefix[i - start] + mainCost[window[i - windowStart]];
  }
  const auto literal = [&](uint32_t at) {
    const uint8_t b = window[at - windowStart];
    frame.symbols.push_back({b, kNoFooter, 0});
    frame.stats.main[b]++;
  };
  while (pos < end) {
    InsertUpTo(pos);
    const int limit = static_cast<int>(std::min<uint32_t>(kMaxMatch, end - pos));
    Choice c = limit >= kMinMatch ? Best(pos, limit) : Choice();
    if (c.gain <= 0) {
      literal(pos++);
      continue;
    }
    // One step of lazy evaluation: a better match one byte later wins.
    while (c.length < niceLength && pos + 1 < end) {
      InsertUpTo(pos + 1);
      const int nextLimit = static_cast<int>(std::min<uint32_t>(kMaxMatch, end - pos - 1));
      const Choice next = Best(pos + 1, nextLimit);
      if (next.gain <= c.gain + 8) break;
      literal(pos++);
      c = next;
    }
    Emit(frame, c);
    pos += static_cast<uint32_t>(c.length);
  }
  InsertUpTo(end);
}

void LzxEncoder::Impl::AddFrame(const uint8_t* data, size_t size) {
  Frame frame;
  frame.bytes.assign(data, data + size);
  if (translate) TranslateCalls(frame.bytes.data(), size, dataEnd);
  if (size_t(dataEnd - windowStart) + size > windowCapacity) {
    // Keep the last window's worth of data.
    const uint32_t keep = windowSize;
    const uint32_t drop = dataEnd - windowStart - keep;
    std::memmove(window.get(), window.get() + drop, keep);
    windowStart += drop;
  }
  std::memcpy(&window[dataEnd - windowStart], frame.bytes.data(), size);
  const uint32_t start = dataEnd;
  dataEnd += static_cast<uint32_t>(size);
  // Bytes that look random (almost 8 bits each on their own) are searched
  // only for the nearest candidate: repeats of earlier data are still
  // found, and the search costs little where there is nothing to find.
  uint32_t counts[256] = {};
  for (size_t i = 0; i < size; ++i) counts[frame.bytes[i]]++;
  const bool looksRandom =
      size >= 4096 && EntropyBits(counts, 256) > 7.9 * static_cast<double>(size);
  chainForFrame = looksRandom ? 1 : maxChain;
  if (optimal && !looksRandom) {
    ParseOptimal(frame, start, dataEnd);
  } else {
    Parse(frame, start, dataEnd);
  }
  std::copy(repeats, repeats + 3, frame.repeatsAfter);
  UpdateCosts(frame.stats);

  // The frame joins the current block when coding them together looks no
  // larger than apart.
  if (!block.empty()) {
    Stats merged = blockStats;
    merged.Add(frame.stats);
    const double together = EstimateBits(merged, mainSymbols);
    const double apart = blockEstimate + EstimateBits(frame.stats, mainSymbols) + 600;
    if (together > apart || block.size() >= kMaxBlockFrames) CloseBlock();
  }
  blockStats.Add(frame.stats);
  block.push_back(std::move(frame));
  blockEstimate = EstimateBits(blockStats, mainSymbols);
}

void LzxEncoder::Impl::CloseBlock() {
  if (block.empty()) return;
  EncodeBlocks(0, block.size());
  block.clear();
  blockStats = Stats();
  blockEstimate = 0;
}

void LzxEncoder::Impl::BeginFrameOutput(size_t) {
  current.clear();
  writer.SetOutput(&current);
  if (!headerWritten) {
    // The stream starts with the translation size (or its absence).
    if (translate) {
      writer.Put(1, 1);
      writer.Put(kTranslationSize >> 16, 16);
      writer.Put(kTranslationSize & 0xFFFF, 16);
    } else {
      writer.Put(0, 1);
    }
    headerWritten = true;
  }
}

void LzxEncoder::Impl::EndFrameOutput() {
  writer.Align();
  done.push_back(std::move(current));
  current = std::vector<uint8_t>();
}

void LzxEncoder::Impl::WriteLengths(BitWriter& w, const uint8_t* lens, uint8_t* previous, int first,
                                    int last) {
  struct Item {
    uint8_t symbol;
    uint8_t extraBits;
    uint8_t extra;
    int8_t second;  // the delta symbol after a run code 19, or -1
  };
  std::vector<Item> items;
  uint32_t freq[kPretreeSymbols] = {};
  const auto delta = [&](int x) { return static_cast<uint8_t>((previous[x] - lens[x] + 17) % 17); };
  for (int x = first; x < last;) {
    int run = 1;
    while (x + run < last && lens[x + run] == lens[x]) ++run;
    if (lens[x] == 0 && run >= 20) {
      run = std::min(run, 51);
      items.push_back({18, 5, static_cast<uint8_t>(run - 20), -1});
      freq[18]++;
    } else if (lens[x] == 0 && run >= 4) {
      run = std::min(run, 19);
      items.push_back({17, 4, static_cast<uint8_t>(run - 4), -1});
      freq[17]++;
    } else if (run >= 4) {
      run = std::min(run, 5);
      const uint8_t d = delta(x);
      items.push_back({19, 1, static_cast<uint8_t>(run - 4), static_cast<int8_t>(d)});
      freq[19]++;
      freq[d]++;
    } else {
      run = 1;
      const uint8_t d = delta(x);
      items.push_back({d, 0, 0, -1});
      freq[d]++;
    }
    x += run;
  }
  // A code needs two symbols at least.
  int used = 0;
  for (uint32_t f : freq) used += f ? 1 : 0;
  for (int i = 0; used < 2 && i < kPretreeSymbols; ++i) {
    if (!freq[i]) {
      freq[i] = 1;
      ++used;
    }
  }
  Tree pre;
  HuffmanLengths(freq, kPretreeSymbols, 15, pre.lens);
  CanonicalCodes(pre.lens, kPretreeSymbols, pre.codes);
  for (int i = 0; i < kPretreeSymbols; ++i) w.Put(pre.lens[i], 4);
  for (const Item& it : items) {
    w.Code(pre, it.symbol);
    w.Put(it.extra, it.extraBits);
    if (it.second >= 0) w.Code(pre, it.second);
  }
  std::copy(lens + first, lens + last, previous + first);
}

// Writes frames [first, last) as one compressed block, or with dryRun only
// counts its bits. Returns false when some frame would not fit a CFDATA
// block.
bool LzxEncoder::Impl::WriteCompressed(size_t first, size_t last, bool dryRun, uint64_t* bits) {
  Stats s;
  uint32_t size = 0;
  for (size_t i = first; i < last; ++i) {
    s.Add(block[i].stats);
    size += static_cast<uint32_t>(block[i].bytes.size());
  }
  // The literal 0xE8 keeps a code so that the decoder undoes the
  // translation from the first block on; two symbols at least in every
  // tree.
  if (translate && !s.main[0xE8]) s.main[0xE8] = 1;
  const auto atLeastTwo = [](uint32_t* freq, int n) {
    int used = 0;
    for (int k = 0; k < n; ++k) used += freq[k] ? 1 : 0;
    for (int k = 0; used < 2; ++k) {
      if (!freq[k]) {
        freq[k] = 1;
        ++used;
      }
    }
  };
  atLeastTwo(s.main, mainSymbols);
  atLeastTwo(s.length, kLengthSymbols);
  Tree main, length, aligned;
  HuffmanLengths(s.main, mainSymbols, 16, main.lens);
  CanonicalCodes(main.lens, mainSymbols, main.codes);
  HuffmanLengths(s.length, kLengthSymbols, 16, length.lens);
  CanonicalCodes(length.lens, kLengthSymbols, length.codes);
  uint32_t alignedFreq[kAlignedSymbols];
  for (int i = 0; i < kAlignedSymbols; ++i) alignedFreq[i] = s.aligned[i] + 1;
  HuffmanLengths(alignedFreq, kAlignedSymbols, 7, aligned.lens);
  CanonicalCodes(aligned.lens, kAlignedSymbols, aligned.codes);

  // Aligned-offset coding pays when the low offset bits are skewed.
  uint64_t alignedSaving = 0, alignedCost = 24;
  for (int i = 0; i < kAlignedSymbols; ++i) {
    alignedSaving += uint64_t(s.aligned[i]) * 3;
    alignedCost += uint64_t(s.aligned[i]) * aligned.lens[i];
  }
  const bool useAligned = alignedCost < alignedSaving;

  // Per-frame sizes, for the CFDATA limit.
  uint64_t symbolBits = 0;
  for (size_t i = first; i < last; ++i) {
    const Stats& f = block[i].stats;
    uint64_t b = f.verbatimBits;
    for (int k = 0; k < mainSymbols; ++k) b += uint64_t(f.main[k]) * main.lens[k];
    for (int k = 0; k < kLengthSymbols; ++k) b += uint64_t(f.length[k]) * length.lens[k];
    if (useAligned) {
      for (int k = 0; k < kAlignedSymbols; ++k) {
        b += uint64_t(f.aligned[k]) * aligned.lens[k];
        b -= uint64_t(f.aligned[k]) * 3;
      }
    }
    // Room for the block header in the first frame.
    if ((b + (i == first ? 12000 : 0)) / 8 + 16 > kLzxMaxFrameBytes) return false;
    symbolBits += b;
  }

  uint8_t mainCopy[kMaxMainSymbols], lengthCopy[kLengthSymbols];
  std::copy(previousMain, previousMain + kMaxMainSymbols, mainCopy);
  std::copy(previousLength, previousLength + kLengthSymbols, lengthCopy);
  BitWriter scratch;
  std::vector<uint8_t> sink;
  scratch.SetOutput(&sink);
  BitWriter& w = dryRun ? scratch : writer;
  if (!dryRun) BeginFrameOutput(first);
  const uint64_t before = w.Total();
  w.Put(useAligned ? kAligned : kVerbatim, 3);
  w.Put(size >> 8, 16);
  w.Put(size & 0xFF, 8);
  if (useAligned) {
    for (int i = 0; i < kAlignedSymbols; ++i) w.Put(aligned.lens[i], 3);
  }
  uint8_t* prevMain = dryRun ? mainCopy : previousMain;
  uint8_t* prevLength = dryRun ? lengthCopy : previousLength;
  WriteLengths(w, main.lens, prevMain, 0, kNumChars);
  WriteLengths(w, main.lens, prevMain, kNumChars, mainSymbols);
  WriteLengths(w, length.lens, prevLength, 0, kLengthSymbols);
  if (dryRun) {
    *bits = w.Total() - before + symbolBits;
    return true;
  }
  for (size_t i = first; i < last; ++i) {
    if (i != first) BeginFrameOutput(i);
    for (const Symbol& sym : block[i].symbols) {
      w.Code(main, sym.main);
      if (sym.main < kNumChars) continue;
      if (sym.footer != kNoFooter) w.Code(length, sym.footer);
      const int slot = (sym.main - kNumChars) >> 3;
      const int extraBits = Slots().extra[slot];
      if (slot < 3 || extraBits == 0) continue;
      if (useAligned && extraBits >= 3) {
        w.Put(sym.extra >> 3, extraBits - 3);
        w.Code(aligned, static_cast<int>(sym.extra & 7));
      } else {
        w.Put(sym.extra, extraBits);
      }
    }
    EndFrameOutput();
  }
  return true;
}

void LzxEncoder::Impl::WriteUncompressed(size_t first, size_t last) {
  uint32_t size = 0;
  for (size_t i = first; i < last; ++i) size += static_cast<uint32_t>(block[i].bytes.size());
  BeginFrameOutput(first);
  writer.Put(kUncompressed, 3);
  writer.Put(size >> 8, 16);
  writer.Put(size & 0xFF, 8);
  // Then 1 to 16 bits of padding to the next 16-bit boundary.
  writer.Put(0, 16 - writer.Pending());
  // The recent offsets as the block after this one expects them.
  const uint32_t* r = block[last - 1].repeatsAfter;
  for (int k = 0; k < 3; ++k) {
    for (int b = 0; b < 4; ++b) current.push_back(static_cast<uint8_t>(r[k] >> (8 * b)));
  }
  for (size_t i = first; i < last; ++i) {
    if (i != first) BeginFrameOutput(i);
    current.insert(current.end(), block[i].bytes.begin(), block[i].bytes.end());
    // An odd-sized block (only ever the stream's last) is padded to a word.
    if (i + 1 == last && (size & 1)) current.push_back(0);
    EndFrameOutput();
  }
}

void LzxEncoder::Impl::EncodeBlocks(size_t first, size_t last) {
  uint64_t bits = 0;
  const bool fits = WriteCompressed(first, last, true, &bits);
  if (!fits && last - first > 1) {
    const size_t mid = first + (last - first) / 2;
    EncodeBlocks(first, mid);
    EncodeBlocks(mid, last);
    return;
  }
  uint64_t raw = 0;
  for (size_t i = first; i < last; ++i) raw += block[i].bytes.size();
  const uint64_t uncompressedBits = 27 + 16 + 96 + raw * 8;
  if (!fits || uncompressedBits <= bits) {
    WriteUncompressed(first, last);
  } else {
    WriteCompressed(first, last, false, &bits);
  }
}

LzxEncoder::LzxEncoder(int windowBits, int level, bool translate)
    : impl_(std::make_unique<Impl>(std::clamp(windowBits, kLzxMinWindowBits, kLzxMaxWindowBits),
                                   level, translate)) {}
LzxEncoder::~LzxEncoder() = default;

void LzxEncoder::AddFrame(const uint8_t* data, size_t size) { impl_->AddFrame(data, size); }

void LzxEncoder::Flush() { impl_->CloseBlock(); }

std::vector<std::vector<uint8_t>> LzxEncoder::TakeFrames() {
  std::vector<std::vector<uint8_t>> out = std::move(impl_->done);
  impl_->done.clear();
  return out;
}

}  // namespace qb::cab
