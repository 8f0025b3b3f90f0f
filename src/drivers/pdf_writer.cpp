#include "drivers/pdf_writer.h"

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
  offsets_[static_cast<std::size_t>(num - 1)] = offset();
  put_int(num);
  put(" 0 obj\n");
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
  buf_.clear();
  buf_.shrink_to_fit();
}

}  // namespace tavero::pdf
