#include <algorithm>
#include <memory>
#include <new>

#include "drivers/raster/bytes.h"
#include "drivers/raster/encode.h"

namespace tavero::raster {

namespace {

// Variable-width LZW for 8-bit pixels, as GIF wants it: codes of 9..12 bits packed
// least significant bit first, a clear code at the start and whenever the code table is
// full, the end code at the end; output cut into sub-blocks of at most 255 bytes.
// Strings are found through an open-addressing hash table of 5021 entries (a prime
// larger than the 4096 codes, so the table never fills).
class LzwEncoder {
public:
    explicit LzwEncoder(std::vector<uint8_t>& out) : out_(out) {}

    void encode(const ImageView& v) {
        reset_table();
        n_bits_ = kInitBits;
        max_code_ = (1 << n_bits_) - 1;
        output(kClear);
        bool first = true;
        int ent = 0;
        for (int y = 0; y < v.height; ++y) {
            const uint8_t* row = v.row(y);
            int x = 0;
            if (first) {
                ent = row[0];
                x = 1;
                first = false;
            }
            for (; x < v.width; ++x) {
                const int c = row[x];
                const int32_t fcode = (int32_t(c) << kMaxBits) + ent;
                int i = (c << kHashShift) ^ ent;  // < kHashSize for 8-bit c and 12-bit ent
                if (htab_[i] == fcode) {
                    ent = codetab_[i];
                    continue;
                }
                if (htab_[i] >= 0) {
                    // Secondary probe with a displacement that depends on the slot.
                    const int disp = i == 0 ? 1 : kHashSize - i;
                    bool found = false;
                    do {
                        i -= disp;
                        if (i < 0) i += kHashSize;
                        if (htab_[i] == fcode) {
                            ent = codetab_[i];
                            found = true;
                            break;
                        }
                    } while (htab_[i] >= 0);
                    if (found) continue;
                }
                output(ent);
                ent = c;
                if (free_ent_ < kMaxMaxCode) {
                    codetab_[i] = uint16_t(free_ent_++);
                    htab_[i] = fcode;
                } else {
                    // Table full: start over so the code width stays at most 12 bits.
                    reset_table();
                    clear_flag_ = true;
                    output(kClear);
                }
            }
        }
        output(ent);
        output(kEnd);
        flush_bits();
        flush_block();
        out_.push_back(0);  // block terminator
    }

private:
    static constexpr int kMinCodeSize = 8;
    static constexpr int kInitBits = kMinCodeSize + 1;
    static constexpr int kMaxBits = 12;
    static constexpr int kMaxMaxCode = 1 << kMaxBits;
    static constexpr int kHashSize = 5021;
    static constexpr int kHashShift = 4;
    static constexpr int kClear = 1 << kMinCodeSize;
    static constexpr int kEnd = kClear + 1;

    void reset_table() {
        std::fill(std::begin(htab_), std::end(htab_), -1);
        free_ent_ = kClear + 2;
    }

    void output(int code) {
        acc_ |= uint32_t(code) << acc_bits_;
        acc_bits_ += n_bits_;
        while (acc_bits_ >= 8) {
            byte(uint8_t(acc_));
            acc_ >>= 8;
            acc_bits_ -= 8;
        }
        // The decoder widens its codes once its table reaches the current limit; it runs
        // one entry behind the encoder, hence the test after the code is written.
        if (clear_flag_) {
            n_bits_ = kInitBits;
            max_code_ = (1 << n_bits_) - 1;
            clear_flag_ = false;
        } else if (free_ent_ > max_code_) {
            ++n_bits_;
            max_code_ = n_bits_ == kMaxBits ? kMaxMaxCode : (1 << n_bits_) - 1;
        }
    }

    void flush_bits() {
        if (acc_bits_ > 0) byte(uint8_t(acc_));
        acc_ = 0;
        acc_bits_ = 0;
    }

    void byte(uint8_t b) {
        block_[block_len_++] = b;
        if (block_len_ == 255) flush_block();
    }

    void flush_block() {
        if (block_len_ == 0) return;
        out_.push_back(uint8_t(block_len_));
        out_.insert(out_.end(), block_, block_ + block_len_);
        block_len_ = 0;
    }

    std::vector<uint8_t>& out_;
    int32_t htab_[kHashSize];
    uint16_t codetab_[kHashSize];
    int free_ent_ = 0;
    int n_bits_ = kInitBits;
    int max_code_ = 0;
    bool clear_flag_ = false;
    uint32_t acc_ = 0;
    int acc_bits_ = 0;
    uint8_t block_[256];
    int block_len_ = 0;
};

int gif_indexed(const ImageView& v, int bg, bool transparent, std::vector<uint8_t>& out) {
    bytes::str(out, transparent ? "GIF89a" : "GIF87a");
    bytes::le16(out, unsigned(v.width));
    bytes::le16(out, unsigned(v.height));
    bytes::u8(out, 0xF7);  // global table of 256 entries, 8 bits per primary
    bytes::u8(out, unsigned(bg));
    bytes::u8(out, 0);
    out.insert(out.end(), v.palette, v.palette + 768);
    if (transparent) {
        const uint8_t gce[8] = {0x21, 0xF9, 4, 1, 0, 0, uint8_t(bg), 0};
        out.insert(out.end(), gce, gce + 8);
    }
    bytes::u8(out, 0x2C);
    bytes::le16(out, 0);
    bytes::le16(out, 0);
    bytes::le16(out, unsigned(v.width));
    bytes::le16(out, unsigned(v.height));
    bytes::u8(out, 0);
    bytes::u8(out, 8);  // LZW minimum code size
    auto lzw = std::make_unique<LzwEncoder>(out);
    lzw->encode(v);
    bytes::u8(out, 0x3B);
    return kOk;
}

}  // namespace

int encode_gif(const ImageView& v, const GifOptions& opt, std::vector<uint8_t>& out) {
    out.clear();
    if (!v.pixels || v.width <= 0 || v.height <= 0) return kBadArgument;
    if (v.width > 65535 || v.height > 65535) return kBadArgument;
    try {
        out.reserve(std::size_t(v.width) * v.height / 4 + 1024);
        if (!v.truecolour) {
            if (!v.palette) return kBadArgument;
            return gif_indexed(v, std::clamp(opt.background_index, 0, 255), opt.transparent,
                               out);
        }
        PaletteImage pal;
        if (const int rc = pal.reduce(v); rc != kOk) return rc;
        const int bg = pal.index_of(opt.background.r, opt.background.g, opt.background.b);
        return gif_indexed(pal.view(), bg, opt.transparent, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return kNoMemory;
    }
}

}  // namespace tavero::raster
