// gzip, with ISA-L's inflater where the build found it (about three times
// zlib's speed), else zlib's.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "codec.h"

#ifdef KOLVANE_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#else
#include <zlib.h>
#endif

namespace kolvane {

namespace {

unsigned int clampToUint(std::size_t n) {
    return static_cast<unsigned int>(std::min<std::size_t>(n, UINT_MAX));
}

#ifdef KOLVANE_HAVE_ISAL

class GzipCodec : public Codec {
  public:
    GzipCodec() { start(); }

    Step decode(std::span<const char> in, std::span<char> out, bool) override {
        state_.next_in = reinterpret_cast<std::uint8_t*>(const_cast<char*>(in.data()));
        state_.avail_in = clampToUint(in.size());
        state_.next_out = reinterpret_cast<std::uint8_t*>(out.data());
        state_.avail_out = clampToUint(out.size());
        const int r = isal_inflate(&state_);
        Step step{in.size() - state_.avail_in, out.size() - state_.avail_out};
        // Negative: a bad block, symbol, distance, header or checksum.
        if (r < 0 || r == ISAL_NEED_DICT) {
            step.status = Status::damaged;
        } else if (state_.block_state == ISAL_BLOCK_FINISH) {
            step.status = Status::memberEnd;
        }
        return step;
    }
    void nextMember() override { start(); }

  private:
    void start() {
        isal_inflate_init(&state_);
        state_.crc_flag = ISAL_GZIP;  // reads the header and checks the trailer
    }
    inflate_state state_{};
};

#else

class GzipCodec : public Codec {
  public:
    GzipCodec() { ready_ = inflateInit2(&stream_, 16 + MAX_WBITS) == Z_OK; }
    ~GzipCodec() override {
        if (ready_) inflateEnd(&stream_);
    }
    GzipCodec(const GzipCodec&) = delete;
    GzipCodec& operator=(const GzipCodec&) = delete;

    Step decode(std::span<const char> in, std::span<char> out, bool) override {
        if (!ready_) return Step{0, 0, Status::noMemory};
        stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        stream_.avail_in = clampToUint(in.size());
        stream_.next_out = reinterpret_cast<Bytef*>(out.data());
        stream_.avail_out = clampToUint(out.size());
        const uInt inBefore = stream_.avail_in;
        const uInt outBefore = stream_.avail_out;
        const int r = inflate(&stream_, Z_NO_FLUSH);
        Step step{inBefore - stream_.avail_in, outBefore - stream_.avail_out};
        if (r == Z_STREAM_END) {
            step.status = Status::memberEnd;
        } else if (r == Z_MEM_ERROR) {
            step.status = Status::noMemory;
        } else if (r != Z_OK && r != Z_BUF_ERROR) {
            step.status = Status::damaged;
        }
        return step;
    }
    void nextMember() override {
        if (ready_) inflateReset(&stream_);
    }

  private:
    z_stream stream_{};
    bool ready_ = false;
};

#endif

// What may follow a whole member: another member, or zero bytes to the end
// (tape drives and some archivers pad to a block), as gzip reads it. Anything
// else is damage: a member starts with its mark, and after zeros nothing
// counts, not even a member (gzip ignores such a rest only with a warning
// and a status of 2).
class ZeroPaddedGzip : public Codec {
  public:
    Step decode(std::span<const char> in, std::span<char> out, bool last) override {
        if (afterMember_ && !in.empty()) {
            afterMember_ = false;
            if (in.front() == '\0') padding_ = true;
            if (!padding_ && in.front() != '\x1f') return Step{0, 0, Status::damaged};
        }
        if (!padding_) return member_.decode(in, out, last);
        const auto zeros = std::find_if(in.begin(), in.end(), [](char c) { return c != '\0'; });
        const std::size_t n = static_cast<std::size_t>(zeros - in.begin());
        return Step{n, 0, n < in.size() ? Status::damaged : Status::memberEnd};
    }
    void nextMember() override {
        member_.nextMember();
        afterMember_ = true;
    }

  private:
    GzipCodec member_;
    bool afterMember_ = false;  // the next input starts after a whole member
    bool padding_ = false;      // zeros after the last member are being read
};

}  // namespace

std::unique_ptr<Codec> makeGzipCodec() {
    return std::make_unique<ZeroPaddedGzip>();
}

}  // namespace kolvane
