#include "cab/cab_writer.h"

#include <zlib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "cab/lzx_encoder.h"

namespace qb::cab {

uint32_t Checksum(const uint8_t* data, size_t size, uint32_t seed) {
  uint32_t sum = seed;
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    sum ^= uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
           uint32_t(data[i + 3]) << 24;
  }
  uint32_t rest = 0;
  switch (size - i) {
    case 3:
      rest |= uint32_t(data[i++]) << 16;
      [[fallthrough]];
    case 2:
      rest |= uint32_t(data[i++]) << 8;
      [[fallthrough]];
    case 1:
      rest |= data[i];
      break;
    default:
      break;
  }
  return sum ^ rest;
}

void ToDosDateTime(int64_t unixTime, uint16_t& date, uint16_t& time) {
  std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  int year = tm.tm_year + 1900;
  if (year < 1980)
    year = 1980, tm.tm_mon = 0, tm.tm_mday = 1, tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
  if (year > 2107) year = 2107;
  date = static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

// What the writer sets up in a set.
struct CabinetSetAccess {
  using Piece = CabinetSet::Piece;
  static CabinetSet* Make() { return new CabinetSet(); }
  static std::FILE*& Spool(CabinetSet& s) { return s.spool_; }
  static std::string& SpoolPath(CabinetSet& s) { return s.spoolPath_; }
  static std::vector<Piece>& Cabinets(CabinetSet& s) { return s.cabinets_; }
};

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void PutName(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

// Room a cabinet always keeps so that one more file entry, a new folder and
// the start of a split block still fit.
constexpr size_t kMaxName = 255;
constexpr size_t kSplitRoom = kDataHeaderSize + 1;
constexpr size_t kEntryRoom = kFileFixedSize + kMaxName + 1 + kFolderSize;

// One MSZIP block: "CK" and a deflate stream of the input. The previous
// block of the same folder serves as the dictionary, as decoders keep that
// history from block to block.
class BlockCompressor {
 public:
  explicit BlockCompressor(int level) {
    std::memset(&zs_, 0, sizeof zs_);
    deflateInit2(&zs_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  }
  ~BlockCompressor() { deflateEnd(&zs_); }
  BlockCompressor(const BlockCompressor&) = delete;
  BlockCompressor& operator=(const BlockCompressor&) = delete;

  std::vector<uint8_t> Compress(const std::vector<uint8_t>& input,
                                const std::vector<uint8_t>* dictionary) {
    deflateReset(&zs_);
    if (dictionary && !dictionary->empty()) {
      deflateSetDictionary(&zs_, dictionary->data(), static_cast<uInt>(dictionary->size()));
    }
    std::vector<uint8_t> out(2 + deflateBound(&zs_, input.size()));
    out[0] = 'C';
    out[1] = 'K';
    zs_.next_in = const_cast<Bytef*>(input.data());
    zs_.avail_in = static_cast<uInt>(input.size());
    zs_.next_out = out.data() + 2;
    zs_.avail_out = static_cast<uInt>(out.size() - 2);
    deflate(&zs_, Z_FINISH);
    out.resize(out.size() - zs_.avail_out);
    return out;
  }

 private:
  z_stream zs_;
};

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

// Compresses blocks on every core. Blocks are independent jobs: each carries
// its own input and dictionary.
class CompressionPool {
 public:
  CompressionPool(Compression compression, int level) {
    unsigned n = std::thread::hardware_concurrency();
    n = n < 1 ? 1 : n > 8 ? 8 : n;
    for (unsigned i = 0; i < n; ++i) {
      workers_.emplace_back([this, compression, level] {
        BlockCompressor compressor(level);
        for (;;) {
          Job job;
          {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
          }
          job.result.set_value(compression == Compression::kNone
                                   ? *job.input
                                   : compressor.Compress(*job.input, job.dictionary.get()));
        }
      });
    }
  }
  ~CompressionPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    ready_.notify_all();
    for (auto& w : workers_) w.join();
  }
  std::future<std::vector<uint8_t>> Submit(Bytes input, Bytes dictionary) {
    Job job{std::move(input), std::move(dictionary), {}};
    auto future = job.result.get_future();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
    return future;
  }
  size_t Threads() const { return workers_.size(); }

 private:
  struct Job {
    Bytes input;
    Bytes dictionary;
    std::promise<std::vector<uint8_t>> result;
  };
  std::vector<std::thread> workers_;
  std::deque<Job> jobs_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool stop_ = false;
};

// An LZX folder compressed on a thread of its own: frames queue up (a few
// MiB at most) and come back compressed, in order.
class LzxFolderJob {
 public:
  using Result = std::promise<std::vector<uint8_t>>;
  LzxFolderJob(int windowBits, int level, bool translate)
      : thread_([this, windowBits, level, translate] { Run(windowBits, level, translate); }) {}
  ~LzxFolderJob() {
    Finish();
    thread_.join();
  }
  LzxFolderJob(const LzxFolderJob&) = delete;
  LzxFolderJob& operator=(const LzxFolderJob&) = delete;

  void Add(const std::vector<uint8_t>& frame, Result result) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&] { return queued_ + frame.size() <= kMaxQueued || queue_.empty(); });
    queued_ += frame.size();
    queue_.push_back(Item{frame, std::move(result), false});
    ready_.notify_one();
  }
  // Ends the current block, so that every frame added so far comes back.
  void Flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Item{{}, {}, true});
    ready_.notify_one();
  }
  // No more frames: the folder's stream ends.
  void Finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finish_ = true;
    ready_.notify_one();
  }

 private:
  static constexpr size_t kMaxQueued = 8 << 20;
  struct Item {
    std::vector<uint8_t> frame;
    Result result;
    bool flush;
  };
  void Run(int windowBits, int level, bool translate) {
    LzxEncoder encoder(windowBits, level, translate);
    std::deque<Result> waiting;
    const auto deliver = [&] {
      for (auto& frame : encoder.TakeFrames()) {
        waiting.front().set_value(std::move(frame));
        waiting.pop_front();
      }
    };
    for (;;) {
      Item item;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return finish_ || !queue_.empty(); });
        if (queue_.empty()) break;
        item = std::move(queue_.front());
        queue_.pop_front();
        queued_ -= item.frame.size();
      }
      room_.notify_all();
      if (item.flush) {
        encoder.Flush();
      } else {
        waiting.push_back(std::move(item.result));
        encoder.AddFrame(item.frame.data(), item.frame.size());
        if (item.frame.size() < kLzxFrame) encoder.Flush();
      }
      deliver();
    }
    encoder.Flush();
    deliver();
  }

  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<Item> queue_;
  size_t queued_ = 0;
  bool finish_ = false;
  std::thread thread_;
};

// A block on its way to a cabinet: being compressed, in stream order.
struct InFlight {
  std::future<std::vector<uint8_t>> block;
  uint32_t uncompressed;
  std::vector<int> files;  // files with data in the block
  bool forceSplit;
  int folder = -1;  // its folder in a single cabinet, when folders run side by side
};

struct Entry {
  int file;
  uint32_t offset;
  int folder;  // index of the folder in its cabinet
  bool fromPrev = false;
  bool toNext = false;
};

struct Folder {
  size_t dataStart;  // offset of its first block within the cabinet's data
  uint16_t blocks = 0;
};

struct Cabinet {
  size_t headerSize = 0;
  std::vector<Folder> folders;
  std::vector<Entry> entries;
  uint64_t spoolOffset = 0;  // its CFDATA blocks, in the spool
  uint64_t dataSize = 0;
  size_t used = 0;  // bytes taken so far, header included
};

class Writer {
 public:
  Writer(const std::vector<InputFile>& files, const Options& options)
      : files_(files), options_(options) {}
  SetResult Run();

 private:
  size_t Capacity() const { return options_.cabinetSize ? options_.cabinetSize : SIZE_MAX / 2; }
  size_t Room() const { return Capacity() - cab().used; }
  Cabinet& cab() { return cabinets_.back(); }
  const Cabinet& cab() const { return cabinets_.back(); }
  static size_t EntrySize(const InputFile& f) { return kFileFixedSize + f.name.size() + 1; }

  void OpenCabinet();
  bool Lzx() const { return options_.compression == Compression::kLzx; }
  void OpenFolder();
  void CloseFolder();
  // Folders of one cabinet run side by side.
  bool SideBySide() const { return Lzx() && options_.cabinetSize == 0; }
  void AddEntry(int file, uint32_t offset, bool fromPrev);
  bool StartFile(int index);
  void Append(const uint8_t* data, size_t size);
  void EmitBlock(bool forceSplit);
  // Places the blocks being compressed; with a cabinet size, decisions about
  // room wait for this.
  void Drain();
  void PlaceNext();
  void PlaceBlock(const std::vector<uint8_t>& block, const InFlight& info);
  void AppendPart(const uint8_t* data, size_t size, uint16_t uncompressed);
  void SpanIntoNextCabinet(const std::vector<int>& files);
  CabinetSetAccess::Piece Serialize(size_t k, bool last);
  void Spool(const void* data, size_t size);

  const std::vector<InputFile>& files_;
  const Options& options_;
  std::vector<Cabinet> cabinets_;
  std::vector<int> lastEntry_;  // per file: index of its newest entry in cab()
  bool folderOpen_ = false;
  uint32_t folderOffset_ = 0;  // uncompressed bytes of the folder placed so far
  std::vector<uint8_t> pending_;
  std::vector<int> pendingFiles_;  // files whose data lies in pending_
  bool closeAfterFile_ = false;
  size_t maxFilesPerBlock_ = 0;
  std::unique_ptr<CompressionPool> pool_;
  std::deque<InFlight> inFlight_;
  Bytes previousInput_;                // the folder's last block, for the dictionary
  std::unique_ptr<LzxFolderJob> lzx_;  // the open folder's LZX stream
  std::deque<std::unique_ptr<LzxFolderJob>> lzxEnded_;  // folders still compressing
  int placingFolder_ = -1;
  uint64_t totalInput_ = 0;    // bytes of every input file
  uint64_t emittedInput_ = 0;  // of those, the bytes handed to blocks so far
  std::string error_;
  size_t failedInput_ = kNoInput;
  std::unique_ptr<CabinetSet> set_;
  uint64_t spoolEnd_ = 0;
};

void Writer::OpenCabinet() {
  const int k = static_cast<int>(cabinets_.size());
  Cabinet c;
  c.headerSize = kHeaderSize + options_.cabinetName(k + 1).size() + 2;
  if (k > 0) c.headerSize += options_.cabinetName(k - 1).size() + 2;
  c.used = c.headerSize;
  c.spoolOffset = spoolEnd_;
  cabinets_.push_back(std::move(c));
}

void Writer::OpenFolder() {
  cab().folders.push_back(Folder{cab().dataSize});
  cab().used += kFolderSize;
  folderOpen_ = true;
  folderOffset_ = 0;
  previousInput_.reset();
}

void Writer::CloseFolder() {
  if (lzx_) {
    if (SideBySide()) {
      lzx_->Finish();
      lzxEnded_.push_back(std::move(lzx_));
    } else {
      Drain();
      lzx_.reset();
    }
  }
  folderOpen_ = false;
}

void Writer::AddEntry(int file, uint32_t offset, bool fromPrev) {
  Entry e{file, offset, static_cast<int>(cab().folders.size()) - 1};
  e.fromPrev = fromPrev;
  lastEntry_[file] = static_cast<int>(cab().entries.size());
  cab().entries.push_back(e);
  cab().used += EntrySize(files_[file]);
}

void Writer::Spool(const void* data, size_t size) {
  if (!error_.empty()) return;
  if (std::fwrite(data, 1, size, CabinetSetAccess::Spool(*set_)) != size) {
    const std::string& path = CabinetSetAccess::SpoolPath(*set_);
    error_ = "cannot write the cabinets' data to " +
             (path.empty() ? std::string("a temporary file") : path);
    return;
  }
  spoolEnd_ += size;
}

void Writer::AppendPart(const uint8_t* data, size_t size, uint16_t uncompressed) {
  std::vector<uint8_t> out;
  uint8_t header[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                       static_cast<uint8_t>(uncompressed), static_cast<uint8_t>(uncompressed >> 8)};
  Put32(out, Checksum(header, 4, Checksum(data, size, 0)));
  out.insert(out.end(), header, header + 4);
  Spool(out.data(), out.size());
  Spool(data, size);
  cab().dataSize += kDataHeaderSize + size;
  Folder& folder = placingFolder_ >= 0 ? cab().folders[placingFolder_] : cab().folders.back();
  if (folder.blocks == 0) folder.dataStart = cab().dataSize - kDataHeaderSize - size;
  folder.blocks++;
  cab().used += kDataHeaderSize + size;
}

void Writer::SpanIntoNextCabinet(const std::vector<int>& files) {
  // Every file with data in the split block continues in the next cabinet.
  std::vector<std::pair<int, uint32_t>> spanning;
  for (int f : files) {
    Entry& e = cab().entries[lastEntry_[f]];
    e.toNext = true;
    spanning.emplace_back(f, e.offset);
  }
  OpenCabinet();
  cab().folders.push_back(Folder{0});
  cab().used += kFolderSize;
  for (const auto& s : spanning) AddEntry(s.first, s.second, true);
  closeAfterFile_ = true;
}

void Writer::PlaceBlock(const std::vector<uint8_t>& block, const InFlight& info) {
  bool forceSplit = info.forceSplit;
  size_t offset = 0;
  for (;;) {
    const size_t rest = block.size() - offset;
    const size_t room = Room();
    const bool fitsWhole = kDataHeaderSize + rest + kEntryRoom + kSplitRoom <= room;
    if (fitsWhole && !forceSplit) {
      AppendPart(block.data() + offset, rest, static_cast<uint16_t>(info.uncompressed));
      return;
    }
    // Split: this cabinet takes what it has room for (leaving at least one
    // byte for the next), the rest continues in the next cabinet.
    size_t part = room - kDataHeaderSize;
    if (part >= rest) part = rest > 1 ? rest - 1 : rest;
    AppendPart(block.data() + offset, part, 0);
    offset += part;
    forceSplit = false;
    SpanIntoNextCabinet(info.files);
  }
}

void Writer::PlaceNext() {
  InFlight next = std::move(inFlight_.front());
  inFlight_.pop_front();
  const std::vector<uint8_t> block = next.block.get();
  placingFolder_ = next.folder;
  PlaceBlock(block, next);
  placingFolder_ = -1;
}

void Writer::Drain() {
  if (lzx_) lzx_->Flush();
  while (!inFlight_.empty()) PlaceNext();
  lzxEnded_.clear();
}

void Writer::EmitBlock(bool forceSplit) {
  if (pending_.empty()) return;
  if (Lzx()) {
    // Frames of one folder form one stream: every frame but the folder's
    // last holds 32 KiB. The call translation stays off for a folder that
    // may grow past the frames it covers.
    if (!lzx_) {
      // As many folders at a time as there are cores.
      unsigned cores = std::thread::hardware_concurrency();
      cores = cores < 1 ? 1 : cores > 8 ? 8 : cores;
      if (lzxEnded_.size() + 1 >= cores) Drain();
      // The folder holds at most the rest of the input; side by side, it
      // ends with the file that takes it to lzxFolderSize.
      uint64_t most = totalInput_ - emittedInput_;
      if (SideBySide()) {
        uint64_t sum = 0;
        for (size_t k = static_cast<size_t>(pendingFiles_.front());
             k < files_.size() && sum < options_.lzxFolderSize; ++k) {
          sum += files_[k].size;
        }
        most = std::min(most, sum);
      }
      const bool translate = most <= kLzxTranslatedBytes;
      lzx_ = std::make_unique<LzxFolderJob>(options_.lzxWindowBits, options_.level, translate);
    }
    InFlight f;
    LzxFolderJob::Result result;
    f.block = result.get_future();
    f.uncompressed = static_cast<uint32_t>(pending_.size());
    f.files = pendingFiles_;
    f.forceSplit = forceSplit;
    if (SideBySide()) f.folder = static_cast<int>(cab().folders.size()) - 1;
    inFlight_.push_back(std::move(f));
    lzx_->Add(pending_, std::move(result));
    if (forceSplit) lzx_->Flush();
    folderOffset_ += static_cast<uint32_t>(pending_.size());
    emittedInput_ += pending_.size();
    pending_.clear();
    pendingFiles_.clear();
    // Frames are placed as soon as the stream has them.
    while (!inFlight_.empty() &&
           inFlight_.front().block.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      PlaceNext();
    }
    return;
  }
  if (!pool_) pool_ = std::make_unique<CompressionPool>(options_.compression, options_.level);
  auto input = std::make_shared<const std::vector<uint8_t>>(std::move(pending_));
  InFlight f;
  f.block = pool_->Submit(input, previousInput_);
  f.uncompressed = static_cast<uint32_t>(input->size());
  f.files = pendingFiles_;
  f.forceSplit = forceSplit;
  inFlight_.push_back(std::move(f));
  previousInput_ = input;
  folderOffset_ += static_cast<uint32_t>(input->size());
  pending_.clear();
  pendingFiles_.clear();
  while (inFlight_.size() > 2 * pool_->Threads()) PlaceNext();
  if (forceSplit) Drain();
}

bool Writer::StartFile(int index) {
  const InputFile& f = files_[index];
  const size_t need = EntrySize(f) + (folderOpen_ ? 0 : kFolderSize);
  if (options_.cabinetSize) Drain();
  const bool tooManyFiles = cab().entries.size() >= 65000;
  if (options_.cabinetSize && (Room() < need + kSplitRoom || tooManyFiles)) {
    // No room for this file's entry: the pending data crosses into the next
    // cabinet and this file starts a new folder there.
    EmitBlock(true);
    CloseFolder();
    closeAfterFile_ = false;
  } else if (tooManyFiles) {
    error_ = "more than 65000 files in one cabinet; set a cabinet size";
    return false;
  }
  if (pendingFiles_.size() >= maxFilesPerBlock_) {
    EmitBlock(false);
    if (options_.cabinetSize) Drain();
    // A short LZX frame ends its folder.
    if (Lzx()) {
      CloseFolder();
      closeAfterFile_ = false;
    }
  }
  if (closeAfterFile_) {
    // The block just placed crossed into a new cabinet: its folder ends with
    // the file before this one.
    CloseFolder();
    closeAfterFile_ = false;
  }
  if (SideBySide() && folderOpen_ && folderOffset_ + pending_.size() >= options_.lzxFolderSize) {
    // The folder ends here; the next one is compressed beside it.
    EmitBlock(false);
    CloseFolder();
  }
  if (!folderOpen_) OpenFolder();
  AddEntry(index, folderOffset_ + static_cast<uint32_t>(pending_.size()), false);
  pendingFiles_.push_back(index);
  return true;
}

void Writer::Append(const uint8_t* data, size_t size) {
  while (size > 0) {
    const size_t n = std::min(size, kMaxBlock - pending_.size());
    pending_.insert(pending_.end(), data, data + n);
    data += n;
    size -= n;
    if (pending_.size() == kMaxBlock) {
      const int current = pendingFiles_.back();
      EmitBlock(false);
      if (size > 0) pendingFiles_.push_back(current);
    }
  }
}

CabinetSetAccess::Piece Writer::Serialize(size_t k, bool last) {
  const Cabinet& c = cabinets_[k];
  CabinetSetAccess::Piece piece;
  std::vector<uint8_t>& out = piece.header;
  const std::string prev = k > 0 ? options_.cabinetName(static_cast<int>(k) - 1) : "";
  const std::string next = last ? "" : options_.cabinetName(static_cast<int>(k) + 1);
  size_t header = kHeaderSize + (k > 0 ? prev.size() + 2 : 0) + (last ? 0 : next.size() + 2);
  size_t filesSize = 0;
  for (const Entry& e : c.entries) filesSize += EntrySize(files_[e.file]);
  const size_t coffFiles = header + kFolderSize * c.folders.size();
  const size_t dataStart = coffFiles + filesSize;
  uint64_t total = dataStart + c.dataSize;
  if (!last && options_.pad && options_.cabinetSize > total) total = options_.cabinetSize;

  out.insert(out.end(), {'M', 'S', 'C', 'F'});
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(total));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(coffFiles));
  Put32(out, 0);
  out.push_back(3);
  out.push_back(1);
  Put16(out, static_cast<uint16_t>(c.folders.size()));
  Put16(out, static_cast<uint16_t>(c.entries.size()));
  Put16(out, static_cast<uint16_t>((k > 0 ? kPrevCabinet : 0) | (last ? 0 : kNextCabinet)));
  Put16(out, options_.setId);
  Put16(out, static_cast<uint16_t>(k));
  if (k > 0) {
    PutName(out, prev);
    PutName(out, "");
  }
  if (!last) {
    PutName(out, next);
    PutName(out, "");
  }
  for (const Folder& f : c.folders) {
    Put32(out, static_cast<uint32_t>(dataStart + f.dataStart));
    Put16(out, f.blocks);
    Put16(out, Lzx() ? LzxFolderType(options_.lzxWindowBits)
                     : static_cast<uint16_t>(options_.compression));
  }
  for (const Entry& e : c.entries) {
    const InputFile& f = files_[e.file];
    Put32(out, f.size);
    Put32(out, e.offset);
    uint16_t index = static_cast<uint16_t>(e.folder);
    if (e.fromPrev && e.toNext) {
      index = kContinuedPrevAndNext;
    } else if (e.fromPrev) {
      index = kContinuedFromPrev;
    } else if (e.toNext) {
      index = kContinuedToNext;
    }
    Put16(out, index);
    Put16(out, f.date);
    Put16(out, f.time);
    Put16(out, f.attributes);
    PutName(out, f.name);
  }
  piece.spoolOffset = c.spoolOffset;
  piece.dataSize = c.dataSize;
  piece.padding = total - dataStart - c.dataSize;
  return piece;
}

SetResult Writer::Run() {
  SetResult result;
  set_.reset(CabinetSetAccess::Make());
  std::FILE*& spool = CabinetSetAccess::Spool(*set_);
  if (options_.spoolPath.empty()) {
    spool = std::tmpfile();
  } else {
    spool = std::fopen(options_.spoolPath.c_str(), "w+b");
    if (spool) CabinetSetAccess::SpoolPath(*set_) = options_.spoolPath;
  }
  if (!spool) {
    result.error = "cannot create a file for the cabinets' data" +
                   (options_.spoolPath.empty() ? std::string() : ": " + options_.spoolPath);
    return result;
  }
  if (options_.cabinetSize && options_.cabinetSize < kMinimumCabinetSize) {
    result.error = "the cabinet size must be at least " + std::to_string(kMinimumCabinetSize);
    return result;
  }
  for (const InputFile& f : files_) {
    if (f.name.empty() || f.name.size() > kMaxName) {
      result.error = "a name inside a cabinet must have 1 to 255 characters: " + f.name;
      return result;
    }
  }
  // Files that a split block carries are listed again in the next cabinet;
  // keep those lists to a quarter of a cabinet.
  maxFilesPerBlock_ =
      options_.cabinetSize
          ? std::max<size_t>(8, options_.cabinetSize / 4 / (kFileFixedSize + kMaxName + 1))
          : SIZE_MAX;
  if (Lzx() &&
      (options_.lzxWindowBits < kLzxMinWindowBits || options_.lzxWindowBits > kLzxMaxWindowBits)) {
    result.error = "the LZX window must be 15 to 21 bits";
    return result;
  }
  for (const InputFile& f : files_) totalInput_ += f.size;
  lastEntry_.assign(files_.size(), -1);
  OpenCabinet();
  OpenFolder();
  // Empty files need no data: they are listed in the first folder, where a
  // decompressor finds them before anything else.
  for (size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].size == 0) AddEntry(static_cast<int>(i), 0, false);
  }
  std::vector<uint8_t> buffer(1 << 20);
  for (size_t i = 0; i < files_.size() && error_.empty(); ++i) {
    const InputFile& f = files_[i];
    if (f.size == 0) continue;
    if (!StartFile(static_cast<int>(i))) break;
    if (f.sourcePath.empty()) {
      if (f.bytes.size() != f.size) {
        error_ = "size mismatch for " + f.name;
        break;
      }
      Append(f.bytes.data(), f.bytes.size());
    } else {
      std::FILE* in = std::fopen(f.sourcePath.c_str(), "rb");
      if (!in) {
        error_ = "cannot read " + f.sourcePath;
        failedInput_ = i;
        break;
      }
      uint64_t total = 0;
      size_t n;
      while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(n, f.size - total));
        Append(buffer.data(), take);
        total += take;
        if (total == f.size) break;
      }
      std::fclose(in);
      if (total != f.size) {
        error_ = "the file changed while it was packed: " + f.sourcePath;
        failedInput_ = i;
        break;
      }
    }
    if (options_.cabinetSize) Drain();
    if (closeAfterFile_) {
      EmitBlock(false);
      Drain();
      CloseFolder();
      closeAfterFile_ = false;
    }
  }
  if (error_.empty()) EmitBlock(false);
  Drain();
  lzx_.reset();
  pool_.reset();
  if (!error_.empty()) {
    result.error = error_;
    result.failedInput = failedInput_;
    return result;
  }
  // A cabinet that ended up without entries or data (a split exactly at the
  // end) is dropped.
  if (error_.empty() && std::fflush(CabinetSetAccess::Spool(*set_)) != 0)
    error_ = "cannot write the cabinets' data";
  if (!error_.empty()) {
    result.error = error_;
    return result;
  }
  while (cabinets_.size() > 1 && cabinets_.back().dataSize == 0 &&
         cabinets_.back().entries.empty()) {
    cabinets_.pop_back();
  }
  for (size_t k = 0; k < cabinets_.size(); ++k) {
    CabinetSetAccess::Cabinets(*set_).push_back(Serialize(k, k + 1 == cabinets_.size()));
  }
  result.set = std::move(set_);
  return result;
}

}  // namespace

CabinetSet::~CabinetSet() {
  if (spool_) std::fclose(spool_);
  if (!spoolPath_.empty()) std::remove(spoolPath_.c_str());
}

uint64_t CabinetSet::Size(size_t k) const {
  const Piece& p = cabinets_[k];
  return p.header.size() + p.dataSize + p.padding;
}

bool CabinetSet::Write(size_t k, uint64_t from, uint64_t length, const Output& out,
                       std::string& error) const {
  const Piece& p = cabinets_[k];
  const uint64_t end = from + length;
  // The header.
  if (from < p.header.size()) {
    const uint64_t n = std::min<uint64_t>(end, p.header.size()) - from;
    if (!out(p.header.data() + from, static_cast<size_t>(n))) return false;
    from += n;
  }
  // The data from the spool.
  const uint64_t dataEnd = p.header.size() + p.dataSize;
  if (from < end && from < dataEnd) {
    uint64_t at = p.spoolOffset + (from - p.header.size());
    uint64_t left = std::min(end, dataEnd) - from;
    std::vector<uint8_t> buffer(std::min<uint64_t>(left, 1 << 20));
    while (left > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
#ifdef _WIN32
      const bool placed = _fseeki64(spool_, static_cast<__int64>(at), SEEK_SET) == 0;
#else
      const bool placed = fseeko(spool_, static_cast<off_t>(at), SEEK_SET) == 0;
#endif
      if (!placed || std::fread(buffer.data(), 1, n, spool_) != n) {
        error = "cannot read the cabinets' data back";
        return false;
      }
      if (!out(buffer.data(), n)) return false;
      at += n;
      left -= n;
      from += n;
    }
  }
  // The padding.
  static const uint8_t kZeros[4096] = {};
  while (from < end) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(end - from, sizeof kZeros));
    if (!out(kZeros, n)) return false;
    from += n;
  }
  return true;
}

SetResult WriteCabinetSet(const std::vector<InputFile>& files, const Options& options) {
  Writer writer(files, options);
  return writer.Run();
}

Result WriteCabinets(const std::vector<InputFile>& files, const Options& options) {
  SetResult written = WriteCabinetSet(files, options);
  Result result;
  result.error = written.error;
  result.failedInput = written.failedInput;
  if (!written.set) return result;
  for (size_t k = 0; k < written.set->Count(); ++k) {
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(written.set->Size(k)));
    const bool ok = written.set->Write(
        k, 0, written.set->Size(k),
        [&](const uint8_t* p, size_t n) {
          bytes.insert(bytes.end(), p, p + n);
          return true;
        },
        result.error);
    if (!ok) {
      result.cabinets.clear();
      return result;
    }
    result.cabinets.push_back(std::move(bytes));
  }
  return result;
}

}  // namespace qb::cab
