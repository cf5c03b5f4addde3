#include "parttext.h"

#include <algorithm>

#include "utf16.h"

namespace kolvane {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool startsCharacter(unsigned char byte) {
    return (byte & 0xC0) != 0x80;
}

}  // namespace

Expected<PartText> PartText::open(const std::string& path, const TextForm& form, std::uint64_t from,
                                  std::size_t block) {
    auto file = FileSource::open(path, from);
    if (!file) return file.error();
    PartText text;
    text.path_ = path;
    text.file_ = std::move(*file);
    text.kind_ = form.kind;
    if (form.kind == TextForm::Kind::other) {
        text.single_ = singleByteText(form.encoding);
        // A source in an encoding of several bytes a character is never cut
        // (see planPart()): read as bytes, its offsets stay offsets.
        if (!text.single_) text.kind_ = TextForm::Kind::asIs;
    }
    text.base_ = from;
    text.block_ = std::max<std::size_t>(block, 1);
    if (auto error = text.next(0)) return *error;
    return text;
}

unsigned PartText::unitsOf(unsigned char byte) const {
    switch (kind_) {
        case TextForm::Kind::asIs:
        case TextForm::Kind::utf8:
            return 1;
        case TextForm::Kind::utf16le:
        case TextForm::Kind::utf16be:
            // A character past U+FFFF, four bytes of UTF-8, is a surrogate pair.
            return startsCharacter(byte) ? (byte >= 0xF0 ? 4 : 2) : 0;
        case TextForm::Kind::other:
            break;
    }
    return startsCharacter(byte) ? 1 : 0;
}

std::uint64_t PartText::offsetAt(std::size_t pos) const {
    std::uint64_t offset = base_;
    for (std::size_t i = 0; i < pos; ++i) offset += unitsOf(static_cast<unsigned char>(text_[i]));
    return offset;
}

std::size_t PartText::positionOf(std::uint64_t offset) const {
    std::uint64_t at = base_;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const unsigned units = unitsOf(static_cast<unsigned char>(text_[i]));
        if (units > 0 && at >= offset) return i;
        at += units;
    }
    return text_.size();
}

std::optional<Error> PartText::next(std::size_t consumed) {
    base_ = offsetAt(consumed);
    text_.erase(0, consumed);
    if (ended_) return std::nullopt;
    raw_.resize(block_);
    const IoResult r = file_->read(raw_);
    if (r.failed()) return readError(path_, r, 0);
    ended_ = r.bytes == 0;
    decode(std::string_view(raw_).substr(0, r.bytes), ended_);
    return std::nullopt;
}

void PartText::decode(std::string_view raw, bool last) {
    if (kind_ == TextForm::Kind::asIs || kind_ == TextForm::Kind::utf8) {
        text_.append(raw);
    } else if (kind_ == TextForm::Kind::other) {
        for (const char byte : raw) {
            const std::string& utf8 = (*single_)[static_cast<unsigned char>(byte)];
            text_.append(utf8.empty() ? kReplacement : std::string_view(utf8));
        }
    } else {
        const std::string in = pending_ + std::string(raw);
        std::size_t at = 0;
        while (at < in.size()) {
            // Two bytes of UTF-16 give at most three of UTF-8, four give four.
            const std::size_t had = text_.size();
            text_.resize(had + (in.size() - at) * 3 / 2 + 4);
            const Conversion step = utf16ToUtf8({in.data() + at, in.size() - at},
                                                {text_.data() + had, text_.size() - had},
                                                kind_ == TextForm::Kind::utf16be);
            text_.resize(had + step.written);
            at += step.read;
            if (step.stop != Conversion::Stop::invalid) break;
            text_.append(kReplacement);  // a surrogate without its pair
            at += 2;
        }
        pending_ = in.substr(std::min(at, in.size()));
    }
    if (last && !pending_.empty()) {
        text_.append(kReplacement);  // a character the file's end cut short
        pending_.clear();
    }
}

}  // namespace kolvane
