// The settings as the controls hold them: what a rip reads, and the preview's
// tooltip that shows what they make of the previewed line.
#include <QCheckBox>
#include <QLineEdit>

#include "fieldtip.h"
#include "frontrules.h"
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
    s.smart = templateCheck->checkState() != Qt::Unchecked;
    s.outfile = record_.outputPath;
    return s;
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
