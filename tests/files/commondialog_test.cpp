// The toolkit's own file dialog as the window shows it: the append dialog
// says what it does to the file chosen, and every dialog fits a screen at
// 200% (this test runs scaled so).
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

using kolvane::QtFileDialogs;
using kolvane::SaveKind;

namespace {

// Runs `act` on the file dialog once it shows; the dialog's own event loop
// polls for it.
void whenShown(const std::function<void(QFileDialog&)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        act(*dialog);
    });
    poll->start(10);
}

QString labelText(QFileDialog& dialog, const char* name) {
    auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

struct AppendRow {
    const char* name;
    QByteArray held;  // null: no such file
    QString note;     // beside the file name
};

}  // namespace

class CommonDialogTest : public QObject {
    Q_OBJECT

  private slots:
    // The file name's label follows the name typed: a new file, or how much
    // the results will go after. Accepting gives the path typed.
    void appendSaysWhatItDoes() {
        QTemporaryDir dir;
        const AppendRow rows[] = {
            {"a new file", {}, "File name (new file):"},
            {"a file holding 2 KiB", QByteArray(2048, 'x'), "File name (holds 2.0 KiB):"},
            {"an empty file", "", "File name (holds 0 bytes):"},
        };
        for (const AppendRow& row : rows) {
            const QString target = dir.filePath(QString::fromLatin1(row.name));
            if (!row.held.isNull()) {
                QFile file(target);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(row.held) == row.held.size());
            }
            QString title, note, accept;
            whenShown([&](QFileDialog& dialog) {
                title = dialog.windowTitle();
                dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(QString::fromLatin1(row.name));
                note = labelText(dialog, "fileNameLabel");
                accept = dialog.labelText(QFileDialog::Accept);
                QMetaObject::invokeMethod(&dialog, "accept");
            });
            QtFileDialogs dialogs;
            QCOMPARE(dialogs.showSave(nullptr, dir.filePath("start.txt"), SaveKind::Append),
                     std::optional(target));
            QCOMPARE(title, QStringLiteral("Append results to"));
            QVERIFY2(note == row.note, qPrintable(note));
            QCOMPARE(accept, QStringLiteral("Append"));
        }
    }

    // Open, save and append dialogs fit the available screen whole, with
    // their buttons.
    void fitsTheScreen() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QtFileDialogs dialogs;
        const std::function<void()> shows[] = {
            [&] { dialogs.showOpen(nullptr, QDir::tempPath()); },
            [&] { dialogs.showSave(nullptr, QDir::tempPath(), SaveKind::Replace); },
            [&] { dialogs.showSave(nullptr, QDir::tempPath(), SaveKind::Append); },
        };
        for (const auto& show : shows) {
            QRect placed;
            QRect buttons;
            whenShown([&](QFileDialog& dialog) {
                placed = dialog.frameGeometry();
                for (auto* button : dialog.findChildren<QPushButton*>()) {
                    if (button->isVisible())
                        buttons |= QRect(button->mapToGlobal(QPoint()), button->size());
                }
                dialog.reject();
            });
            show();
            QVERIFY2(available.contains(placed), qPrintable(QStringLiteral("%1x%2 at %3,%4")
                                                                .arg(placed.width())
                                                                .arg(placed.height())
                                                                .arg(placed.x())
                                                                .arg(placed.y())));
            QVERIFY(!buttons.isEmpty() && available.contains(buttons));
        }
    }
};

int main(int argc, char** argv) {
    // 200% of the offscreen screen's 800 x 600: smaller than 1280 x 800 at 200%.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    CommonDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "commondialog_test.moc"
