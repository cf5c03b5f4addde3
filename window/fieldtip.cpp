#include "fieldtip.h"

#include <QStringList>
#include <cstdint>
#include <string>

namespace kolvane {

namespace {

// Characters of one value and of the result line shown before the rest is
// cut off, and of one line of the tip: enough to recognise a field, few enough
// to keep the tip readable. The tip breaks its lines itself: a tooltip left to
// wrap rich text does so at a quarter of the screen, inside values.
constexpr qsizetype kValueChars = 32;
constexpr qsizetype kResultChars = 100;
constexpr qsizetype kLineChars = 90;

// One paragraph that keeps its spaces and line breaks and never wraps.
QString paragraph(const QString& html) {
    return QStringLiteral("<p style=\"white-space:pre\">") + html + QStringLiteral("</p>");
}

}  // namespace

QString fieldTip(const SourceSession& source, std::string_view line, const Settings& settings,
                 const FieldList& list) {
    // Quoted, a split string inside quotes splits nothing, and values show unquoted.
    const SourceSession::Gives gives = source.gives(line, settings, list, kTipFields);
    const std::vector<std::string>& cut = gives.values;
    const auto listed = static_cast<int>(cut.size());

    // "[1] 0   [2] uniform@delta.com   [3] ...", a new line before a field
    // that would make the line too long.
    QString numbered;
    qsizetype lineStart = 0;
    for (int k = 0; k < listed; ++k) {
        const QString field = QStringLiteral("[%1] ").arg(k + 1) +
                              displayStart(cut[static_cast<std::size_t>(k)], kValueChars);
        if (k > 0) {
            const bool wrap = numbered.size() - lineStart + 3 + field.size() > kLineChars;
            numbered += wrap ? QStringLiteral("\n") : QStringLiteral("   ");
            if (wrap) lineStart = numbered.size();
        }
        numbered += field;
    }
    QString tip = paragraph(numbered.toHtmlEscaped());
    if (gives.fields > std::size_t(listed)) {
        tip += QStringLiteral("<p>%1 fields in all; the first %2 are shown.</p>")
                   .arg(gives.fields)
                   .arg(listed);
    }

    // The result line, from the settings and the field list a rip would use now.
    if (gives.skipped) {
        tip += QStringLiteral("<p>Result: none, the line is skipped (a value is blank).</p>");
    } else {
        tip += paragraph(QStringLiteral("Result: <b>") +
                         displayStart(gives.result, kResultChars).toHtmlEscaped() +
                         QStringLiteral("</b>"));
    }
    return tip;
}

QString fieldsWarning(const std::vector<FieldProblem>& problems, ShownAs shownAs) {
    QStringList lines;
    for (const FieldProblem& problem : problems) {
        const QString entry = shownAs == ShownAs::utf8 ? QString::fromUtf8(problem.entry)
                                                       : displayText(problem.entry);
        const QString line = QStringLiteral("'%1' %2").arg(entry, QString::fromUtf8(problem.why));
        if (!lines.contains(line)) lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kolvane
