#include "python/convert.h"

#include <climits>
#include <cstring>
#include <type_traits>

namespace tavero_py {

namespace {

PyObject* err(PyObject* type, const char* msg) {
  PyErr_SetString(type, msg);
  return nullptr;
}

template <typename T>
constexpr const char* kNoElement = std::is_same_v<T, double> ? "no floatingpoint element in sequence"
                                                             : "no integer element in sequence";

// One element of a sequence into a C value; false after setting the exception.
template <typename T>
bool take(PyObject* item, T& out) {
  if constexpr (std::is_same_v<T, double>) {
    if (PyFloat_Check(item)) {
      out = PyFloat_AS_DOUBLE(item);
      return true;
    }
    if (PyLong_Check(item)) {
      out = PyLong_AsDouble(item);
      if (out == -1.0 && PyErr_Occurred()) return false;
      return true;
    }
  } else {
    if (PyLong_Check(item)) {
      long v = PyLong_AsLong(item);
      if (v == -1 && PyErr_Occurred()) return false;
      if (v < INT_MIN || v > INT_MAX) {
        err(PyExc_OverflowError, "integer element does not fit into 32 bits");
        return false;
      }
      out = static_cast<int>(v);
      return true;
    }
  }
  err(PyExc_ValueError, kNoElement<T>);
  return false;
}

// "sequence error" when an item cannot be fetched: the double converter raises ValueError,
// the int converter MemoryError (and so do elements within matrix rows).
template <typename T>
PyObject* fetch_error_type() {
  return std::is_same_v<T, double> ? PyExc_ValueError : PyExc_MemoryError;
}

// Flat conversion of a sequence's first n items. Lists of plain floats are the common case:
// their items are read without the general dispatch.
template <typename T>
bool convert_items(PyObject* obj, Py_ssize_t n, T* out, PyObject* fetch_err) {
  if (PyList_CheckExact(obj) || PyTuple_CheckExact(obj)) {
    PyObject** items = PySequence_Fast_ITEMS(obj);
    if constexpr (std::is_same_v<T, double>) {
      for (Py_ssize_t i = 0; i < n; ++i) {
        PyObject* item = items[i];
        if (PyFloat_CheckExact(item))
          out[i] = PyFloat_AS_DOUBLE(item);
        else if (!take<T>(item, out[i]))
          return false;
      }
    } else {
      for (Py_ssize_t i = 0; i < n; ++i)
        if (!take<T>(items[i], out[i])) return false;
    }
    return true;
  }
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PySequence_GetItem(obj, i);
    if (!item) {
      PyErr_Clear();
      err(fetch_err, "sequence error");
      return false;
    }
    bool ok = take<T>(item, out[i]);
    Py_DECREF(item);
    if (!ok) return false;
  }
  return true;
}

template <typename T>
constexpr char kFormat = std::is_same_v<T, double> ? 'd' : 'i';

// Element size and kind of a buffer format we can convert once in C.
bool buffer_kind(const char* fmt, Py_ssize_t itemsize, char& kind) {
  if (!fmt) fmt = "B";
  while (*fmt == '@' || *fmt == '=' || *fmt == '<' || *fmt == '!') ++fmt;
  if (fmt[0] == 0 || fmt[1] != 0) return false;
  kind = fmt[0];
  switch (kind) {
    case 'd': return itemsize == 8;
    case 'f': return itemsize == 4;
    case 'b': case 'B': return itemsize == 1;
    case 'h': case 'H': return itemsize == 2;
    case 'i': case 'I': return itemsize == 4;
    case 'l': case 'L': case 'q': case 'Q': case 'n': case 'N': return itemsize == 8;
    case '?': return itemsize == 1;
    default: return false;
  }
}

template <typename T>
bool convert_buffer_items(const Py_buffer& v, char kind, Py_ssize_t n, T* out) {
  const char* p = static_cast<const char*>(v.buf);
  auto put = [&](Py_ssize_t i, auto value) -> bool {
    if constexpr (std::is_same_v<T, double>) {
      out[i] = static_cast<double>(value);
    } else {
      if constexpr (std::is_floating_point_v<decltype(value)>) {
        err(PyExc_ValueError, "no integer element in sequence");
        return false;
      } else {
        if (static_cast<long long>(value) < INT_MIN || static_cast<long long>(value) > INT_MAX) {
          err(PyExc_OverflowError, "integer element does not fit into 32 bits");
          return false;
        }
        out[i] = static_cast<int>(value);
      }
    }
    return true;
  };
  for (Py_ssize_t i = 0; i < n; ++i) {
    const char* e = p + i * v.itemsize;
    bool ok = true;
    switch (kind) {
      case 'd': { double x; std::memcpy(&x, e, 8); ok = put(i, x); break; }
      case 'f': { float x; std::memcpy(&x, e, 4); ok = put(i, x); break; }
      case 'b': ok = put(i, static_cast<long long>(*reinterpret_cast<const signed char*>(e))); break;
      case 'B': case '?': ok = put(i, static_cast<long long>(*reinterpret_cast<const unsigned char*>(e))); break;
      case 'h': { int16_t x; std::memcpy(&x, e, 2); ok = put(i, static_cast<long long>(x)); break; }
      case 'H': { uint16_t x; std::memcpy(&x, e, 2); ok = put(i, static_cast<long long>(x)); break; }
      case 'i': { int32_t x; std::memcpy(&x, e, 4); ok = put(i, static_cast<long long>(x)); break; }
      case 'I': { uint32_t x; std::memcpy(&x, e, 4); ok = put(i, static_cast<long long>(x)); break; }
      case 'l': case 'q': case 'n': { int64_t x; std::memcpy(&x, e, 8); ok = put(i, static_cast<long long>(x)); break; }
      default: { uint64_t x; std::memcpy(&x, e, 8);
        ok = put(i, x > static_cast<uint64_t>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(x)); break; }
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

Py_ssize_t seq_length(PyObject* obj) {
  if (!PySequence_Check(obj)) {
    err(PyExc_ValueError, "parameter is not a sequence");
    return -1;
  }
  Py_ssize_t n = PySequence_Size(obj);
  if (n < 0) {
    PyErr_Clear();
    err(PyExc_ValueError, "sequence has no length");
    return -1;
  }
  return n;
}

template <typename T>
void Array<T>::release() {
  if (has_view_) {
    PyBuffer_Release(&view_);
    has_view_ = false;
  }
  if (owned_) PyMem_RawFree(data_);
  data_ = nullptr;
  owned_ = false;
  size_ = 0;
}

template <typename T>
bool Array<T>::alloc(Py_ssize_t n) {
  release();
  if (n < 1) n = 1;
  if (static_cast<size_t>(n) > PY_SSIZE_T_MAX / sizeof(T)) {
    err(PyExc_MemoryError, "out of memory");
    return false;
  }
  data_ = static_cast<T*>(PyMem_RawCalloc(static_cast<size_t>(n), sizeof(T)));
  if (!data_) {
    err(PyExc_MemoryError, "out of memory");
    return false;
  }
  owned_ = true;
  size_ = n;
  return true;
}

template <typename T>
bool Array<T>::from_buffer(PyObject* obj, Py_ssize_t n, bool writable, bool& handled) {
  handled = false;
  if (!PyObject_CheckBuffer(obj) || PyBytes_Check(obj) || PyByteArray_Check(obj) ||
      PyUnicode_Check(obj))
    return true;
  int flags = PyBUF_FORMAT | PyBUF_C_CONTIGUOUS | (writable ? PyBUF_WRITABLE : 0);
  if (PyObject_GetBuffer(obj, &view_, flags) != 0) {
    PyErr_Clear();
    return true;  // not usable in place: fall back to the sequence protocol
  }
  has_view_ = true;
  char kind;
  Py_ssize_t count = view_.itemsize ? view_.len / view_.itemsize : 0;
  if (!buffer_kind(view_.format, view_.itemsize, kind)) {
    PyBuffer_Release(&view_);
    has_view_ = false;
    return true;
  }
  handled = true;
  if (count < n) {
    PyBuffer_Release(&view_);
    has_view_ = false;
    err(PyExc_MemoryError, "out of range");
    return false;
  }
  if (kind == kFormat<T> && view_.itemsize == static_cast<Py_ssize_t>(sizeof(T))) {
    data_ = static_cast<T*>(view_.buf);  // used in place
    size_ = n;
    return true;
  }
  Py_buffer v = view_;
  has_view_ = false;
  if (!alloc(n)) {
    PyBuffer_Release(&v);
    return false;
  }
  bool ok = convert_buffer_items<T>(v, kind, n, data_);
  PyBuffer_Release(&v);
  return ok;
}

template <typename T>
bool Array<T>::convert(PyObject* obj, Py_ssize_t n, bool writable, Py_ssize_t pad) {
  bool handled;
  if (n < 0) n = 0;
  if (!from_buffer(obj, n, writable, handled)) return false;
  if (handled) {
    if (pad > 0) {  // work space behind the data: copy out of the caller's buffer
      T* src = data_;
      bool was_owned = owned_;
      Py_buffer keep = view_;
      bool had_view = has_view_;
      owned_ = false;
      has_view_ = false;
      data_ = nullptr;
      T* fresh = static_cast<T*>(PyMem_RawCalloc(static_cast<size_t>(n + pad), sizeof(T)));
      if (fresh && n) std::memcpy(fresh, src, static_cast<size_t>(n) * sizeof(T));
      if (was_owned) PyMem_RawFree(src);
      if (had_view) PyBuffer_Release(&keep);
      if (!fresh) {
        err(PyExc_MemoryError, "out of memory");
        return false;
      }
      data_ = fresh;
      owned_ = true;
      size_ = n + pad;
    }
    return true;
  }
  Py_ssize_t len = seq_length(obj);
  if (len < 0) return false;
  if (len < n) {
    err(PyExc_MemoryError, "out of range");
    return false;
  }
  // every element up to n is written: only the work space behind it needs clearing, and
  // plain malloc spares touching a million elements twice
  release();
  if (pad < 0) pad = 0;
  Py_ssize_t total = n + pad < 1 ? 1 : n + pad;
  if (pad > PY_SSIZE_T_MAX - n || static_cast<size_t>(total) > PY_SSIZE_T_MAX / sizeof(T)) {
    err(PyExc_MemoryError, "out of memory");
    return false;
  }
  data_ = static_cast<T*>(PyMem_RawMalloc(static_cast<size_t>(total) * sizeof(T)));
  if (!data_) {
    err(PyExc_MemoryError, "out of memory");
    return false;
  }
  owned_ = true;
  size_ = total;
  if (total > n) std::memset(data_ + n, 0, static_cast<size_t>(total - n) * sizeof(T));
  return convert_items<T>(obj, n, data_, fetch_error_type<T>());
}

template <typename T>
bool Array<T>::convert_matrix(PyObject* obj, Py_ssize_t n, Py_ssize_t m) {
  bool handled;
  if (n > 0 && m > 0 && n <= PY_SSIZE_T_MAX / m) {
    if (!from_buffer(obj, n * m, false, handled)) return false;
    if (handled) return true;
  }
  Py_ssize_t rows = seq_length(obj);
  if (rows < 0) return false;
  Py_ssize_t cols = 1;
  if (rows > 0) {
    PyObject* first = PySequence_GetItem(obj, 0);
    if (!first) {
      PyErr_Clear();
      err(PyExc_ValueError, "sequence error");
      return false;
    }
    if (PySequence_Check(first) && !PyUnicode_Check(first)) {
      cols = PySequence_Size(first);
      if (cols < 0) {
        PyErr_Clear();
        cols = 0;
      }
    }
    Py_DECREF(first);
  }
  if (cols > 0 && rows > PY_SSIZE_T_MAX / cols) {
    err(PyExc_MemoryError, "out of memory");
    return false;
  }
  if (rows * cols < n * m || n <= 0 || m <= 0) {
    err(PyExc_MemoryError, "out of range");
    return false;
  }
  if (!alloc(rows * cols)) return false;
  Py_ssize_t pos = 0;
  for (Py_ssize_t i = 0; i < rows; ++i) {
    PyObject* row = PySequence_GetItem(obj, i);
    if (!row) {
      PyErr_Clear();
      err(PyExc_ValueError, "sequence error");
      return false;
    }
    bool ok = true;
    if (PySequence_Check(row) && !PyUnicode_Check(row)) {
      Py_ssize_t len = PySequence_Size(row);
      if (len != cols) {
        if (len < 0) PyErr_Clear();
        err(PyExc_ValueError, "matrix rows have different lengths");
        ok = false;
      } else {
        ok = convert_items<T>(row, cols, data_ + pos, PyExc_MemoryError);
        pos += cols;
      }
    } else if (pos < size_) {
      ok = take<T>(row, data_[pos++]);
    }
    Py_DECREF(row);
    if (!ok) return false;
  }
  return true;
}

template <typename T>
bool Array<T>::convert_cube(PyObject* obj, Py_ssize_t n, Py_ssize_t m, Py_ssize_t k) {
  bool handled;
  if (n > 0 && m > 0 && k > 0 && n <= PY_SSIZE_T_MAX / m / k) {
    if (!from_buffer(obj, n * m * k, false, handled)) return false;
    if (handled) return true;
  }
  Py_ssize_t len = seq_length(obj);
  if (len < 0) return false;
  if (len < n || n <= 0 || m <= 0 || k <= 0 || n > PY_SSIZE_T_MAX / m / k) {
    err(PyExc_MemoryError, "out of range");
    return false;
  }
  if (!alloc(n * m * k)) return false;
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* plane = PySequence_GetItem(obj, i);
    if (!plane) {
      PyErr_Clear();
      err(PyExc_ValueError, "sequence error");
      return false;
    }
    Array<T> sub;
    bool ok = sub.convert_matrix(plane, m, k);
    Py_DECREF(plane);
    if (!ok) return false;
    if (sub.size() < m * k) {
      err(PyExc_MemoryError, "out of range");
      return false;
    }
    std::memcpy(data_ + i * m * k, sub.data(), static_cast<size_t>(m * k) * sizeof(T));
  }
  return true;
}

template <typename T>
void Array<T>::write_back(PyObject* obj, Py_ssize_t n) {
  if (!owned_ || !data_) return;  // filled in place
  if (n > size_) n = size_;
  if (PyList_CheckExact(obj)) {
    Py_ssize_t len = PyList_GET_SIZE(obj);
    for (Py_ssize_t i = 0; i < n && i < len; ++i) {
      PyObject* v = std::is_same_v<T, double> ? PyFloat_FromDouble(static_cast<double>(data_[i]))
                                              : PyLong_FromLong(static_cast<long>(data_[i]));
      if (!v) {
        PyErr_Clear();
        return;
      }
      PyList_SetItem(obj, i, v);  // steals v
    }
    return;
  }
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* v = std::is_same_v<T, double> ? PyFloat_FromDouble(static_cast<double>(data_[i]))
                                            : PyLong_FromLong(static_cast<long>(data_[i]));
    if (!v) break;
    if (PySequence_SetItem(obj, i, v) < 0) PyErr_Clear();
    Py_DECREF(v);
  }
}

template class Array<double>;
template class Array<int>;

ByteBuffer::~ByteBuffer() { PyMem_RawFree(data_); }

bool ByteBuffer::alloc(Py_ssize_t n) {
  if (n < 0) n = 0;
  data_ = static_cast<char*>(PyMem_RawCalloc(static_cast<size_t>(n ? n : 1), 1));
  if (!data_) {
    PyErr_SetString(PyExc_MemoryError, "out of memory");
    return false;
  }
  size_ = n;
  return true;
}

}  // namespace tavero_py
