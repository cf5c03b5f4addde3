// The settings as the controls hold them: what a rip reads, and the preview's
// tooltip that shows what they make of the previewed line.
#include <QCheckBox>
#include <QLineEdit>

#include "fieldtip.h"
#include "frontrules.h"
#include "mainwindow.h"

namespace kolvane {

Settings MainWindow::settings() const {
    Settings s;
    // Typed as the source shows: beside a source shown as Windows-1252, a
    // typed § means the byte 0xA7 that shows as §.
    s.split = readEscapes(typedBytes(splitEdit->text(), sourceShownAs_));
    s.join = readEscapes(typedBytes(joinEdit->text(), sourceShownAs_));
    s.fields = typedBytes(fieldsEdit->text(), sourceShownAs_);
    s.skipEmpty = skipEmptyCheck->checkState() != Qt::Unchecked;
    s.templateMode = templateCheck->checkState() != Qt::Unchecked;
    s.quoted = quotedCheck->checkState() != Qt::Unchecked;
    // A template's names become numbers here, so the rip and the tooltip
    // take them alike; a list's, where the list is read.
    return source_.resolved(std::move(s), namesOn());
}

ResultsTo MainWindow::resultsTo() const {
    return {toFileCheck->checkState() != Qt::Unchecked, outputPath_};
}

bool MainWindow::namesOn() const {
    return headerCheck->checkState() != Qt::Unchecked;
}

std::optional<FieldList> MainWindow::ripFields() const {
    const Settings now = settings();
    if (now.templateMode) return std::nullopt;
    return source_.fields(now, namesOn()).list;
}

void MainWindow::updateFieldTip() {
    if (previewBytes_.empty()) {
        return previewLine->setToolTip(QStringLiteral(
            "One line of the source file, to find the field numbers by; >> shows the next."));
    }
    const QString cut =
        previewCut_ ? QStringLiteral(", its first %1 KiB").arg(SourcePreview::kKeptBytes >> 10)
                    : QString();
    const QString where =
        previewShown_ > 0
            ? QStringLiteral("<p>Line %1 of the source file%2</p>").arg(previewShown_).arg(cut)
            : QString();
    previewLine->setToolTip(where + fieldTip(source_, previewBytes_, settings(),
                                             ripFields().value_or(session_->fields())));
}

}  // namespace kolvane
