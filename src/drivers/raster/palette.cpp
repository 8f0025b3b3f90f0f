// Palette reduction for true-colour images written in palette formats.
#include <algorithm>
#include <cstring>
#include <new>

#include "drivers/raster/encode.h"

namespace tavero::raster {

namespace {

constexpr int kExactSlots = 1024;  // power of two, > 2 x 256 keeps probe chains short

inline uint32_t rgb_key(const uint8_t* q) {
    return (uint32_t(q[0]) << 16) | (uint32_t(q[1]) << 8) | q[2];
}
inline int slot_of(uint32_t key) { return int((key * 2654435761u) >> 22) & (kExactSlots - 1); }
inline int bin_of(uint8_t r, uint8_t g, uint8_t b) {
    return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
}

struct Box {
    int lo[3], hi[3];
    uint64_t count;
};

}  // namespace

int PaletteImage::lookup_exact(uint32_t key) const {
    const uint32_t k = key + 1;  // 0 marks an empty slot
    for (int s = slot_of(k);; s = (s + 1) & (kExactSlots - 1)) {
        if (keys_[s] == k) return vals_[s];
        if (keys_[s] == 0) return -1;
    }
}

int PaletteImage::index_of(uint8_t r, uint8_t g, uint8_t b) const {
    if (exact_) {
        const uint8_t q[3] = {r, g, b};
        const int i = keys_.empty() ? -1 : lookup_exact(rgb_key(q));
        return i >= 0 ? i : nearest_index(palette_.data(), std::max(colours_, 1), r, g, b);
    }
    return lut_[bin_of(r, g, b)];
}

ImageView PaletteImage::view() const {
    ImageView v;
    v.pixels = pixels_.data();
    v.width = width_;
    v.height = height_;
    v.stride = width_;
    v.truecolour = false;
    v.palette = palette_.data();
    return v;
}

int PaletteImage::reduce(const ImageView& tc) {
    if (!tc.truecolour || tc.width <= 0 || tc.height <= 0 || !tc.pixels) return kBadArgument;
    try {
        width_ = tc.width;
        height_ = tc.height;
        colours_ = 0;
        palette_.fill(0);
        pixels_.resize(std::size_t(width_) * height_);
        keys_.assign(kExactSlots, 0);
        vals_.assign(kExactSlots, 0);
        lut_.clear();

        // First try an exact palette: plots rarely use more than a few dozen colours.
        exact_ = true;
        uint32_t last = 0xFFFFFFFFu;
        int last_idx = 0;
        for (int y = 0; y < height_ && exact_; ++y) {
            const uint8_t* q = tc.row(y);
            uint8_t* o = pixels_.data() + std::size_t(y) * width_;
            for (int x = 0; x < width_; ++x, q += 4) {
                const uint32_t key = rgb_key(q);
                if (key != last) {
                    const uint32_t k = key + 1;
                    int s = slot_of(k);
                    while (keys_[s] != 0 && keys_[s] != k) s = (s + 1) & (kExactSlots - 1);
                    if (keys_[s] == 0) {
                        if (colours_ == 256) {
                            exact_ = false;
                            break;
                        }
                        keys_[s] = k;
                        vals_[s] = uint8_t(colours_);
                        palette_[3 * colours_] = q[0];
                        palette_[3 * colours_ + 1] = q[1];
                        palette_[3 * colours_ + 2] = q[2];
                        ++colours_;
                    }
                    last = key;
                    last_idx = vals_[s];
                }
                o[x] = uint8_t(last_idx);
            }
        }
        if (exact_) return kOk;

        // Median cut over a 5-bit-per-channel histogram; each box's colour is the mean of
        // the true colours that fell into it.
        keys_.clear();
        vals_.clear();
        constexpr int kBins = 1 << 15;
        std::vector<uint32_t> hist(kBins, 0);
        std::vector<uint64_t> sum(3 * kBins, 0);
        for (int y = 0; y < height_; ++y) {
            const uint8_t* q = tc.row(y);
            for (int x = 0; x < width_; ++x, q += 4) {
                const int bi = bin_of(q[0], q[1], q[2]);
                ++hist[bi];
                sum[3 * bi] += q[0];
                sum[3 * bi + 1] += q[1];
                sum[3 * bi + 2] += q[2];
            }
        }
        auto at = [&](int a, int b, int c) { return hist[(a << 10) | (b << 5) | c]; };
        auto shrink = [&](Box& bx) {
            int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
            bx.count = 0;
            for (int a = bx.lo[0]; a <= bx.hi[0]; ++a)
                for (int b = bx.lo[1]; b <= bx.hi[1]; ++b)
                    for (int c = bx.lo[2]; c <= bx.hi[2]; ++c) {
                        const uint32_t h = at(a, b, c);
                        if (!h) continue;
                        bx.count += h;
                        lo[0] = std::min(lo[0], a); hi[0] = std::max(hi[0], a);
                        lo[1] = std::min(lo[1], b); hi[1] = std::max(hi[1], b);
                        lo[2] = std::min(lo[2], c); hi[2] = std::max(hi[2], c);
                    }
            for (int d = 0; d < 3; ++d) {
                bx.lo[d] = lo[d];
                bx.hi[d] = hi[d];
            }
        };
        std::vector<Box> boxes;
        boxes.reserve(256);
        boxes.push_back(Box{{0, 0, 0}, {31, 31, 31}, 0});
        shrink(boxes[0]);
        while (boxes.size() < 256) {
            // Split the most populated box that still spans more than one bin.
            int pick = -1;
            for (int i = 0; i < int(boxes.size()); ++i) {
                const Box& b = boxes[i];
                if (b.lo[0] == b.hi[0] && b.lo[1] == b.hi[1] && b.lo[2] == b.hi[2]) continue;
                if (pick < 0 || b.count > boxes[pick].count) pick = i;
            }
            if (pick < 0) break;
            Box b = boxes[pick];
            int dim = 0;
            for (int d = 1; d < 3; ++d)
                if (b.hi[d] - b.lo[d] > b.hi[dim] - b.lo[dim]) dim = d;
            // Plane counts along the split axis, cut where half the pixels are passed.
            uint64_t plane[32] = {};
            for (int a = b.lo[0]; a <= b.hi[0]; ++a)
                for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                    for (int c = b.lo[2]; c <= b.hi[2]; ++c) {
                        const int idx[3] = {a, g, c};
                        plane[idx[dim]] += at(a, g, c);
                    }
            uint64_t acc = 0;
            int cut = b.lo[dim];
            for (int v = b.lo[dim]; v < b.hi[dim]; ++v) {
                acc += plane[v];
                cut = v;
                if (2 * acc >= b.count) break;
            }
            Box lo = b, hi = b;
            lo.hi[dim] = cut;
            hi.lo[dim] = cut + 1;
            shrink(lo);
            shrink(hi);
            boxes[pick] = lo;
            boxes.push_back(hi);
        }
        lut_.assign(kBins, 0);
        colours_ = int(boxes.size());
        for (int i = 0; i < colours_; ++i) {
            const Box& b = boxes[i];
            uint64_t s[3] = {0, 0, 0}, n = 0;
            for (int a = b.lo[0]; a <= b.hi[0]; ++a)
                for (int g = b.lo[1]; g <= b.hi[1]; ++g)
                    for (int c = b.lo[2]; c <= b.hi[2]; ++c) {
                        const int bi = (a << 10) | (g << 5) | c;
                        lut_[bi] = uint8_t(i);
                        n += hist[bi];
                        for (int d = 0; d < 3; ++d) s[d] += sum[3 * bi + d];
                    }
            for (int d = 0; d < 3; ++d) palette_[3 * i + d] = n ? uint8_t((s[d] + n / 2) / n) : 0;
        }
        // Empty bins (colours absent from the image) go to the nearest box colour, so that
        // index_of answers sensibly for any colour.
        for (int bi = 0; bi < kBins; ++bi) {
            if (hist[bi]) continue;
            const uint8_t r = uint8_t(((bi >> 10) << 3) | 4), g = uint8_t((((bi >> 5) & 31) << 3) | 4),
                          bl = uint8_t(((bi & 31) << 3) | 4);
            lut_[bi] = uint8_t(nearest_index(palette_.data(), colours_, r, g, bl));
        }
        for (int y = 0; y < height_; ++y) {
            const uint8_t* q = tc.row(y);
            uint8_t* o = pixels_.data() + std::size_t(y) * width_;
            for (int x = 0; x < width_; ++x, q += 4) o[x] = lut_[bin_of(q[0], q[1], q[2])];
        }
    } catch (const std::bad_alloc&) {
        pixels_.clear();
        width_ = height_ = colours_ = 0;
        return kNoMemory;
    }
    return kOk;
}

}  // namespace tavero::raster
