#include "commondialog.h"

#include <QFileDialog>

namespace kolvane {

std::optional<QString> QtFileDialogs::showOpen(QWidget* parent, const QString& start) {
    QString path = QFileDialog::getOpenFileName(parent, QString(), start);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtFileDialogs::showSave(QWidget* parent, const QString& start) {
    QString path = QFileDialog::getSaveFileName(parent, QString(), start);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> CommonDialog::remember(std::optional<QString> chosen) {
    if (chosen) fileName_ = *chosen;
    return chosen;
}

std::optional<QString> CommonDialog::ShowOpen(QWidget* parent) {
    return remember(dialogs_.showOpen(parent, fileName_));
}

std::optional<QString> CommonDialog::ShowSave(QWidget* parent) {
    return remember(dialogs_.showSave(parent, fileName_));
}

}  // namespace kolvane
