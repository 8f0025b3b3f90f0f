// The object machinery of the PDF writer.
//
// The document is built in memory and reaches its file in one piece at the end (or stays in
// memory for pdfbuf), so a run that never finishes leaves no broken file behind.
// Every object number is reserved before its body exists; its byte offset is stamped when the
// body is written, so the cross-reference table comes straight from the object table and the
// objects may be written in any order.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavero::pdf {

// Number text without printf or the C locale (exact like "%.Nf", no "-0.00").
void append_fixed(std::string& s, double v, int decimals);
void append_int(std::string& s, long long v);
// v with two decimals into p (room for fastfmt::kMaxFixedLen), the same text as
// fastfmt::append_fixed(p, v, 2): page coordinates take a short path, anything else (large,
// non-finite, or within rounding distance of a half) the exact one.
char* put_fixed2(char* p, double v);

class ObjectWriter {
 public:
  ObjectWriter() = default;
  ~ObjectWriter();
  ObjectWriter(const ObjectWriter&) = delete;
  ObjectWriter& operator=(const ObjectWriter&) = delete;

  // The document will go to this file; false when it cannot be created.
  bool open_file(const char* name);
  // Keeps the whole document in memory (take_memory() after finish()).
  void open_memory(std::size_t reserve);

  int reserve();                      // the next object number, 1, 2, ...
  void begin(int num);                // stamps the offset and writes "num 0 obj\n"
  void end() { put("endobj\n"); }

  void put(const char* s, std::size_t n) { buf_.append(s, n); }
  void put(const char* s);
  void put(const std::string& s) { put(s.data(), s.size()); }
  void put_int(long long v);

  // A complete stream object. `head` opens the dictionary ("<< " or "<< /Type ... \n   ");
  // the writer adds the length, the filter line (prefixed by `indent`) when the data could be
  // compressed, "stream", the data and "endstream". Without compression the length is a
  // separate object written right after. `text` data already ends its last line.
  void stream(int num, const std::string& head, const char* indent, const char* data,
              std::size_t n, bool compress, bool text);
  // A compressed content stream ("<< " head, text data) of a large page: deflated on a
  // helper thread while the caller produces the next piece, and written in the order given
  // before anything else reaches the document, so the bytes do not depend on the timing.
  void content_stream_later(int num, std::string&& data);

  // Cross-reference table and trailer; the file (if any) is written.
  void finish(int root, int info);
  // Drops the document.
  void abandon();

  bool ok() const { return !error_; }
  bool settled() const { return jobs_.empty(); }
  std::string take_memory() { return std::move(buf_); }
  uint64_t offset() const { return buf_.size(); }

 private:
  bool error_ = false;
  std::string name_;
  std::string buf_;
  std::vector<uint64_t> offsets_;   // by object number - 1; kUnwritten until begin()
  static constexpr uint64_t kUnwritten = ~uint64_t{0};

  // --- streams being compressed
  struct Job {
    int num = 0;
    std::string data;
    std::vector<uint8_t> packed;
    bool packed_ok = false;
    bool taken = false, done = false;
  };
  static void pack(Job& j);
  void begin_unsettled(int num);
  void write_job(Job& j);
  // Writes finished jobs at the head of the queue; with `all`, every job (the caller packs
  // what no thread has started yet).
  void settle(bool all);
  void stop_helper();
  void helper_loop();
  std::deque<std::unique_ptr<Job>> jobs_;   // in document order; only this thread pops
  std::mutex mu_;
  std::condition_variable work_cv_, done_cv_;
  std::thread helper_;
  bool helper_failed_ = false, stopping_ = false;
};

}  // namespace tavero::pdf
