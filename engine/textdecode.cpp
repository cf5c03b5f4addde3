#include "textdecode.h"
#include "textsource.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "utf16.h"

namespace kolvane {

namespace {

// Turns the bytes of one encoding into UTF-8, whole characters at a time.
class Converter {
  public:
    virtual ~Converter() = default;
    virtual Conversion convert(std::span<const char> in, std::span<char> out) = 0;
    // Writes what converting still holds back at the end of the input (a
    // character that later bytes could have changed) and says how much.
    virtual std::size_t finish(std::span<char>) { return 0; }
    // Why reading stops: bytes convert() found invalid, or the `leftAtEnd`
    // bytes of a character that the end of the source cut short; `offset`
    // is where those bytes begin in the source.
    virtual std::string problem(std::size_t leftAtEnd, std::uint64_t offset) const = 0;
};

// The offset lets a user find the bytes (od -A d shows the same numbers),
// where a line number leaves a long line to search.
std::string invalidBytes(const std::string& encoding, std::uint64_t offset,
                         const std::string& detail) {
    return "bytes not valid in " + encoding + " at byte offset " + std::to_string(offset) +
           (detail.empty() ? "" : ": " + detail);
}

class Utf16Converter : public Converter {
  public:
    explicit Utf16Converter(bool bigEndian) : bigEndian_(bigEndian) {}
    Conversion convert(std::span<const char> in, std::span<char> out) override {
        return utf16ToUtf8(in, out, bigEndian_);
    }
    std::string problem(std::size_t leftAtEnd, std::uint64_t offset) const override {
        return invalidBytes(
            bigEndian_ ? "UTF-16BE" : "UTF-16LE", offset,
            leftAtEnd % 2 ? "an odd byte at the end" : "a surrogate without its pair");
    }

  private:
    bool bigEndian_;
};

class IconvConverter : public Converter {
  public:
    // None when iconv does not know the name.
    static std::unique_ptr<IconvConverter> open(const std::string& name) {
        const iconv_t cd = ::iconv_open("UTF-8", name.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
        return std::unique_ptr<IconvConverter>(new IconvConverter(cd, name));
    }
    ~IconvConverter() override { ::iconv_close(cd_); }
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    Conversion convert(std::span<const char> in, std::span<char> out) override {
        // iconv() takes its input as char**, but does not write there.
        char* from = const_cast<char*>(in.data());
        char* to = out.data();
        std::size_t fromLeft = in.size(), toLeft = out.size();
        const bool stopped = ::iconv(cd_, &from, &fromLeft, &to, &toLeft) == std::size_t(-1);
        Conversion step{in.size() - fromLeft, out.size() - toLeft, Conversion::Stop::input};
        if (stopped && errno == E2BIG) step.stop = Conversion::Stop::output;
        if (stopped && errno == EILSEQ) step.stop = Conversion::Stop::invalid;
        return step;
    }
    std::size_t finish(std::span<char> out) override {
        char* to = out.data();
        std::size_t toLeft = out.size();
        ::iconv(cd_, nullptr, nullptr, &to, &toLeft);
        return out.size() - toLeft;
    }
    std::string problem(std::size_t leftAtEnd, std::uint64_t offset) const override {
        return invalidBytes(name_, offset, leftAtEnd ? "a character cut short at the end" : "");
    }

  private:
    IconvConverter(iconv_t cd, std::string name) : cd_(cd), name_(std::move(name)) {}
    iconv_t cd_;
    std::string name_;
};

// The encodings that marks or a converter of our own stand for, told apart by
// their names without case, '-' and '_'.
enum class Family { none, utf8, utf16, utf16le, utf16be, other };

Family familyOf(const std::string& name) {
    if (name.empty()) return Family::none;
    std::string key;
    for (const char c : name) {
        if (c != '-' && c != '_') key += char(std::toupper(static_cast<unsigned char>(c)));
    }
    if (key == "UTF8") return Family::utf8;
    if (key == "UTF16") return Family::utf16;
    if (key == "UTF16LE") return Family::utf16le;
    if (key == "UTF16BE") return Family::utf16be;
    return Family::other;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kLittleEndianMark = "\xFF\xFE";
constexpr std::string_view kBigEndianMark = "\xFE\xFF";

class TextDecoder : public SourceOver {
  public:
    TextDecoder(std::unique_ptr<ByteSource> raw, std::string encoding)
        : SourceOver(std::move(raw)), encoding_(std::move(encoding)) {}
    TextDecoder(std::unique_ptr<ByteSource> raw, const TextForm& form, std::uint64_t offset)
        : SourceOver(std::move(raw)), taken_(offset) {
        held_.resize(kBlockBytes);
        use(form);
    }

    IoResult read(std::span<char> buf) override {
        if (!decided_) {
            if (auto wait = sniff(buf.size())) return *wait;
        }
        if (spillBegin_ < spillEnd_) return fromSpill(buf);
        if (!converter_) return passOn(buf);
        if (buf.size() >= spill_.size()) return convertInto(buf);
        // A buffer this small may hold less than the next character.
        IoResult r = convertInto(spill_);
        if (r.bytes == 0) return r;
        spillBegin_ = 0;
        spillEnd_ = r.bytes;
        return fromSpill(buf);
    }

  private:
    // Reads until the first bytes tell how to read the rest. Answers noDataYet
    // when they cannot tell yet and the source has nothing more for now. No
    // more than the caller asked for is read, so that a source read as it is
    // has always consumed() exactly the bytes it gave.
    std::optional<IoResult> sniff(std::size_t asked) {
        held_.resize(kBlockBytes);
        const std::size_t most = std::clamp(asked, kUtf8Mark.size(), held_.size());
        while (!decide()) {
            if (auto wait = readMore(most)) return wait;
        }
        return std::nullopt;
    }

    // False while the bytes held may yet begin a mark.
    bool decide() {
        const auto form = textFormOf(std::string_view(held_.data(), heldEnd_), encoding_, ended_);
        if (!form) return false;
        heldBegin_ = form->mark;
        use(*form);
        return true;
    }

    void use(const TextForm& form) {
        decided_ = true;
        using Kind = TextForm::Kind;
        if (form.kind == Kind::utf16le || form.kind == Kind::utf16be) {
            converter_ = std::make_unique<Utf16Converter>(form.kind == Kind::utf16be);
        } else if (form.kind != Kind::asIs) {
            converter_ = IconvConverter::open(form.encoding);
            if (!converter_) fail("unknown encoding \"" + form.encoding + "\"");
        }
    }

    // No more is read: what is held is dropped, and every read answers `cause`.
    void fail(std::string cause) {
        failure_ = IoResult{0, 0, std::move(cause)};
        ended_ = true;
        heldBegin_ = heldEnd_;
    }

    // Reads more of the source behind the bytes held, until `most` are held;
    // noDataYet when it has nothing for now.
    std::optional<IoResult> readMore(std::size_t most) {
        std::memmove(held_.data(), held_.data() + heldBegin_, heldEnd_ - heldBegin_);
        heldEnd_ -= heldBegin_;
        heldBegin_ = 0;
        IoResult r = inner_->read(std::span<char>(held_.data() + heldEnd_, most - heldEnd_));
        heldEnd_ += r.bytes;
        taken_ += r.bytes;
        if (r.failed()) {
            r.bytes = 0;
            failure_ = std::move(r);
            ended_ = true;
        } else if (r.noDataYet) {
            return IoResult{0, 0, {}, true};
        } else if (r.bytes == 0) {
            ended_ = true;
        }
        return std::nullopt;
    }

    IoResult passOn(std::span<char> buf) {
        if (heldBegin_ < heldEnd_) {
            const std::size_t n = std::min(buf.size(), heldEnd_ - heldBegin_);
            std::memcpy(buf.data(), held_.data() + heldBegin_, n);
            heldBegin_ += n;
            return IoResult{n, 0, {}};
        }
        if (failure_) return *failure_;
        if (ended_) return {};
        return inner_->read(buf);
    }

    IoResult convertInto(std::span<char> out) {
        std::size_t written = 0;
        for (;;) {
            const std::span<const char> held(held_.data() + heldBegin_, heldEnd_ - heldBegin_);
            const Conversion step = converter_->convert(held, out.subspan(written));
            heldBegin_ += step.read;
            written += step.written;
            if (step.stop == Conversion::Stop::invalid) fail(converter_->problem(0, heldOffset()));
            if (written > 0) return IoResult{written, 0, {}};
            if (step.stop == Conversion::Stop::output) fail("a character too long to convert");
            if (failure_) return *failure_;
            if (ended_) return end(out);
            if (auto wait = readMore(held_.size())) return *wait;
        }
    }

    IoResult end(std::span<char> out) {
        if (heldBegin_ < heldEnd_) {
            fail(converter_->problem(heldEnd_ - heldBegin_, heldOffset()));
            return *failure_;
        }
        if (finished_) return {};
        finished_ = true;
        return IoResult{converter_->finish(out), 0, {}};
    }

    // Where the first byte held begins in the source.
    std::uint64_t heldOffset() const { return taken_ - (heldEnd_ - heldBegin_); }

    IoResult fromSpill(std::span<char> buf) {
        const std::size_t n = std::min(buf.size(), spillEnd_ - spillBegin_);
        std::memcpy(buf.data(), spill_.data() + spillBegin_, n);
        spillBegin_ += n;
        return IoResult{n, 0, {}};
    }

    static constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

    std::string encoding_;
    bool decided_ = false;
    std::unique_ptr<Converter> converter_;  // none: the bytes pass as they are
    // Bytes read from the source and not yet passed on or converted.
    std::vector<char> held_;
    std::size_t heldBegin_ = 0, heldEnd_ = 0;
    std::uint64_t taken_ = 0;  // bytes read from the source into held_
    // Converted bytes that a small buffer could not take.
    std::array<char, 64> spill_{};
    std::size_t spillBegin_ = 0, spillEnd_ = 0;
    bool ended_ = false;               // nothing more is read from the source
    bool finished_ = false;            // the converter gave what it held back
    std::optional<IoResult> failure_;  // answered once everything before it is passed on
};

}  // namespace

std::unique_ptr<ByteSource> decodingText(std::unique_ptr<ByteSource> raw, std::string encoding) {
    return std::make_unique<TextDecoder>(std::move(raw), std::move(encoding));
}

std::unique_ptr<ByteSource> decodingText(std::unique_ptr<ByteSource> raw, const TextForm& form,
                                         std::uint64_t offset) {
    return std::make_unique<TextDecoder>(std::move(raw), form, offset);
}

std::optional<TextForm> textFormOf(std::string_view head, const std::string& encoding,
                                   bool complete) {
    using Kind = TextForm::Kind;
    const Family family = familyOf(encoding);
    const bool utf16Marks = family == Family::none || family == Family::utf16 ||
                            family == Family::utf16le || family == Family::utf16be;
    auto mayBe = [&](std::string_view mark) {
        return !complete && head.size() < mark.size() && mark.starts_with(head);
    };
    if (mayBe(kUtf8Mark) || (utf16Marks && (mayBe(kLittleEndianMark) || mayBe(kBigEndianMark)))) {
        return std::nullopt;
    }
    if (head.starts_with(kUtf8Mark)) {
        return TextForm{family == Family::utf8 ? Kind::utf8 : Kind::asIs, kUtf8Mark.size(),
                        encoding};
    }
    if (utf16Marks && head.starts_with(kLittleEndianMark)) {
        return TextForm{Kind::utf16le, kLittleEndianMark.size(), encoding};
    }
    if (utf16Marks && head.starts_with(kBigEndianMark)) {
        return TextForm{Kind::utf16be, kBigEndianMark.size(), encoding};
    }
    // UTF-16 without a mark is big-endian, as iconv reads it.
    if (family == Family::utf16le) return TextForm{Kind::utf16le, 0, encoding};
    if (family == Family::utf16 || family == Family::utf16be)
        return TextForm{Kind::utf16be, 0, encoding};
    if (family == Family::utf8) return TextForm{Kind::utf8, 0, encoding};
    return TextForm{family == Family::none ? Kind::asIs : Kind::other, 0, encoding};
}

std::optional<std::array<std::string, 256>> singleByteText(const std::string& encoding) {
    const auto converter = IconvConverter::open(encoding);
    if (!converter) return std::nullopt;
    std::array<std::string, 256> text;
    for (int b = 0; b < 256; ++b) {
        const char in = char(b);
        char out[16];
        const Conversion step = converter->convert({&in, 1}, out);
        const bool stateful = converter->finish(out) > 0;
        if (step.stop == Conversion::Stop::invalid) continue;
        const std::string_view utf8(out, step.written);
        const auto characters =
            std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; });
        if (step.read != 1 || characters != 1 || stateful) return std::nullopt;
        text[std::size_t(b)] = utf8;
    }
    return text;
}

bool knownEncoding(const std::string& name) {
    if (name.empty()) return false;
    if (familyOf(name) != Family::other) return true;
    return IconvConverter::open(name) != nullptr;
}

}  // namespace kolvane
