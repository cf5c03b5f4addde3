#include "codec.h"

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <new>

#include "blockreader.h"

namespace kolvane {

// gzipcodec.cpp: the fastest inflater the build found.
std::unique_ptr<Codec> makeGzipCodec();

namespace {

// The libraries count in unsigned int; the blocks here are far smaller.
unsigned int clampToUint(std::size_t n) {
    return static_cast<unsigned int>(std::min<std::size_t>(n, UINT_MAX));
}

// The largest zstd window a frame may ask for, as a power of two: up to the
// line limit, since a line may take that much memory anyway. The library's
// own default (128 MiB) refuses what `zstd --long=31` writes, though the
// memory is there; its maximum (2 GiB on 64 bits) still bounds it.
int zstdWindowLogMax() {
    constexpr int kLibraryDefault = 27;  // kept where a line may take less
    const std::size_t limit = defaultLineLimit();
    const int most = ZSTD_dParam_getBounds(ZSTD_d_windowLogMax).upperBound;
    int log = kLibraryDefault;
    while (log < most && (std::size_t{1} << (log + 1)) <= limit) ++log;
    return log;
}

class ZstdCodec : public Codec {
  public:
    ZstdCodec() : ctx_(ZSTD_createDCtx()) {
        if (ctx_) ZSTD_DCtx_setParameter(ctx_, ZSTD_d_windowLogMax, zstdWindowLogMax());
    }
    ~ZstdCodec() override { ZSTD_freeDCtx(ctx_); }
    ZstdCodec(const ZstdCodec&) = delete;
    ZstdCodec& operator=(const ZstdCodec&) = delete;
    bool ready() const { return ctx_ != nullptr; }

    Step decode(std::span<const char> in, std::span<char> out, bool) override {
        ZSTD_inBuffer from{in.data(), in.size(), 0};
        ZSTD_outBuffer to{out.data(), out.size(), 0};
        const std::size_t hint = ZSTD_decompressStream(ctx_, &to, &from);
        Step step{from.pos, to.pos};
        if (ZSTD_isError(hint)) {
            const ZSTD_ErrorCode code = ZSTD_getErrorCode(hint);
            // A frame asking for a window past the limit is refused for the
            // memory it would take, not for being damaged.
            step.status = code == ZSTD_error_memory_allocation ? Status::noMemory
                          : code == ZSTD_error_frameParameter_windowTooLarge
                              ? Status::windowTooLarge
                              : Status::damaged;
        } else if (hint == 0) {
            step.status = Status::memberEnd;
        }
        return step;
    }
    // The context starts the next frame on its own.
    void nextMember() override {}

  private:
    ZSTD_DCtx* ctx_;
};

class XzCodec : public Codec {
  public:
    // Concatenated streams and the padding between them are the library's.
    XzCodec() { ready_ = lzma_stream_decoder(&stream_, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK; }
    ~XzCodec() override { lzma_end(&stream_); }
    XzCodec(const XzCodec&) = delete;
    XzCodec& operator=(const XzCodec&) = delete;
    bool ready() const { return ready_; }

    Step decode(std::span<const char> in, std::span<char> out, bool last) override {
        stream_.next_in = reinterpret_cast<const std::uint8_t*>(in.data());
        stream_.avail_in = in.size();
        stream_.next_out = reinterpret_cast<std::uint8_t*>(out.data());
        stream_.avail_out = out.size();
        // With concatenated streams the end is known only once told.
        const lzma_ret r = lzma_code(&stream_, last ? LZMA_FINISH : LZMA_RUN);
        Step step{in.size() - stream_.avail_in, out.size() - stream_.avail_out};
        switch (r) {
            case LZMA_OK:
            case LZMA_BUF_ERROR:  // no progress: more input is needed
                break;
            case LZMA_STREAM_END:
                step.status = Status::memberEnd;
                break;
            case LZMA_MEM_ERROR:
            case LZMA_MEMLIMIT_ERROR:
                step.status = Status::noMemory;
                break;
            default:
                step.status = Status::damaged;
        }
        return step;
    }
    void nextMember() override {}

  private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ready_ = false;
};

class Bzip2Codec : public Codec {
  public:
    Bzip2Codec() { start(); }
    ~Bzip2Codec() override { stop(); }
    Bzip2Codec(const Bzip2Codec&) = delete;
    Bzip2Codec& operator=(const Bzip2Codec&) = delete;
    bool ready() const { return ready_; }

    Step decode(std::span<const char> in, std::span<char> out, bool) override {
        if (!ready_) return Step{0, 0, Status::noMemory};
        stream_.next_in = const_cast<char*>(in.data());
        stream_.avail_in = clampToUint(in.size());
        stream_.next_out = out.data();
        stream_.avail_out = clampToUint(out.size());
        const unsigned int inBefore = stream_.avail_in;
        const unsigned int outBefore = stream_.avail_out;
        const int r = BZ2_bzDecompress(&stream_);
        Step step{inBefore - stream_.avail_in, outBefore - stream_.avail_out};
        if (r == BZ_STREAM_END) {
            step.status = Status::memberEnd;
        } else if (r == BZ_MEM_ERROR) {
            step.status = Status::noMemory;
        } else if (r != BZ_OK) {
            step.status = Status::damaged;
        }
        return step;
    }
    // The library reads one stream per state.
    void nextMember() override {
        stop();
        start();
    }

  private:
    void start() {
        stream_ = bz_stream{};
        ready_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK;
    }
    void stop() {
        if (ready_) BZ2_bzDecompressEnd(&stream_);
        ready_ = false;
    }
    bz_stream stream_{};
    bool ready_ = false;
};

template <class C>
std::unique_ptr<Codec> madeIfReady() {
    auto codec = std::make_unique<C>();
    if (!codec->ready()) return nullptr;
    return codec;
}

// What starts each format; '?' stands for any byte from `low` to `high`: a
// bzip2 block size digit, or the last byte of a zstd skippable frame's magic
// (0x184D2A50 to 0x184D2A5F, little-endian), which may start a zstd stream as
// pzstd writes one. bzip2 has two marks: a block, or the end of a stream that
// holds none.
struct Mark {
    Compression format;
    std::string_view bytes;
    char low = 0, high = 0;
};
constexpr std::array<Mark, 6> kMarks{{
    {Compression::gzip, "\x1f\x8b"},
    {Compression::zstd, "\x28\xb5\x2f\xfd"},
    {Compression::zstd, "?\x2a\x4d\x18", '\x50', '\x5f'},
    {Compression::xz, std::string_view("\xfd"
                                       "7zXZ\0",
                                       6)},
    {Compression::bzip2, "BZh?\x31\x41\x59\x26\x53\x59", '1', '9'},
    {Compression::bzip2, "BZh?\x17\x72\x45\x38\x50\x90", '1', '9'},
}};

}  // namespace

std::optional<Compression> compressionOf(std::string_view head, bool complete) {
    bool undecided = false;
    for (const Mark& mark : kMarks) {
        const std::size_t n = std::min(head.size(), mark.bytes.size());
        bool same = true;
        for (std::size_t i = 0; i < n && same; ++i) {
            same = mark.bytes[i] == '?' ? head[i] >= mark.low && head[i] <= mark.high
                                        : head[i] == mark.bytes[i];
        }
        if (!same) continue;
        if (n == mark.bytes.size()) return mark.format;
        undecided = true;
    }
    if (undecided && !complete) return std::nullopt;
    return Compression::none;
}

std::unique_ptr<Codec> makeCodec(Compression format) {
    try {
        switch (format) {
            case Compression::gzip:
                return makeGzipCodec();
            case Compression::zstd:
                return madeIfReady<ZstdCodec>();
            case Compression::xz:
                return madeIfReady<XzCodec>();
            case Compression::bzip2:
                return madeIfReady<Bzip2Codec>();
            case Compression::none:
                break;
        }
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

}  // namespace kolvane
