#include "commondialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>

namespace kolvane {

namespace {

std::optional<QString> choose(QWidget* parent, const QString& start, QFileDialog::AcceptMode mode,
                              SaveKind kind = SaveKind::Replace) {
    QFileDialog dialog(parent, QString(), start);
    dialog.setAcceptMode(mode);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, kind == SaveKind::Append);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // The toolkit's own dialog opens so narrow that it cuts its size and date
    // columns; give it room to show them.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 460)));
    if (auto* details = dialog.findChild<QTreeView*>()) {
        details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.constFirst().isEmpty()) return std::nullopt;
    return chosen.constFirst();
}

}  // namespace

std::optional<QString> QtFileDialogs::showOpen(QWidget* parent, const QString& start) {
    return choose(parent, start, QFileDialog::AcceptOpen);
}

std::optional<QString> QtFileDialogs::showSave(QWidget* parent, const QString& start,
                                               SaveKind kind) {
    return choose(parent, start, QFileDialog::AcceptSave, kind);
}

std::optional<QString> CommonDialog::remember(std::optional<QString> chosen) {
    if (chosen) fileName_ = *chosen;
    return chosen;
}

std::optional<QString> CommonDialog::showOpen(QWidget* parent) {
    return remember(dialogs_.showOpen(parent, fileName_));
}

std::optional<QString> CommonDialog::showSave(QWidget* parent, SaveKind kind,
                                              const QString& source) {
    QString start = fileName_;
    const QFileInfo from(source);
    if (!source.isEmpty() && (start.isEmpty() || QFileInfo(start) == from)) {
        start = from.dir().filePath(from.completeBaseName() + QStringLiteral("-ripped.txt"));
    }
    return remember(dialogs_.showSave(parent, start, kind));
}

}  // namespace kolvane
