#include "refdata.h"

#include <array>
#include <charconv>
#include <string_view>

namespace kolvane::bench {

namespace {

// Small vocabularies, so that words repeat the way they do in real exports.
constexpr std::array<std::string_view, 24> kFirst = {
    "anna",  "ben",   "clara", "david", "emma",   "felix", "greta",  "hugo",
    "ida",   "jonas", "karla", "lukas", "mia",    "noah",  "olivia", "paul",
    "quinn", "rosa",  "simon", "tara",  "ulrich", "vera",  "walter", "zoe"};
constexpr std::array<std::string_view, 24> kLast = {
    "berg",   "castell", "dahl",   "eriksen", "falk",    "gruber", "hansen", "iversen",
    "jansen", "keller",  "lund",   "moreau",  "nielsen", "olsen",  "petrov", "quist",
    "rossi",  "schmidt", "tanaka", "ulrich",  "varga",   "weber",  "yilmaz", "zeller"};
constexpr std::array<std::string_view, 8> kDomain = {"example.com", "mailhub.net",   "post.org",
                                                     "inbox.io",    "corp.example",  "webmail.de",
                                                     "letters.fr",  "mx.example.net"};
constexpr std::array<std::string_view, 16> kCity = {
    "Oslo",   "Bergen",   "Lyon",   "Porto",  "Gdansk",  "Turku",    "Graz", "Malmo",
    "Aarhus", "Bordeaux", "Leiden", "Bremen", "Tallinn", "Valencia", "Cork", "Brno"};
constexpr std::array<std::string_view, 5> kStatus = {"active", "pending", "closed", "on hold",
                                                     "active"};
constexpr std::array<std::string_view, 32> kWord = {
    "order",    "invoice", "shipped", "returned", "priority", "standard", "express", "gift",
    "repeat",   "new",     "account", "review",   "urgent",   "bulk",     "sample",  "note",
    "customer", "call",    "back",    "paid",     "overdue",  "credit",   "blue",    "large",
    "small",    "box",     "pallet",  "fragile",  "cold",     "dry",      "ok",      "n/a"};

constexpr std::array<std::uint64_t, 4> kQuantityRange = {10, 100, 1000, 100000};

template <class Array>
auto pick(const Array& items, SplitMix64& rng) {
    return items[rng.below(items.size())];
}

void appendNumber(std::string& out, std::uint64_t value) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, end);
}

// Zero-padded to `width` digits.
void appendPadded(std::string& out, std::uint64_t value, int width) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    for (auto digits = end - buf; digits < width; ++digits) out.push_back('0');
    out.append(buf, end);
}

}  // namespace

void ReferenceLines::append(std::string& out) {
    SplitMix64& r = rng_;
    // 1: id, zero-padded
    out.push_back('C');
    appendPadded(out, ++id_, 8);
    out.push_back('|');
    // 2: e-mail-like, sometimes with a number in the local part
    out.append(pick(kFirst, r));
    out.push_back('.');
    out.append(pick(kLast, r));
    if (r.below(3) == 0) appendNumber(out, r.below(100));
    out.push_back('@');
    out.append(pick(kDomain, r));
    out.push_back('|');
    // 3: quantity, from one digit to five
    appendNumber(out, r.below(pick(kQuantityRange, r)));
    out.push_back('|');
    // 4: city, a repeated word
    out.append(pick(kCity, r));
    out.push_back('|');
    // 5: date
    appendNumber(out, 2015 + r.below(10));
    out.push_back('-');
    appendPadded(out, 1 + r.below(12), 2);
    out.push_back('-');
    appendPadded(out, 1 + r.below(28), 2);
    out.push_back('|');
    // 6: a voucher code, empty on three lines out of four
    if (r.below(4) == 0) {
        out.append("V-");
        appendPadded(out, r.below(10000), 4);
    }
    out.push_back('|');
    // 7: amount with two decimals
    appendNumber(out, r.below(10000));
    out.push_back('.');
    appendPadded(out, r.below(100), 2);
    out.push_back('|');
    // 8: status
    out.append(pick(kStatus, r));
    out.push_back('|');
    // 9: time of day
    appendPadded(out, r.below(24), 2);
    out.push_back(':');
    appendPadded(out, r.below(60), 2);
    out.push_back(':');
    appendPadded(out, r.below(60), 2);
    out.push_back('|');
    // 10: one to four words of free text
    auto words = 1 + r.below(4);
    for (std::uint64_t w = 0; w < words; ++w) {
        if (w > 0) out.push_back(' ');
        out.append(pick(kWord, r));
    }
    out.push_back('\n');
}

std::string referenceData(std::uint64_t lines) {
    std::string out;
    out.reserve(static_cast<std::size_t>(lines) * 100);
    ReferenceLines gen;
    for (std::uint64_t i = 0; i < lines; ++i) gen.append(out);
    return out;
}

}  // namespace kolvane::bench
