#pragma once

// Shared by the window tests: controls by name, files in a temporary folder,
// dialogs that answer from a script, a window with a hook into its rips.

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "commondialog.h"
#include "mainwindow.h"
#include "resultmodel.h"

namespace kolvane::test {

// The control called `name`; there must be one of that kind.
template <class W>
W* control(QWidget& window, const char* name) {
    W* found = window.findChild<W*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s of the expected kind", name);
    return found;
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "a1|b1|c1\r\n" ... for lines 1..count.
inline QByteArray numberedLines(int count) {
    QByteArray bytes;
    for (int i = 1; i <= count; ++i) bytes += QStringLiteral("a%1|b%1|c%1\r\n").arg(i).toUtf8();
    return bytes;
}

// Each showing takes the next queued answer, a path or a cancel (nullopt), and
// is recorded as "open START" or "save START", START the path it was offered.
// A showing with no answer queued fails the test.
class ScriptedDialogs : public FileDialogs {
  public:
    void answer(std::optional<QString> path) {
        answers_.push_back({path.value_or(QString()), !path.has_value()});
    }
    // Runs while the next dialog is open, before it answers.
    void whileOpen(std::function<void()> act) { whileOpen_ = std::move(act); }
    const QStringList& shown() const { return shown_; }
    qsizetype pending() const { return static_cast<qsizetype>(answers_.size()); }

    std::optional<QString> showOpen(QWidget*, const QString& start) override {
        return show("open ", start);
    }
    std::optional<QString> showSave(QWidget*, const QString& start) override {
        return show("save ", start);
    }

  private:
    std::optional<QString> show(const char* kind, const QString& start) {
        shown_ << kind + start;
        if (auto act = std::exchange(whileOpen_, nullptr)) act();
        if (answers_.empty()) {
            QTest::qFail(qPrintable("unexpected dialog: " + shown_.back()), __FILE__, __LINE__);
            return std::nullopt;
        }
        const auto [path, cancel] = answers_.front();
        answers_.pop_front();
        if (cancel) return std::nullopt;
        return path;
    }

    std::deque<std::pair<QString, bool>> answers_;  // a path, or a cancel
    std::function<void()> whileOpen_;
    QStringList shown_;
};

// A window with scripted dialogs and a temporary folder, new for every test.
class WindowFixture {
  protected:
    void setUp() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        open();
    }
    // Every scripted answer was asked for: no handler skipped its dialog.
    void tearDown() {
        window_.reset();
        QCOMPARE(dialogs_->pending(), qsizetype{0});
    }
    // A new window as started from `startDir` (else from here), shown and
    // active: shortcuts answer only in the active window.
    void open(const QString& startDir = QString()) {
        window_.reset();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(startDir.isEmpty() ? before : startDir));
        window_ = std::make_unique<MainWindow>(*dialogs_);
        QVERIFY(QDir::setCurrent(before));
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    QString path(const QString& name) const { return dir_->filePath(name); }
    QString file(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(name));
        }
        return file.fileName();
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>(*window_, name); }
    QCheckBox* check(const char* name) { return control<QCheckBox>(*window_, name); }
    QString text(const char* name) { return box(name)->text(); }
    QString status() { return control<QLabel>(*window_, "Statu")->text(); }
    // The list's items as shown.
    QStringList listed() {
        QAbstractItemModel* model = control<QListView>(*window_, "List1")->model();
        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, 0).data().toString();
        return shown;
    }
    void click(const char* name) {
        QTest::mouseClick(control<QPushButton>(*window_, name), Qt::LeftButton);
    }
    // How many of Loadfile, Dorip, Command1 and Saverip are enabled.
    int buttonsOn() {
        int on = 0;
        for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
            on += control<QPushButton>(*window_, name)->isEnabled() ? 1 : 0;
        }
        return on;
    }
    void setOutfile(const QString& file) {
        window_->ripState().Outfile = QFile::encodeName(file).toStdString();
    }
    QString outfile() { return QFile::decodeName(window_->ripState().Outfile.c_str()); }

    // Clicks "Rip" on `source` with `fields`; `during` runs at every event pass
    // with the pass's number, counted from 1, and the rip makes a pass before
    // every line. Returns once the rip has ended, with the passes seen.
    int rip(const QString& source, const QString& fields, std::function<void(int)> during = {}) {
        box("Text1")->setText(source);
        box("RipFields")->setText(fields);
        int passes = 0;
        QTimer timer;  // fires once per event pass
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (window_->ripping()) during(++passes);
        });
        if (during) {
            window_->setPumpEveryLine(true);
            timer.start(0);
        }
        click("Dorip");
        return passes;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<MainWindow> window_;  // after dialogs_: goes first
};

}  // namespace kolvane::test
