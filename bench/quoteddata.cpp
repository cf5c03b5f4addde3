#include "quoteddata.h"

#include <array>
#include <charconv>
#include <string_view>

namespace kolvane::bench {

namespace {

constexpr std::array<std::string_view, 16> kFirst = {
    "Anna", "Ben",   "Clara", "David", "Emma", "Felix", "Greta", "Hugo",
    "Ida",  "Jonas", "Karla", "Lukas", "Mia",  "Noah",  "Vera",  "Zoe"};
constexpr std::array<std::string_view, 16> kLast = {
    "Berg", "Castell", "Dahl",    "Eriksen", "Falk",  "Gruber", "Hansen", "Keller",
    "Lund", "Moreau",  "Nielsen", "Olsen",   "Rossi", "Tanaka", "Weber",  "Zeller"};
constexpr std::array<std::string_view, 8> kDomain = {"example.com",  "mailhub.net",   "post.org",
                                                     "inbox.io",     "webmail.de",    "letters.fr",
                                                     "corp.example", "mx.example.net"};
constexpr std::array<std::string_view, 8> kCity = {"Oslo",   "Bergen", "Lyon",  "Porto",
                                                   "Gdansk", "Turku",  "Malmo", "Brno"};
constexpr std::array<std::string_view, 4> kStatus = {"active", "pending", "closed", "on hold"};
constexpr std::array<std::string_view, 8> kProduct = {
    "desk lamp", "office chair", "cable", "keyboard", "mouse", "dock", "headset", "webcam"};
constexpr std::array<std::string_view, 16> kWord = {
    "order",  "invoice", "shipped", "returned", "priority", "express", "gift", "repeat",
    "review", "urgent",  "bulk",    "sample",   "customer", "call",    "back", "paid"};

template <class Array>
std::string_view pick(const Array& items, SplitMix64& rng) {
    return items[rng.below(items.size())];
}

void appendNumber(std::string& out, std::uint64_t value, int width = 0) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    for (auto digits = end - buf; digits < width; ++digits) out.push_back('0');
    out.append(buf, end);
}

void appendWords(std::string& out, SplitMix64& r, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        if (i > 0) out.push_back(' ');
        out.append(pick(kWord, r));
    }
}

}  // namespace

void QuotedRecords::appendHeader(std::string& out) {
    out.append("id,name,email,quantity,city,date,amount,status,product,note\r\n");
}

void QuotedRecords::append(std::string& out) {
    SplitMix64& r = rng_;
    const std::string_view first = pick(kFirst, r);
    const std::string_view last = pick(kLast, r);
    out.push_back('C');
    appendNumber(out, ++id_, 8);
    // A name as an export writes it, "Last, First", or as a person does.
    if (r.below(10) < 7) {
        out.append(",\"").append(last).append(", ").append(first).push_back('"');
    } else {
        out.append(",").append(first).append(" ").append(last);
    }
    out.push_back(',');
    out.append(first).push_back('.');
    out.append(last).push_back('@');
    out.append(pick(kDomain, r)).push_back(',');
    appendNumber(out, r.below(1000));
    if (r.below(10) == 0) {
        out.append(",\"").append(pick(kCity, r)).append(", EU\"");
    } else {
        out.append(",").append(pick(kCity, r));
    }
    out.push_back(',');
    appendNumber(out, 2015 + r.below(10));
    out.push_back('-');
    appendNumber(out, 1 + r.below(12), 2);
    out.push_back('-');
    appendNumber(out, 1 + r.below(28), 2);
    out.push_back(',');
    appendNumber(out, r.below(5000));
    out.push_back('.');
    appendNumber(out, r.below(100), 2);
    out.append(",").append(pick(kStatus, r));
    // A product named in inches: its quote doubled inside quotes.
    if (r.below(5) == 0) {
        out.append(",\"");
        appendNumber(out, 20 + r.below(20));
        out.append("\"\" ").append(pick(kProduct, r)).push_back('"');
    } else {
        out.append(",").append(pick(kProduct, r));
    }
    // A note: mostly words with a comma, which need quotes; one in a hundred
    // goes on over a second line.
    const std::uint64_t kind = r.below(100);
    out.push_back(',');
    if (kind == 0) {
        out.push_back('"');
        appendWords(out, r, 1 + r.below(4));
        out.append("\r\n");
        appendWords(out, r, 1 + r.below(4));
        out.push_back('"');
    } else if (kind < 75) {
        out.push_back('"');
        appendWords(out, r, 1 + r.below(3));
        out.append(", ");
        appendWords(out, r, 1 + r.below(3));
        out.push_back('"');
    } else {
        appendWords(out, r, r.below(4));
    }
    out.append("\r\n");
}

std::string quotedData(std::uint64_t records) {
    std::string out;
    QuotedRecords gen;
    QuotedRecords::appendHeader(out);
    for (std::uint64_t i = 0; i < records; ++i) gen.append(out);
    return out;
}

}  // namespace kolvane::bench
