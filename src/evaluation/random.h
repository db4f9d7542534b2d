#pragma once
// A small, fully defined random source: the same seed gives the same numbers on
// every platform and standard library (the std distributions do not promise that).
#include <cstdint>

namespace kavro {

// splitmix64: seeds the generator below from any 64-bit value.
class SplitMix64 {
  public:
    explicit SplitMix64(uint64_t state) : state_(state) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

  private:
    uint64_t state_;
};

// xoshiro256**.
class Xoshiro256 {
  public:
    explicit Xoshiro256(uint64_t seed) {
        SplitMix64 sm(seed);
        for (uint64_t& w : s_) w = sm.next();
        // The all-zero state would stay zero for ever; splitmix64 never gives four zeros, but be sure.
        if ((s_[0] | s_[1] | s_[2] | s_[3]) == 0) s_[0] = 1;
    }
    uint64_t next() {
        const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }
    // A uniform whole number in [0, bound), bound >= 1, without modulo bias
    // (Lemire's multiply-and-reject).
    uint64_t below(uint64_t bound) {
        __extension__ using Wide = unsigned __int128;
        Wide m = static_cast<Wide>(next()) * bound;
        uint64_t low = static_cast<uint64_t>(m);
        if (low < bound) {
            const uint64_t threshold = (0 - bound) % bound;
            while (low < threshold) {
                m = static_cast<Wide>(next()) * bound;
                low = static_cast<uint64_t>(m);
            }
        }
        return static_cast<uint64_t>(m >> 64);
    }

  private:
    static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4];
};

// The seed of one Monte Carlo run: the user's seed and the run's place, mixed so
// neighbouring runs and neighbouring seeds give unrelated streams.
inline uint64_t RunSeed(uint64_t seed, uint64_t stream) {
    return seed ^ SplitMix64(stream).next();
}

}  // namespace kavro
