// The toolkit's own file dialog as the window shows it: the append dialog
// says what it does to the file chosen, and fits a screen at 200% (ctest runs
// it scaled so, on the offscreen screen's 800 x 600) with its buttons in reach.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "commondialog.h"

namespace {

// Runs `act` on the file dialog once it shows, from its own event loop.
void whenShown(const std::function<void(QFileDialog&)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->deleteLater();
        act(*dialog);
    });
    poll->start(10);
}

struct AppendRow {
    const char* name;
    QByteArray held;  // null: no such file
    QString label;    // beside the file name
};

}  // namespace

class CommonDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // The file name's label follows the name typed; accepting gives its path.
    void appendSaysWhatItDoes() {
        QTemporaryDir dir;
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const AppendRow rows[] = {
            {"a new file", {}, "File name (new file):"},
            {"a file holding 2 KiB", QByteArray(2048, 'x'), "File name (holds 2.0 KiB):"},
            {"an empty file", "", "File name (holds 0 bytes):"},
        };
        for (const AppendRow& row : rows) {
            const QString target = dir.filePath(QString::fromLatin1(row.name));
            QFile file(target);
            QVERIFY(row.held.isNull() ||
                    (file.open(QIODevice::WriteOnly) && file.write(row.held) == row.held.size()));
            file.close();
            QStringList seen;
            bool fits = false;
            whenShown([&](QFileDialog& dialog) {
                seen << dialog.windowTitle() << dialog.labelText(QFileDialog::Accept);
                dialog.findChild<QLineEdit*>("fileNameEdit")->setText(row.name);
                seen << dialog.findChild<QLabel*>("fileNameLabel")->text();
                fits = screen.contains(dialog.frameGeometry());
                for (auto* button : dialog.findChildren<QPushButton*>())
                    fits &= !button->isVisible() ||
                            screen.contains(QRect(button->mapToGlobal(QPoint()), button->size()));
                QMetaObject::invokeMethod(&dialog, "accept");
            });
            kolvane::QtFileDialogs dialogs;
            QCOMPARE(dialogs.showSave(nullptr, dir.filePath("start"), kolvane::SaveKind::Append),
                     std::optional(target));
            QCOMPARE(seen, (QStringList{"Append results to", "Append", row.label}));
            QVERIFY2(fits, row.name);
        }
    }
};

QTEST_MAIN(CommonDialogTest)
#include "commondialog_test.moc"
