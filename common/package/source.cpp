#include "package/source.h"

#include <cstring>

namespace qb {

size_t MemorySource::Read(void* buffer, size_t size) {
  if (position_ >= bytes_.size()) return 0;
  const size_t n =
      static_cast<size_t>(size < bytes_.size() - position_ ? size : bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

uint64_t MemorySource::Size() { return bytes_.size(); }

bool MemorySource::Seek(uint64_t position) {
  position_ = position;
  return true;
}

BufferedReader::BufferedReader(ByteSource& source, size_t bufferSize)
    : source_(source), buffer_(bufferSize), size_(source.Size()) {}

bool BufferedReader::Seek(uint64_t position) {
  next_ = end_ = 0;
  position_ = position;
  return source_.Seek(position);
}

void BufferedReader::LimitTo(uint64_t end) {
  if (end < size_) size_ = end;
  // Whatever the buffer holds beyond the new end is not part of the source.
  if (position_ > size_) {
    const uint64_t extra = position_ - size_;
    const uint64_t held = end_ - next_;
    const uint64_t drop = extra < held ? extra : held;
    end_ -= static_cast<size_t>(drop);
    position_ -= drop;
  }
}

uint64_t BufferedReader::Remaining() const {
  const uint64_t at = Position();
  return at < size_ ? size_ - at : 0;
}

size_t BufferedReader::Allowed(size_t wanted) const {
  const uint64_t left = position_ < size_ ? size_ - position_ : 0;
  return left < wanted ? static_cast<size_t>(left) : wanted;
}

bool BufferedReader::Fill() {
  next_ = 0;
  const size_t want = Allowed(buffer_.size());
  end_ = want ? source_.Read(buffer_.data(), want) : 0;
  position_ += end_;
  return end_ > 0;
}

size_t BufferedReader::Read(void* buffer, size_t size) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < size) {
    if (next_ == end_ && size - done >= buffer_.size()) {
      // Large reads go straight into the caller's memory.
      const size_t want = Allowed(size - done);
      const size_t n = want ? source_.Read(out + done, want) : 0;
      position_ += n;
      done += n;
      if (n == 0) break;
      continue;
    }
    if (next_ == end_ && !Fill()) break;
    size_t n = end_ - next_;
    if (n > size - done) n = size - done;
    std::memcpy(out + done, buffer_.data() + next_, n);
    next_ += n;
    done += n;
  }
  return done;
}

std::string BufferedReader::ReadString() {
  std::string text;
  for (;;) {
    if (next_ == end_ && !Fill()) return text;
    const uint8_t* start = buffer_.data() + next_;
    const void* nul = std::memchr(start, 0, end_ - next_);
    if (nul) {
      const size_t n = static_cast<const uint8_t*>(nul) - start;
      text.append(reinterpret_cast<const char*>(start), n);
      next_ += n + 1;
      return text;
    }
    text.append(reinterpret_cast<const char*>(start), end_ - next_);
    next_ = end_;
  }
}

}  // namespace qb
