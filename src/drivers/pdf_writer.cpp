#include "drivers/pdf_writer.h"

#include <cmath>
#include <cstring>
#include <new>

#include "drivers/raster/deflate.h"
#include "text/fastfmt.h"

namespace tavero::pdf {

void append_fixed(std::string& s, double v, int decimals) {
  char b[fastfmt::kMaxFixedLen];
  char* e = fastfmt::append_fixed(b, v, decimals);
  s.append(b, static_cast<std::size_t>(e - b));
}

void append_int(std::string& s, long long v) {
  char b[fastfmt::kMaxIntLen + 2];
  char* e = fastfmt::append_int(b, v);
  s.append(b, static_cast<std::size_t>(e - b));
}

char* put_fixed2(char* p, double v) {
  const double av = std::fabs(v);
  if (!(av < 1e6)) return fastfmt::append_fixed(p, v, 2);
  const double y = av * 100.0;
  uint64_t q = static_cast<uint64_t>(y);
  const double frac = y - static_cast<double>(q);   // exact
  if (std::fabs(frac - 0.5) <= y * 0x1p-52) return fastfmt::append_fixed(p, v, 2);
  q += frac > 0.5 ? 1 : 0;
  if (q != 0 && v < 0) *p++ = '-';
  uint32_t ip = static_cast<uint32_t>(q / 100);
  const uint32_t fp = static_cast<uint32_t>(q % 100);
  char digits[8];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + ip % 10);
    ip /= 10;
  } while (ip);
  while (n) *p++ = digits[--n];
  p[0] = '.';
  p[1] = static_cast<char>('0' + fp / 10);
  p[2] = static_cast<char>('0' + fp % 10);
  return p + 3;
}

bool ObjectWriter::open_file(const char* name) {
  // try the name now so that a bad one is reported at once; an existing file is not touched
  FILE* probe = std::fopen(name, "rb");
  bool existed = probe != nullptr;
  if (probe) std::fclose(probe);
  FILE* f = std::fopen(name, "ab");
  if (!f) return false;
  std::fclose(f);
  if (!existed) std::remove(name);
  name_ = name;
  put("%PDF-1.3\n");
  return true;
}

void ObjectWriter::open_memory(std::size_t reserve) {
  buf_.reserve(reserve);
  put("%PDF-1.3\n");
}

void ObjectWriter::put(const char* s) { put(s, std::strlen(s)); }

void ObjectWriter::put_int(long long v) {
  char b[fastfmt::kMaxIntLen + 2];
  char* e = fastfmt::append_int(b, v);
  put(b, static_cast<std::size_t>(e - b));
}

int ObjectWriter::reserve() {
  offsets_.push_back(kUnwritten);
  return static_cast<int>(offsets_.size());
}

void ObjectWriter::begin(int num) {
  if (!jobs_.empty()) settle(true);
  begin_unsettled(num);
}

void ObjectWriter::begin_unsettled(int num) {
  offsets_[static_cast<std::size_t>(num - 1)] = offset();
  put_int(num);
  put(" 0 obj\n");
}

ObjectWriter::~ObjectWriter() { stop_helper(); }

// ------------------------------------------------------------------------------------------
// Content streams of large pages: libdeflate at the default level takes three times as long
// as writing the content, so the pieces are compressed on one helper thread and, whenever
// two are waiting, by the producing thread too. Small documents never start the thread.

void ObjectWriter::pack(Job& j) {
  try {
    j.packed_ok = raster::zlib_compress(reinterpret_cast<const uint8_t*>(j.data.data()),
                                        j.data.size(), j.packed);
  } catch (const std::bad_alloc&) {
    j.packed_ok = false;
  }
}

void ObjectWriter::helper_loop() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    Job* job = nullptr;
    for (auto& j : jobs_)
      if (!j->taken) {
        job = j.get();
        break;
      }
    if (!job) {
      if (stopping_) return;
      work_cv_.wait(lock);
      continue;
    }
    job->taken = true;
    lock.unlock();
    pack(*job);
    lock.lock();
    job->done = true;
    done_cv_.notify_all();
  }
}

void ObjectWriter::stop_helper() {
  if (!helper_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    stopping_ = true;
    for (auto& j : jobs_) j->taken = true;   // what is not started stays for the caller
  }
  work_cv_.notify_all();
  helper_.join();
}

void ObjectWriter::write_job(Job& j) {
  begin_unsettled(j.num);
  if (j.packed_ok) {
    put("<< /Length ");
    put_int(static_cast<long long>(j.packed.size()));
    put("\n/Filter /FlateDecode\n>>\nstream\n");
    put(reinterpret_cast<const char*>(j.packed.data()), j.packed.size());
    put("\nendstream\nendobj\n");
    return;
  }
  // as stream(): raw text with its direct length when compression failed
  put("<< /Length ");
  put_int(static_cast<long long>(j.data.size()));
  put(" >>\nstream\n");
  put(j.data.data(), j.data.size());
  if (j.data.empty() || j.data.back() != '\n') put("\n");
  put("endstream\nendobj\n");
}

void ObjectWriter::content_stream_later(int num, std::string&& data) {
  auto job = std::make_unique<Job>();
  job->num = num;
  job->data = std::move(data);
  if (!helper_.joinable() && !helper_failed_) {
    try {
      helper_ = std::thread([this] { helper_loop(); });
    } catch (...) {
      helper_failed_ = true;   // no thread: everything is packed here
    }
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    jobs_.push_back(std::move(job));
  }
  work_cv_.notify_one();
  settle(false);
}

void ObjectWriter::settle(bool all) {
  for (;;) {
    Job* mine = nullptr;
    {
      std::unique_lock<std::mutex> lock(mu_);
      while (!jobs_.empty() && jobs_.front()->done) {
        std::unique_ptr<Job> j = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        write_job(*j);
        j.reset();
        lock.lock();
      }
      if (jobs_.empty()) return;
      int waiting = 0;
      for (auto& j : jobs_) {
        if (j->taken) continue;
        if (!mine) mine = j.get();
        ++waiting;
      }
      // help when the helper is behind (two waiting) or absent, and at the end
      if (!mine || !(all || waiting >= 2 || !helper_.joinable())) {
        if (!all) return;
        done_cv_.wait(lock, [&] { return jobs_.front()->done; });
        continue;
      }
      mine->taken = true;
    }
    pack(*mine);
    std::lock_guard<std::mutex> lock(mu_);
    mine->done = true;
  }
}

void ObjectWriter::stream(int num, const std::string& head, const char* indent, const char* data,
                          std::size_t n, bool compress, bool text) {
  std::vector<uint8_t> packed;
  const bool asked = compress;
  if (compress) {
    try {
      compress = raster::zlib_compress(reinterpret_cast<const uint8_t*>(data), n, packed);
    } catch (const std::bad_alloc&) {
      compress = false;
    }
  }
  begin(num);
  put(head);
  if (compress) {
    put("/Length ");
    put_int(static_cast<long long>(packed.size()));
    put("\n");
    put(indent);
    put("/Filter /FlateDecode\n>>\nstream\n");
    put(reinterpret_cast<const char*>(packed.data()), packed.size());
    put("\nendstream\nendobj\n");
    return;
  }
  // a binary stream gets an end of line before "endstream" that its length does not count
  bool eol = !text || n == 0 || data[n - 1] != '\n';
  int len_obj = 0;
  put("/Length ");
  if (text && !asked) {  // content written as it comes: its length is known only afterwards
    len_obj = reserve();
    put_int(len_obj);
    put(" 0 R >>\nstream\n");
  } else {
    put_int(static_cast<long long>(n));
    put(" >>\nstream\n");
  }
  put(data, n);
  if (eol) put("\n");
  put("endstream\nendobj\n");
  if (len_obj) {
    begin(len_obj);
    put_int(static_cast<long long>(n));
    put("\nendobj\n");
  }
}

void ObjectWriter::finish(int root, int info) {
  settle(true);
  stop_helper();
  uint64_t xref = offset();
  std::size_t count = offsets_.size() + 1;
  put("xref\n0 ");
  put_int(static_cast<long long>(count));
  put("\n0000000000 65535 f \n");
  char line[21];
  for (uint64_t off : offsets_) {
    if (off == kUnwritten) off = 0;  // never happens: every reserved object is written
    uint64_t v = off;
    for (int i = 9; i >= 0; --i) {
      line[i] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
    std::memcpy(line + 10, " 00000 n \n", 10);
    put(line, 20);
  }
  put("trailer\n<< /Size ");
  put_int(static_cast<long long>(count));
  put(" /Root ");
  put_int(root);
  put(" 0 R /Info ");
  put_int(info);
  put(" 0 R\n>>\nstartxref\n");
  put_int(static_cast<long long>(xref));
  put("\n%%EOF\n");
  if (name_.empty()) return;
  FILE* f = std::fopen(name_.c_str(), "wb");
  if (!f) {
    error_ = true;
    return;
  }
  if (std::fwrite(buf_.data(), 1, buf_.size(), f) != buf_.size()) error_ = true;
  if (std::fclose(f) != 0) error_ = true;
  if (error_) std::remove(name_.c_str());
}

void ObjectWriter::abandon() {
  stop_helper();
  jobs_.clear();
  buf_.clear();
  buf_.shrink_to_fit();
}

}  // namespace tavero::pdf
