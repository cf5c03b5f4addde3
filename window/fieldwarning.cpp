#include "fieldwarning.h"

#include <QStringList>
#include <algorithm>

#include "fieldlist.h"

namespace kolvane {

namespace {

// Digits, signs and a point: a number, however badly typed, never a name.
bool looksNumeric(std::string_view entry) {
    return !entry.empty() && entry.find_first_not_of("0123456789+-.") == std::string_view::npos;
}

// The 1-based columns of `header` named `name`: the first two found.
struct Named {
    std::size_t first = 0;
    std::size_t second = 0;
};

Named columnsNamed(const std::vector<std::string>& header, std::string_view name) {
    Named found;
    for (std::size_t i = 0; i < header.size() && found.second == 0; ++i) {
        if (header[i] != name) continue;
        (found.first == 0 ? found.first : found.second) = i + 1;
    }
    return found;
}

// The column an entry names, when it names exactly one.
std::optional<std::size_t> namedColumn(std::string_view entry,
                                       const std::vector<std::string>& header) {
    const std::string_view name = trimSpaces(entry);
    if (name.empty() || looksNumeric(name)) return std::nullopt;
    const Named found = columnsNamed(header, name);
    if (found.first == 0 || found.second != 0) return std::nullopt;
    return found.first;
}

QString problemWith(std::string_view entry, const QString& shown, bool namesOn,
                    const std::optional<std::vector<std::string>>& header) {
    if (fieldNumber(entry) >= 1) return {};
    const std::string_view name = trimSpaces(entry);
    if (!namesOn || looksNumeric(name)) {
        return QStringLiteral("'%1' is not a field number: it gives an empty value").arg(shown);
    }
    if (!header) return {};
    const Named found = columnsNamed(*header, name);
    if (found.first == 0) {
        return QStringLiteral("'%1' is not a name in the first line: it gives an empty value")
            .arg(shown);
    }
    if (found.second != 0) {
        return QStringLiteral("'%1' names both field %2 and field %3: it gives an empty value")
            .arg(shown)
            .arg(found.first)
            .arg(found.second);
    }
    return {};
}

}  // namespace

std::string numberNamedFields(std::string_view list, const std::vector<std::string>& header) {
    std::string numbered;
    // Every comma separates, as the window's list reading has it.
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view entry = list.substr(start, comma - start);
        if (const auto column = namedColumn(entry, header)) {
            numbered += std::to_string(*column);
        } else {
            numbered += entry;
        }
        if (comma == list.size()) break;
        numbered += ',';
        start = comma + 1;
    }
    return numbered;
}

QString fieldsWarning(const QString& box, ShownAs shownAs, bool namesOn,
                      const std::optional<std::vector<std::string>>& header) {
    // A blank box keeps the last list, and a blank entry is an empty value asked for.
    if (box.trimmed().isEmpty()) return {};
    QStringList problems;
    for (const QString& entry : box.split(QLatin1Char(','))) {
        if (entry.trimmed().isEmpty()) continue;
        const QString problem =
            problemWith(typedBytes(entry, shownAs), entry.trimmed(), namesOn, header);
        if (!problem.isEmpty() && !problems.contains(problem)) problems << problem;
    }
    return problems.join(QLatin1Char('\n'));
}

}  // namespace kolvane
