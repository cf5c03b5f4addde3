#include "fieldwarning.h"

#include <QStringList>

namespace kolvane {

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
