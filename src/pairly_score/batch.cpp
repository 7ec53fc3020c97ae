// The batch mode: lines read in large pieces, scored in blocks of whole lines (on worker
// threads when the input is large), the results written in input order in large pieces.
#include <algorithm>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "calculate/calculate.h"
#include "pairly_score/scorer.h"
#include "runtime/number_text.h"
#include "runtime/text.h"
#include "scoring/pair_scorer.h"

namespace pairly_score {
namespace {

// Input is read, and handed out as work, in pieces of about this size.
constexpr std::size_t kBlockBytes = std::size_t{64} << 10;
// A line longer than this is read only once every line before it is scored, so that the
// memory of long lines is not needed for several at once.
constexpr std::size_t kLongLine = std::size_t{16} << 20;
// Buffers grown beyond this for long lines are given back once their block is written.
constexpr std::size_t kKeptBytes = 4 * kBlockBytes;

// Whether the text is ASCII, and so its own UTF-8 with one code unit a byte.
bool IsAscii(std::string_view text) {
  unsigned char bits = 0;
  for (const char byte : text) bits |= static_cast<unsigned char>(byte);
  return bits < 0x80;
}

// Why a line could not be scored.
enum class Fault { kNone, kNoTab, kBadUtf8, kRuntimeError, kOutOfMemory };

// Whole lines of the input and their results.
struct Block {
  std::string input;
  std::string output;
  int64_t lines = 0;  // lines scored, each with its result in `output`
  Fault fault = Fault::kNone;
  runtime::ErrorKind error = runtime::ErrorKind::kOverflow;  // for kRuntimeError
  std::size_t faultAt = 0;                                   // where the bad line starts in `input`
  bool concurrent = false;  // scored while other blocks may have been
  bool done = false;        // guarded by the run's mutex while a worker may hold the block
};

// Scores lines one after the other, reusing its buffers from one line to the next.
class LineScorer {
 public:
  LineScorer(const runtime::TextServices& text, std::u16string_view separator)
      : scorer_(text), separator_(separator), texts_(std::size_t{1} << kTextsBits) {}

  // Scores the block's lines from `from` on, until its end, the first bad line, or `stop`.
  void Score(Block& block, std::size_t from, const std::atomic<bool>& stop) {
    const std::string_view input(block.input);
    for (std::size_t start = from; start < input.size();) {
      if (stop.load(std::memory_order_relaxed)) break;
      const std::size_t end = std::min(input.find('\n', start), input.size());
      block.fault = ScoreLine(input.substr(start, end - start), block.output, block.error);
      if (block.fault != Fault::kNone) {
        block.faultAt = start;
        break;
      }
      ++block.lines;
      start = end + 1;
    }
    Trim();
  }

 private:
  // The results of a score, kept by its value: names of ordinary length give a few hundred
  // values, each looked for in a few neighbouring places and kept in the first free one.
  struct Texts {
    uint64_t score;
    uint8_t size;  // 0 while unused
    char text[55];
  };
  static constexpr int kTextsBits = 10;
  static constexpr std::size_t kPlaces = 8;

  Fault ScoreLine(std::string_view line, std::string& output, runtime::ErrorKind& error) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return Fault::kNoTab;
    const std::size_t mark = output.size();
    try {
      if (IsAscii(line)) {
        AppendResults(scorer_.ScoreAscii(line.substr(0, tab), line.substr(tab + 1)), output);
        return Fault::kNone;
      }
      const bool valid1 = runtime::DecodeUtf8(line.substr(0, tab), first_);
      const bool valid2 = runtime::DecodeUtf8(line.substr(tab + 1), second_);
      if (!valid1 || !valid2) return Fault::kBadUtf8;
      AppendResults(scorer_.Score(first_, second_), output);
      return Fault::kNone;
    } catch (const runtime::RuntimeError& raised) {
      error = raised.kind();
      output.resize(mark);
      return Fault::kRuntimeError;
    } catch (const std::bad_alloc&) {
      output.resize(mark);
      return Fault::kOutOfMemory;
    } catch (const std::length_error&) {  // a size beyond what can be allocated at all
      output.resize(mark);
      return Fault::kOutOfMemory;
    }
  }

  // "RESULT2<TAB>RESULT\n" for the score: the captions a click shows for it.
  void AppendResults(double score, std::string& output) {
    const auto bits = std::bit_cast<uint64_t>(score);
    const std::size_t home = (bits * 0x9E3779B97F4A7C15u) >> (64 - kTextsBits);
    Texts* free = nullptr;
    for (std::size_t place = 0; place < kPlaces; ++place) {
      Texts& kept = texts_[(home + place) & (texts_.size() - 1)];
      if (kept.size == 0) {
        free = &kept;
        break;
      }
      if (kept.score == bits) {
        output.append(kept.text, kept.size);
        return;
      }
    }
    const std::u16string scoreText = runtime::NumberToText(score, separator_);
    const std::string line = runtime::Utf16ToUtf8(scoreText) + '\t' +
                             runtime::Utf16ToUtf8(calculate::PercentText(scoreText, separator_)) +
                             '\n';
    output += line;
    if (free && line.size() <= sizeof free->text) {
      line.copy(free->text, line.size());
      free->score = bits;
      free->size = static_cast<uint8_t>(line.size());
    }
  }

  void Trim() {
    scorer_.Trim();
    for (std::u16string* name : {&first_, &second_}) {
      if (name->capacity() > kKeptBytes) std::u16string().swap(*name);
    }
  }

  scoring::PairScorer scorer_;
  const std::u16string separator_;
  std::u16string first_;
  std::u16string second_;
  std::vector<Texts> texts_;
};

class BatchRun {
 public:
  BatchRun(InputSource& input, std::ostream& output, std::ostream& errors,
           const runtime::TextServices& text, int jobs)
      : input_(input),
        output_(output),
        errors_(errors),
        text_(text),
        separator_(text.DecimalSeparator()),
        jobs_(jobs),
        scorer_(text, separator_) {}
  BatchRun(const BatchRun&) = delete;
  BatchRun& operator=(const BatchRun&) = delete;

  ~BatchRun() {
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    stop_ = true;
    workReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  int Run() {
    try {
      return ReadAndScore();
    } catch (const std::bad_alloc&) {
      return OutOfMemory();
    } catch (const std::length_error&) {
      return OutOfMemory();
    }
  }

 private:
  int ReadAndScore() {
    std::unique_ptr<Block> current = TakeBlock();
    for (;;) {
      if (input_.MustWait()) {
        // Everything read so far is answered before waiting for more.
        if (!Dispatch(CompleteLines(current)) || !WriteFinished(0)) return 1;
        output_.flush();
      }
      const std::size_t size = current->input.size();
      if (size >= kLongLine && !WriteFinished(0)) return 1;
      const std::size_t room = std::max(kBlockBytes, size);  // a long line's buffer doubles
      if (!Grow(*current, size + room)) return 1;
      const std::size_t read = input_.Read(current->input.data() + size, room);
      current->input.resize(size + read);
      if (read == 0) break;
      if (current->input.size() >= kBlockBytes) {
        if (jobs_ > 1 && !workersStarted_) StartWorkers();
        if (!Dispatch(CompleteLines(current))) return 1;
      }
      if (!WriteFinished(kNoWait)) return 1;
    }
    if (input_.Failed()) {
      // The line being read cannot be completed: the lines before it are answered.
      if (!Dispatch(CompleteLines(current)) || !WriteFinished(0)) return 1;
      return Report(linesWritten_ + 1, "cannot read the input");
    }
    // A last line without a line end counts too.
    if (!current->input.empty() && !Dispatch(std::move(current))) return 1;
    if (!WriteFinished(0)) return 1;
    output_.flush();
    if (!output_) {
      errors_ << "pairly-score: cannot write the results\n";
      return 1;
    }
    return 0;
  }

  // Sizes the block's input to `size`. False when a bad line was reported meanwhile.
  bool Grow(Block& block, std::size_t size) {
    bool grown = false;
    try {
      block.input.resize(size);
      grown = true;
    } catch (const std::bad_alloc&) {
    }
    if (grown) return true;
    // The lines in flight hold memory until they are done: wait for them, then try once more.
    if (!WriteFinished(0)) return false;
    block.input.resize(size);
    return true;
  }

  // Moves the complete lines of `current` to a block of their own, which it returns (none
  // when there is no complete line); `current` keeps the unfinished last line.
  std::unique_ptr<Block> CompleteLines(std::unique_ptr<Block>& current) {
    const std::size_t lineEnd = current->input.rfind('\n');
    if (lineEnd == std::string::npos) return nullptr;
    std::unique_ptr<Block> rest = TakeBlock();
    rest->input.assign(current->input, lineEnd + 1);
    current->input.resize(lineEnd + 1);
    current.swap(rest);
    return rest;
  }

  // Queues the block for the workers, or scores it here when they have enough waiting: this
  // thread is one of the jobs too. False once a bad line was reported.
  bool Dispatch(std::unique_ptr<Block> block) {
    if (!block) return true;
    if (!WriteFinished(MaxInFlight() - 1)) return false;
    Block& added = *block;
    inFlight_.push_back(std::move(block));
    bool queued = false;
    if (!workers_.empty()) {
      const std::lock_guard lock(mutex_);
      added.concurrent = true;
      if (queue_.size() < 2 * workers_.size()) {
        queue_.push_back(&added);
        queued = true;
      }
    }
    if (queued) {
      workReady_.notify_one();
    } else {
      scorer_.Score(added, 0, stop_);
      const std::lock_guard lock(mutex_);
      added.done = true;
    }
    return true;
  }

  std::size_t MaxInFlight() const { return 4 * (workers_.size() + 1); }

  // Writes the finished blocks at the head, in input order, waiting for the head while more
  // than `keep` blocks are in flight. False once a bad line was reported.
  static constexpr std::size_t kNoWait = SIZE_MAX;
  bool WriteFinished(std::size_t keep) {
    while (!inFlight_.empty()) {
      Block& head = *inFlight_.front();
      if (!IsDone(head)) {
        if (inFlight_.size() <= keep) return true;
        WaitUntilDone(head);
      }
      if (head.fault == Fault::kOutOfMemory && head.concurrent) {
        // Other lines were being scored at the same time: with all of them done, this one
        // gets a second try on its own, as it would have with one job.
        for (const std::unique_ptr<Block>& block : inFlight_) WaitUntilDone(*block);
        head.fault = Fault::kNone;
        head.concurrent = false;
        scorer_.Score(head, head.faultAt, stop_);
      }
      output_.write(head.output.data(), static_cast<std::streamsize>(head.output.size()));
      linesWritten_ += head.lines;
      if (head.fault != Fault::kNone) {
        Report(linesWritten_ + 1, Why(head));
        return false;
      }
      Recycle(std::move(inFlight_.front()));
      inFlight_.pop_front();
    }
    return true;
  }

  int Report(int64_t line, const std::string& why) {
    stop_ = true;
    output_.flush();
    errors_ << "pairly-score: line " << line << ": " << why << '\n';
    return 1;
  }

  static std::string Why(const Block& block) {
    switch (block.fault) {
      case Fault::kNoTab:
        return "no tab between the two names";
      case Fault::kBadUtf8:
        return "not valid UTF-8";
      case Fault::kRuntimeError:
        return ErrorText(block.error);
      case Fault::kOutOfMemory:
      case Fault::kNone:
        break;
    }
    return "out of memory";
  }

  // Memory ran out outside any one line's scoring, while reading or handing out work: the
  // lines handed out are answered and the first line not answered is named.
  int OutOfMemory() {
    if (!WriteFinished(0)) return 1;
    return Report(linesWritten_ + 1, "out of memory");
  }

  bool IsDone(Block& block) {
    const std::lock_guard lock(mutex_);
    return block.done;
  }

  // Rather than wait idle, this thread scores the blocks still queued.
  void WaitUntilDone(Block& block) {
    std::unique_lock lock(mutex_);
    while (!block.done) {
      if (queue_.empty()) {
        blockDone_.wait(lock);
        continue;
      }
      Block& taken = *queue_.front();
      queue_.pop_front();
      lock.unlock();
      scorer_.Score(taken, 0, stop_);
      lock.lock();
      taken.done = true;
    }
  }

  std::unique_ptr<Block> TakeBlock() {
    if (spare_.empty()) return std::make_unique<Block>();
    std::unique_ptr<Block> block = std::move(spare_.back());
    spare_.pop_back();
    return block;
  }

  void Recycle(std::unique_ptr<Block> block) {
    if (block->input.capacity() > kKeptBytes || block->output.capacity() > kKeptBytes) return;
    block->input.clear();
    block->output.clear();
    block->lines = 0;
    block->fault = Fault::kNone;
    block->concurrent = false;
    block->done = false;
    spare_.push_back(std::move(block));
  }

  void StartWorkers() {
    workersStarted_ = true;
    try {
      workers_.reserve(static_cast<std::size_t>(jobs_ - 1));
      for (int i = 1; i < jobs_; ++i) {
        scorers_.push_back(std::make_unique<LineScorer>(text_, separator_));
        workers_.emplace_back(&BatchRun::Work, this, std::ref(*scorers_.back()));
      }
    } catch (const std::exception&) {
      // Fewer threads than asked for: the lines are scored by those there are, or here.
    }
  }

  void Work(LineScorer& scorer) {
    for (;;) {
      Block* block = nullptr;
      {
        std::unique_lock lock(mutex_);
        workReady_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;
        block = queue_.front();
        queue_.pop_front();
      }
      scorer.Score(*block, 0, stop_);
      {
        const std::lock_guard lock(mutex_);
        block->done = true;
      }
      blockDone_.notify_one();
    }
  }

  InputSource& input_;
  std::ostream& output_;
  std::ostream& errors_;
  const runtime::TextServices& text_;
  const std::u16string separator_;
  const int jobs_;
  LineScorer scorer_;  // this thread's
  int64_t linesWritten_ = 0;
  std::deque<std::unique_ptr<Block>> inFlight_;  // in input order
  std::vector<std::unique_ptr<Block>> spare_;
  std::atomic<bool> stop_ = false;  // a bad line was reported: no more scoring

  // Shared with the workers.
  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable blockDone_;
  std::deque<Block*> queue_;
  bool closing_ = false;

  bool workersStarted_ = false;
  std::vector<std::unique_ptr<LineScorer>> scorers_;
  std::vector<std::thread> workers_;
};

}  // namespace

int ScoreBatch(InputSource& input, std::ostream& output, std::ostream& errors,
               const runtime::TextServices& text, int jobs) {
  try {
    BatchRun run(input, output, errors, text, jobs);
    return run.Run();
  } catch (const std::bad_alloc&) {  // not even the scorer's tables could be made
    errors << "pairly-score: out of memory\n";
    return 1;
  }
}

}  // namespace pairly_score
