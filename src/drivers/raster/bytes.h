// Little helpers for appending binary fields to a byte vector (internal to the encoders).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace tavero::raster::bytes {

inline void u8(std::vector<uint8_t>& o, unsigned v) { o.push_back(uint8_t(v)); }
inline void le16(std::vector<uint8_t>& o, unsigned v) {
    o.push_back(uint8_t(v));
    o.push_back(uint8_t(v >> 8));
}
inline void le32(std::vector<uint8_t>& o, uint32_t v) {
    for (int i = 0; i < 4; ++i) o.push_back(uint8_t(v >> (8 * i)));
}
inline void be32(std::vector<uint8_t>& o, uint32_t v) {
    for (int i = 3; i >= 0; --i) o.push_back(uint8_t(v >> (8 * i)));
}
inline void str(std::vector<uint8_t>& o, const char* s) {
    o.insert(o.end(), s, s + std::strlen(s));
}
inline void put_le16(uint8_t* p, unsigned v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put_le32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace tavero::raster::bytes
