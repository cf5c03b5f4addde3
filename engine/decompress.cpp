#include "decompress.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "codec.h"
#include "threadedsource.h"

namespace kolvane {

namespace {

// Compressed bytes read at a time; the output goes in the reading thread's
// blocks, so memory stays a few blocks plus the decoder's own state.
constexpr std::size_t kInputBlock = std::size_t{128} << 10;
// How long a read waits for the decompressing thread before it answers
// noDataYet, so a rip can still look at a stop request.
constexpr std::chrono::milliseconds kWait{100};
// Decoded bytes held back until they can be trusted: past the lag after which
// xz found each of 60 random flipped bits (19 KiB at most, a few KiB mostly).
constexpr std::size_t kHoldBack = std::size_t{64} << 10;
constexpr const char* kDamaged = "the compressed data is damaged";

IoResult failure(const char* cause) {
    return IoResult{0, 0, cause};
}

// Decodes a compressed source on the thread that reads it.
class DecodingSource : public SourceOver {
  public:
    // `head`: the first bytes, already read; `end`: how reading them ended,
    // if it did (the end, or a failure).
    DecodingSource(std::unique_ptr<ByteSource> inner, std::unique_ptr<Codec> codec,
                   std::string_view head, std::optional<IoResult> end)
        : SourceOver(std::move(inner)),
          codec_(std::move(codec)),
          input_(kInputBlock),
          innerEnd_(std::move(end)) {
        if (!head.empty()) std::memcpy(input_.data(), head.data(), head.size());
        end_ = head.size();
    }

    IoResult read(std::span<char> buf) override {
        std::size_t made = std::min(buf.size(), held_.size() - heldBegin_);
        // An empty vector's data() may be null, which memcpy may not be given.
        if (made > 0) std::memcpy(buf.data(), held_.data() + heldBegin_, made);
        heldBegin_ += made;
        if (heldBegin_ < held_.size()) return IoResult{made, 0, {}};
        held_.clear();
        heldBegin_ = 0;
        checked_ = 0;
        while (made < buf.size() && !failure_) {
            if (step(buf.subspan(made), made)) continue;
            // The decoder needs input it does not have.
            if (ended_) {
                if (inMember_) failure_ = failure("the compressed data ends early");
                break;
            }
            IoResult r = fill();
            if (r.failed()) {
                failure_ = std::move(r);
            } else if (r.noDataYet) {
                if (made > 0) break;
                return r;
            } else if (r.bytes == 0) {
                ended_ = true;
            }
        }
        made -= holdBack(buf.first(made));
        // Every byte that can be trusted goes out before the failure.
        if (made > 0 || !failure_) return IoResult{made, 0, {}, !failure_ && !ended_ && made == 0};
        return *failure_;
    }

  private:
    // A decoder finds damage only some way after it begins: corrupt data
    // decodes to plausible bytes for a while (a few KiB for xz) before the
    // stream turns impossible, or the check at its end fails. So the last
    // kHoldBack bytes decoded are held back until more decodes well behind
    // them or their stream's check passes, and damage found drops them: the
    // rip then names the line where they begin, before the damage, rather
    // than lines of garbage later. Returns how many of `made` are kept back.
    std::size_t holdBack(std::span<const char> made) {
        const std::size_t unchecked = std::min(made.size() - checked_, kHoldBack);
        if (failure_ && failure_->cause == kDamaged) return unchecked;
        // A failure that is no damage (a stream cut short, a read that
        // failed): what was decoded is what the stream holds. A stream that
        // ended whole ended with a check.
        if (failure_) return 0;
        held_.assign(made.end() - unchecked, made.end());
        return unchecked;
    }

    // Decodes into `out`; false when that made no progress for want of input.
    bool step(std::span<char> out, std::size_t& made) {
        if (!inMember_) {
            // Between streams only more input starts another, in a fresh state.
            if (begin_ == end_) return false;
            if (memberSeen_) codec_->nextMember();
        }
        const Codec::Step s = codec_->decode(
            std::span<const char>(input_.data() + begin_, end_ - begin_), out, ended_);
        begin_ += s.in;
        made += s.out;
        inMember_ = true;
        memberSeen_ = true;
        switch (s.status) {
            case Codec::Status::going:
                return s.in > 0 || s.out > 0;
            case Codec::Status::memberEnd:
                inMember_ = false;
                checked_ = made;
                return true;
            case Codec::Status::damaged:
                failure_ = failure(kDamaged);
                return true;
            case Codec::Status::noMemory:
                failure_ = failure("not enough memory to decompress");
                return true;
            case Codec::Status::windowTooLarge:
                failure_ = failure(
                    "the compressed data needs a window larger than a quarter of the memory");
                return true;
        }
        return true;
    }

    // Reads more compressed bytes behind those not yet decoded.
    IoResult fill() {
        if (begin_ > 0) {
            std::memmove(input_.data(), input_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (innerEnd_) return *innerEnd_;
        IoResult r = inner_->read(std::span<char>(input_.data() + end_, input_.size() - end_));
        end_ += r.bytes;
        return r;
    }

    std::unique_ptr<Codec> codec_;
    std::vector<char> input_;
    std::size_t begin_ = 0, end_ = 0;  // input not yet decoded
    bool ended_ = false;               // the inner source has ended
    bool inMember_ = false;            // a stream has begun and not ended
    bool memberSeen_ = false;          // one stream was decoded: the next needs a fresh state
    std::optional<IoResult> failure_;
    std::optional<IoResult> innerEnd_;  // how reading the first bytes ended
    std::vector<char> held_;            // decoded, not yet trusted (holdBack())
    std::size_t heldBegin_ = 0;         // of held_, given out already
    std::size_t checked_ = 0;           // bytes of this read's output a stream's check covers
};

// Looks at the first bytes, then either passes everything through or hands
// the source to a decoding thread.
class SniffingSource : public ByteSource {
  public:
    explicit SniffingSource(std::unique_ptr<ByteSource> raw) : raw_(std::move(raw)) {}

    IoResult read(std::span<char> buf) override {
        if (decoded_) return decoded_->read(buf);
        if (!format_) {
            if (IoResult r = sniff(); r.noDataYet) return r;
            if (*format_ != Compression::none) {
                if (auto codec = makeCodec(*format_)) {
                    decoded_ = std::make_unique<ThreadedSource>(
                        std::make_unique<DecodingSource>(std::move(raw_), std::move(codec), head_,
                                                         headEnd_),
                        kWait);
                    return decoded_->read(buf);
                }
                headEnd_ = failure("not enough memory to decompress");
                head_.clear();
            }
        }
        if (served_ < head_.size()) {
            const std::size_t n = std::min(buf.size(), head_.size() - served_);
            std::memcpy(buf.data(), head_.data() + served_, n);
            served_ += n;
            return IoResult{n, 0, {}};
        }
        if (headEnd_) return *headEnd_;
        return raw_->read(buf);
    }
    std::optional<std::uint64_t> size() const override {
        return decoded_ ? decoded_->size() : raw_->size();
    }
    std::uint64_t consumed() const override {
        return decoded_ ? decoded_->consumed() : raw_->consumed();
    }
    std::optional<FileIdentity> identity() const override {
        return decoded_ ? decoded_->identity() : raw_->identity();
    }

  private:
    // Reads until the first bytes tell the format; noDataYet when they have
    // not all come yet. A failure or the end decides on what came before it.
    IoResult sniff() {
        for (;;) {
            const std::size_t had = head_.size();
            head_.resize(kLongestMark);
            IoResult r = raw_->read(std::span<char>(head_.data() + had, kLongestMark - had));
            head_.resize(had + r.bytes);
            const bool complete = r.failed() || (r.bytes == 0 && !r.noDataYet);
            if (complete) headEnd_ = IoResult{0, r.code, r.cause};
            format_ = compressionOf(head_, complete || head_.size() == kLongestMark);
            if (format_) return {};
            if (r.noDataYet) return r;
        }
    }

    std::unique_ptr<ByteSource> raw_;
    std::string head_;  // the first bytes, read to tell the format
    std::size_t served_ = 0;
    std::optional<Compression> format_;
    std::optional<IoResult> headEnd_;  // the end or failure met while sniffing
    std::unique_ptr<ByteSource> decoded_;
};

}  // namespace

std::unique_ptr<ByteSource> decompressing(std::unique_ptr<ByteSource> raw) {
    return std::make_unique<SniffingSource>(std::move(raw));
}

}  // namespace kolvane
