// The settings as the controls hold them: what a rip reads, and the preview's
// tooltip that shows what they make of the previewed line.
#include <QCheckBox>
#include <QLineEdit>

#include "fieldnames.h"
#include "fieldtip.h"
#include "fieldwarning.h"
#include "frontrules.h"
#include "headerline.h"
#include "mainwindow.h"

namespace kolvane {

namespace {

const QString kPreviewTip =
    QStringLiteral("One line of the source file, to find the field numbers by; >> shows the next.");

}  // namespace

Settings MainWindow::settings() const {
    Settings s;
    // Typed as the source shows: beside a source shown as Windows-1252, a
    // typed § means the byte 0xA7 that shows as §.
    s.split = readEscapes(typedBytes(splitEdit->text(), sourceShownAs_));
    s.join = readEscapes(typedBytes(joinEdit->text(), sourceShownAs_));
    s.fields = typedBytes(fieldsEdit->text(), sourceShownAs_);
    s.skipEmpty = skipEmptyCheck->checkState() != Qt::Unchecked;
    s.toFile = toFileCheck->checkState() != Qt::Unchecked;
    s.templateMode = templateCheck->checkState() != Qt::Unchecked;
    s.outfile = record_.outputPath;
    s.quoted = quotedCheck->checkState() != Qt::Unchecked;
    // Names become numbers here, so the rip and the tooltip take them alike.
    if (const auto header = headerNow(s); header && !s.templateMode) {
        s.fields = numberNamedFields(s.fields, *header);
    } else if (header) {
        auto resolved = resolveTemplateNames(s.fields, *header);
        // A template with a name two columns share stays as typed: which
        // column it means is not known.
        if (resolved.index() == 0) s.fields = std::get<0>(std::move(resolved));
    }
    return s;
}

std::optional<std::vector<std::string>> MainWindow::headerNow(const Settings& s) const {
    if (headerCheck->checkState() == Qt::Unchecked || !firstLine_) return std::nullopt;
    return headerNames(*firstLine_, s.dialect());
}

void MainWindow::updateFieldTip() {
    if (previewBytes_.empty()) return previewLine->setToolTip(kPreviewTip);
    const QString cut =
        previewCut_ ? QStringLiteral(", its first %1 KiB").arg(SourcePreview::kKeptBytes >> 10)
                    : QString();
    const QString where =
        previewShown_ > 0
            ? QStringLiteral("<p>Line %1 of the source file%2</p>").arg(previewShown_).arg(cut)
            : QString();
    previewLine->setToolTip(where + fieldTip(previewBytes_, settings(), session_->fields()));
}

}  // namespace kolvane
