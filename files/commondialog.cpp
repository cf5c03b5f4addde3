#include "commondialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTreeView>

namespace kolvane {

namespace {

// Fits `dialog` on the screen it opens on: at 200% on a small screen the
// toolkit's dialog asks for more than the screen has, which would put the
// file name box and the buttons out of reach.
void fitOnItsScreen(QDialog& dialog, QWidget* parent) {
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    // Room for the frame a window manager puts around it.
    const QSize room = available.size() - QSize(16, 48);
    dialog.setMinimumSize(dialog.minimumSize().boundedTo(room));
    QRect placed(QPoint(), dialog.size().boundedTo(room));
    placed.moveCenter(available.center());
    dialog.resize(placed.size());
    dialog.move(placed.topLeft());
}

// What appending to `path` adds to: "new file", or the size it holds now
// ("holds 2.1 MB").
QString appendTargetNote(const QString& path) {
    const QFileInfo target(path);
    if (!target.exists() || target.isDir()) return QStringLiteral("new file");
    if (!target.isFile()) return QStringLiteral("not a regular file");
    return QStringLiteral("holds %1").arg(QLocale().formattedDataSize(target.size(), 1));
}

// The append dialog says what it does: results go after what the chosen
// file holds, so its size is shown beside its name as it changes.
void sayAppending(QFileDialog& dialog) {
    dialog.setWindowTitle(QStringLiteral("Append results to"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Append"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) return;
    auto describe = [&dialog, name] {
        dialog.setLabelText(
            QFileDialog::FileName,
            name->text().isEmpty()
                ? QStringLiteral("File name:")
                : QStringLiteral("File name (%1):")
                      .arg(appendTargetNote(dialog.directory().absoluteFilePath(name->text()))));
    };
    QObject::connect(name, &QLineEdit::textChanged, &dialog, describe);
    QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, describe);
    describe();
}

std::optional<QString> choose(QWidget* parent, const QString& start, QFileDialog::AcceptMode mode,
                              SaveKind kind = SaveKind::Replace) {
    QFileDialog dialog(parent, QString(), start);
    dialog.setAcceptMode(mode);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, kind == SaveKind::Append);
    // A platform's own dialog would not show what appending adds to it.
    dialog.setOption(QFileDialog::DontUseNativeDialog, kind == SaveKind::Append);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // The toolkit's own dialog opens so narrow that it cuts its size and date
    // columns; give it room to show them, where the screen has it.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 460)));
    fitOnItsScreen(dialog, parent);
    if (auto* details = dialog.findChild<QTreeView*>()) {
        details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (kind == SaveKind::Append) sayAppending(dialog);
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
