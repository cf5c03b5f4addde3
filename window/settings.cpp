// The settings as the controls hold them: what a rip reads, and the preview's
// tooltip that shows what they make of the previewed line.
#include <QCheckBox>
#include <QLineEdit>

#include "fieldtip.h"
#include "frontrules.h"
#include "mainwindow.h"

namespace kolvane {

namespace {

std::string bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

const QString kPreviewTip =
    QStringLiteral("One line of the source file, to find the field numbers by; >> shows the next.");

}  // namespace

Settings MainWindow::settings() const {
    Settings s;
    s.split = readEscapes(bytes(splitEdit->text()));
    s.join = readEscapes(bytes(joinEdit->text()));
    s.fields = bytes(fieldsEdit->text());
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
