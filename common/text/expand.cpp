#include "text/expand.h"

#include <memory>
#include <vector>

#include "text/text.h"

namespace qb {

namespace {

const std::string kMarker = kVariableMarker;

// Token numbers are taken modulo 256, so one slot per possible number holds
// what an expansion knows about a variable.
constexpr int kTokenNumbers = 256;

// The values of one expansion, each taken from the source when first needed.
// A value never moves once taken: the pending text points into it.
class ValueTable {
 public:
  explicit ValueTable(VariableSource& source) : source_(source) {}
  const std::string& operator()(int n) {
    if (!values_[n]) values_[n] = std::make_unique<std::string>(VariableValue(source_, n));
    return *values_[n];
  }

 private:
  VariableSource& source_;
  std::unique_ptr<std::string> values_[kTokenNumbers];
};

// Variables whose values, followed token by token, lead back to themselves.
// Expanding a text that reaches one of them would never end.
class CycleSearch {
 public:
  explicit CycleSearch(ValueTable& values) : values_(values) {}
  bool Reaches(const std::string& text) {
    for (size_t at = text.find(kMarker); at != std::string::npos; at = text.find(kMarker, at + 1)) {
      if (Visit(TokenNumber(text.substr(at + kMarker.size(), 2)))) return true;
    }
    return false;
  }

 private:
  enum State : unsigned char { kUnseen, kVisiting, kDone };
  bool Visit(int n) {
    if (state_[n] != kUnseen) return state_[n] == kVisiting;
    state_[n] = kVisiting;
    const bool cycle = Reaches(values_(n));
    state_[n] = kDone;
    return cycle;
  }
  ValueTable& values_;
  State state_[kTokenNumbers] = {};
};

}  // namespace

int TokenNumber(const std::string& numberText) {
  const int64_t n = ReadNumber(numberText);
  return static_cast<int>(((n % 256) + 256) % 256);
}

std::string VariableValue(VariableSource& source, int number) {
  const bool shortForm = number > 40 && number < 81;
  std::string value = source.Value(shortForm ? number - 40 : number);
  if (shortForm) value = source.ShortForm(value);
  if (!value.empty() && value.back() == '\\') value.pop_back();
  return value;
}

namespace {

// The text still to be looked at, as a stack of pieces: the unread rest of
// the text at the bottom and, above it, the unread rest of each value that a
// replacement put in front of it. The values live in the expansion's value
// table, which never moves its strings, so the pieces only point into them.
class PendingText {
 public:
  explicit PendingText(const std::string& text) { Push(text); }
  bool Empty() const { return pieces_.empty(); }
  size_t Size() const { return size_; }
  void Push(const std::string& text) {
    if (text.empty()) return;
    pieces_.push_back({&text, 0});
    size_ += text.size();
  }
  char Take() {
    Piece& top = pieces_.back();
    const char c = (*top.text)[top.next++];
    if (top.next == top.text->size()) pieces_.pop_back();
    --size_;
    return c;
  }
  // Everything left, in reading order.
  void AppendTo(std::string& out) const {
    for (size_t i = pieces_.size(); i-- > 0;) out.append(*pieces_[i].text, pieces_[i].next);
  }

 private:
  struct Piece {
    const std::string* text;
    size_t next;
  };
  std::vector<Piece> pieces_;
  size_t size_ = 0;
};

}  // namespace

std::string ExpandTokens(const std::string& text, VariableSource& source) {
  if (text.find(kMarker) == std::string::npos) return text;
  // The result is the same as replacing the first token of the whole text
  // and searching again from its beginning, over and over, but each character
  // is looked at once: the finished part in front never holds a marker (the
  // marker cannot overlap itself), so the first marker of the whole text is
  // the first one to be completed while characters move from the pending
  // text to the finished part; its value then goes in front of the pending
  // text. Values are taken once per expansion.
  ValueTable value(source);
  // Bounds: a value that leads back to its own token would never end. After
  // 4096 replacements the graph of values is looked at once, and a text that
  // reaches such a cycle stops there. The hard limits (a million replacements,
  // 16 MiB of text) also stop texts whose markers only form across the edge
  // of a value, and texts that merely grow too large. A text that meets a
  // bound comes back as it stands at that moment: what was expanded so far,
  // followed by the rest unexpanded, markers included.
  const size_t cycleCheck = 4096;
  const size_t limit = 1000000;
  const size_t maxLength = 16 * 1024 * 1024;
  const size_t markerLength = kMarker.size();
  std::string done;
  done.reserve(text.size());
  PendingText pending(text);
  size_t count = 0;
  while (!pending.Empty()) {
    const char c = pending.Take();
    done += c;
    if (c != kMarker.back() || done.size() < markerLength ||
        done.compare(done.size() - markerLength, markerLength, kMarker) != 0) {
      continue;
    }
    // A complete marker: this is replacement number count + 1.
    if (count >= limit || done.size() + pending.Size() >= maxLength ||
        (count == cycleCheck && CycleSearch(value).Reaches(text))) {
      break;
    }
    ++count;
    std::string numberText;
    while (numberText.size() < 2 && !pending.Empty()) numberText += pending.Take();
    done.resize(done.size() - markerLength);
    pending.Push(value(TokenNumber(numberText)));
  }
  pending.AppendTo(done);
  return done;
}

std::string DisplayForm(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

std::string SizeShortForm(uint64_t size) {
  static const char kUnits[] = {'K', 'M', 'G', 'T'};
  int divisions = 0;
  while ((size >> (10 * divisions)) >= 1024 && divisions < 4) ++divisions;
  // Divisions by powers of 1024 as shifts.
  const int shift = 10 * divisions;
  const uint64_t whole = size >> shift;
  const uint64_t part = size & ((uint64_t{1} << shift) - 1);
  const auto hundredths = static_cast<unsigned>((part * 100) >> shift);  // cut, not rounded
  std::string out = Decimal(static_cast<int64_t>(whole));
  if (divisions > 0 && hundredths != 0) {
    std::string decimals = {static_cast<char>('0' + hundredths / 10),
                            static_cast<char>('0' + hundredths % 10)};
    if (decimals[1] == '0') decimals.pop_back();
    out += "." + decimals;
  }
  if (divisions > 0) out += kUnits[divisions - 1];
  return out;
}

std::string ShortenPath(const std::string& path, int width,
                        const std::function<int(const std::string&)>& measure) {
  if (path.find('\\') == std::string::npos) return path;
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = path.find('\\', start)) != std::string::npos; start = at + 1) {
    parts.push_back(path.substr(start, at - start));
  }
  if (start < path.size()) parts.push_back(path.substr(start));
  const std::string name = parts.back();
  parts.pop_back();
  std::string prefix;
  size_t next = 0;
  while (measure(prefix + name) < width && next < parts.size()) {
    prefix += parts[next++] + "\\";
  }
  return next == parts.size() ? prefix + name : prefix + "..\\" + name;
}

}  // namespace qb
