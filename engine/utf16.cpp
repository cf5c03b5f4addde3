#include "utf16.h"

#include <cstdint>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

namespace {

using Byte = unsigned char;

template <bool kBig>
unsigned unitAt(const Byte* p) {
    return kBig ? unsigned(p[0]) << 8 | p[1] : unsigned(p[1]) << 8 | p[0];
}

// Writes the leading ASCII units of the `units` code units at `in` to `out`,
// one byte each, and says how many. Bytes after them may be written too, but
// never more than `room`.
using AsciiRun = std::size_t (*)(const Byte* in, std::size_t units, Byte* out, std::size_t room);

#if defined(__x86_64__)

// Adding 0x7F80 with unsigned saturation lifts every unit from 0x80 up to
// 0x8000 or above, so a signed pack then gives a byte with its top bit set for
// exactly the units that are not ASCII.
constexpr short kLift = 0x7F80;

// Eight units in the processor's (little-endian) order.
template <bool kBig>
__m128i unitsSse2(const Byte* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if constexpr (kBig) return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    return v;
}

template <bool kBig>
std::size_t asciiSse2(const Byte* in, std::size_t units, Byte* out, std::size_t room) {
    const __m128i lift = _mm_set1_epi16(kLift);
    std::size_t done = 0;
    while (units - done >= 16 && room - done >= 16) {
        const __m128i a = unitsSse2<kBig>(in + 2 * done);
        const __m128i b = unitsSse2<kBig>(in + 2 * done + 16);
        const __m128i flags = _mm_packs_epi16(_mm_adds_epu16(a, lift), _mm_adds_epu16(b, lift));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(a, b));
        const unsigned other = unsigned(_mm_movemask_epi8(flags));
        if (other != 0) return done + unsigned(__builtin_ctz(other));
        done += 16;
    }
    return done;
}

template <bool kBig>
__attribute__((target("avx2"))) __m256i unitsAvx2(const Byte* p) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    if constexpr (kBig) return _mm256_or_si256(_mm256_slli_epi16(v, 8), _mm256_srli_epi16(v, 8));
    return v;
}

template <bool kBig>
__attribute__((target("avx2"))) std::size_t asciiAvx2(const Byte* in, std::size_t units, Byte* out,
                                                      std::size_t room) {
    const __m256i lift = _mm256_set1_epi16(kLift);
    std::size_t done = 0;
    while (units - done >= 32 && room - done >= 32) {
        const __m256i a = unitsAvx2<kBig>(in + 2 * done);
        const __m256i b = unitsAvx2<kBig>(in + 2 * done + 32);
        // Packs work within 128-bit lanes: the quarters come out as a0 b0 a1 b1.
        constexpr int kInOrder = 0xD8;
        const __m256i flags = _mm256_permute4x64_epi64(
            _mm256_packs_epi16(_mm256_adds_epu16(a, lift), _mm256_adds_epu16(b, lift)), kInOrder);
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), kInOrder);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + done), bytes);
        const auto other = std::uint32_t(_mm256_movemask_epi8(flags));
        if (other != 0) return done + unsigned(__builtin_ctz(other));
        done += 32;
    }
    return done;
}

// Chosen once: every x86-64 has SSE2, AVX2 is used where the processor has it.
template <bool kBig>
AsciiRun pick() {
    return __builtin_cpu_supports("avx2") ? asciiAvx2<kBig> : asciiSse2<kBig>;
}

#else

template <bool kBig>
std::size_t asciiPlain(const Byte* in, std::size_t units, Byte* out, std::size_t room) {
    std::size_t done = 0;
    while (done < units && done < room && unitAt<kBig>(in + 2 * done) < 0x80) {
        out[done] = Byte(unitAt<kBig>(in + 2 * done));
        ++done;
    }
    return done;
}

template <bool kBig>
AsciiRun pick() {
    return asciiPlain<kBig>;
}

#endif

template <bool kBig>
Conversion convert(std::span<const char> from, std::span<char> to, AsciiRun ascii) {
    const auto* const inStart = reinterpret_cast<const Byte*>(from.data());
    const Byte* const inEnd = inStart + from.size();
    auto* const outStart = reinterpret_cast<Byte*>(to.data());
    Byte* const outEnd = outStart + to.size();
    const Byte* in = inStart;
    Byte* out = outStart;
    auto stop = [&](Conversion::Stop why) {
        return Conversion{std::size_t(in - inStart), std::size_t(out - outStart), why};
    };
    for (;;) {
        const std::size_t run =
            ascii(in, std::size_t(inEnd - in) / 2, out, std::size_t(outEnd - out));
        in += 2 * run;
        out += run;
        // One character at least, then on for as long as they are not ASCII.
        do {
            if (inEnd - in < 2) return stop(Conversion::Stop::input);
            unsigned code = unitAt<kBig>(in);
            std::ptrdiff_t units = 1;
            if (code >= 0xD800 && code <= 0xDFFF) {
                if (code >= 0xDC00) return stop(Conversion::Stop::invalid);
                if (inEnd - in < 4) return stop(Conversion::Stop::input);
                const unsigned low = unitAt<kBig>(in + 2);
                if (low < 0xDC00 || low > 0xDFFF) return stop(Conversion::Stop::invalid);
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                units = 2;
            }
            const std::ptrdiff_t length = code < 0x80      ? 1
                                          : code < 0x800   ? 2
                                          : code < 0x10000 ? 3
                                                           : 4;
            if (outEnd - out < length) return stop(Conversion::Stop::output);
            if (length == 1) {
                out[0] = Byte(code);
            } else {
                // The lead byte holds `length` ones, a zero and the top bits.
                const auto lead = Byte(0xFF00 >> length);
                out[0] = Byte(lead | code >> (6 * (length - 1)));
                for (std::ptrdiff_t i = 1; i < length; ++i) {
                    out[i] = Byte(0x80 | ((code >> (6 * (length - 1 - i))) & 0x3F));
                }
            }
            out += length;
            in += 2 * units;
        } while (inEnd - in >= 2 && unitAt<kBig>(in) >= 0x80);
    }
}

}  // namespace

Conversion utf16ToUtf8(std::span<const char> in, std::span<char> out, bool bigEndian) {
    static const AsciiRun little = pick<false>();
    static const AsciiRun big = pick<true>();
    return bigEndian ? convert<true>(in, out, big) : convert<false>(in, out, little);
}

}  // namespace kolvane
