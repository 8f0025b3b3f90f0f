// Conversion of Python arguments into C arrays for the generated wrappers.
//
// A sequence is converted element by element with the exact messages of the binding; an
// object with the buffer protocol (numpy arrays, array.array, memoryview) is used in place
// when it is C-contiguous float64 (int32 for integer arrays) and converted once in C
// otherwise. Arrays own what they allocate and free it on every path.
#pragma once
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>

namespace tavero_py {

// seq_length: ValueError "parameter is not a sequence" / "sequence has no length".
Py_ssize_t seq_length(PyObject* obj);

template <typename T>
class Array {
 public:
  Array() = default;
  ~Array() { release(); }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  // n elements (n may exceed nothing: a shorter sequence is MemoryError "out of range").
  // writable: the routine will fill the array (a borrowed buffer must then be writable).
  bool convert(PyObject* obj, Py_ssize_t n, bool writable = false, Py_ssize_t pad = 0);
  bool convert_matrix(PyObject* obj, Py_ssize_t n, Py_ssize_t m);
  bool convert_cube(PyObject* obj, Py_ssize_t n, Py_ssize_t m, Py_ssize_t k);
  // Writes n elements back into the caller's sequence (nothing for a borrowed buffer, which
  // the routine filled in place).
  void write_back(PyObject* obj, Py_ssize_t n);

  T* data() { return data_; }
  Py_ssize_t size() const { return size_; }

 private:
  void release();
  bool alloc(Py_ssize_t n);
  bool from_buffer(PyObject* obj, Py_ssize_t n, bool writable, bool& handled);
  T* data_ = nullptr;
  Py_ssize_t size_ = 0;
  bool owned_ = false;
  Py_buffer view_{};
  bool has_view_ = false;
};

using DoubleArray = Array<double>;
using IntArray = Array<int>;

// Output bytes of routines that fill a buffer (outbuf).
class ByteBuffer {
 public:
  ~ByteBuffer();
  bool alloc(Py_ssize_t n);
  char* data() { return data_; }
  Py_ssize_t size() const { return size_; }

 private:
  char* data_ = nullptr;
  Py_ssize_t size_ = 0;
};

}  // namespace tavero_py
