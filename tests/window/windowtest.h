#pragma once

// Shared by the window tests: the real window with scripted dialogs, rips that
// let events run before every line, and files in a temporary folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "mainwindow.h"

namespace kolvane::test {

template <class W = QWidget>
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

// The tooltip a widget shows at `at` (else its centre); empty when none.
inline QString tipAt(QWidget* widget, std::optional<QPoint> at = {}) {
    const QPoint where = at.value_or(widget->rect().center());
    QHelpEvent help(QEvent::ToolTip, where, widget->mapToGlobal(where));
    QApplication::sendEvent(widget, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

// Whether `label` shows the whole of a text longer than its line, wrapped.
inline bool showsWhole(QLabel* label) {
    const QRect room = label->contentsRect();
    return label->fontMetrics().horizontalAdvance(label->text()) > room.width() &&
           label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text()).height() <=
               room.height();
}

// Each showing takes the next queued answer (null: a cancel) and is recorded
// as "open START", "save START" or "append START"; one with no answer fails.
struct ScriptedDialogs : FileDialogs {
    QStringList answers, shown;
    std::optional<QString> showOpen(QWidget*, const QString& start) override {
        return show("open " + start);
    }
    std::optional<QString> showSave(QWidget*, const QString& start, SaveKind kind) override {
        return show((kind == SaveKind::Append ? "append " : "save ") + start);
    }
    std::optional<QString> show(const QString& what) {
        shown << what;
        if (answers.empty()) QTest::qFail(qPrintable("unexpected: " + what), __FILE__, __LINE__);
        const QString answer = answers.empty() ? QString() : answers.takeFirst();
        return answer.isNull() ? std::nullopt : std::optional(answer);
    }
};

// A FIFO at `path` whose writer, once a reader opens it, writes `bytes` and
// then holds it open without a word until release().
class HeldFifo {
  public:
    HeldFifo(const QString& path, const QByteArray& bytes) : name_(QFile::encodeName(path)) {
        if (::mkfifo(name_.constData(), 0600) != 0) qFatal("mkfifo");
        writer_ = std::thread([this, bytes] {
            const int fd = ::open(name_.constData(), O_WRONLY);
            if (::write(fd, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
                qFatal("write to FIFO");
            release_.get_future().wait();
            ::close(fd);
        });
    }
    ~HeldFifo() { release(); }
    void release() {
        if (!writer_.joinable()) return;
        release_.set_value();
        writer_.join();
    }

  private:
    QByteArray name_;
    std::promise<void> release_;
    std::thread writer_;
};

// The real services, but the question about unsaved results answers Discard:
// a test that rips twice asks no person.
inline WindowServices testServices() {
    WindowServices services;
    services.askUnsaved = [](QWidget*, UnsavedBefore) { return QMessageBox::Discard; };
    return services;
}

class WindowFixture {
  protected:
    void setUp() {
        dir_ = std::make_unique<QTemporaryDir>();
        open();
    }
    // Every scripted answer was asked for: no handler skipped its dialog.
    void tearDown() {
        window_.reset();
        QVERIFY(dialogs_.answers.empty());
    }
    // A new window as started from `startDir` (else from here), shown and
    // active: shortcuts answer only in the active window.
    void open(const QString& startDir = {}, WindowServices services = testServices()) {
        window_.reset();
        dialogs_ = {};
        services.pump.interval = std::chrono::milliseconds{0};  // a pass before every line
        services.pump.strideBytes = 0;
        const QString before = QDir::currentPath();
        QDir::setCurrent(startDir.isEmpty() ? before : startDir);
        window_ = std::make_unique<MainWindow>(dialogs_, std::move(services));
        QDir::setCurrent(before);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    QString path(const QString& name) const { return dir_->filePath(name); }
    QString file(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("write");
        return file.fileName();
    }
    QLineEdit* box(const char* name) { return control<QLineEdit>(*window_, name); }
    QCheckBox* check(const char* name) { return control<QCheckBox>(*window_, name); }
    QString text(const char* name) { return box(name)->text(); }
    QString status() { return control<QLabel>(*window_, "statusLabel")->text(); }
    QString statusTip() { return control<QLabel>(*window_, "statusLabel")->toolTip(); }
    QListView* list() { return control<QListView>(*window_, "resultList"); }
    QStringList listed() {
        QStringList shown;
        for (int row = 0; row < list()->model()->rowCount(); ++row)
            shown << list()->model()->index(row, 0).data().toString();
        return shown;
    }
    // Clicks a button and waits for what it started on another thread: a
    // preview's line (the box shows a busy cursor until it comes) or a save
    // (Save is off while Load is on).
    void click(const char* name) {
        QTest::mouseClick(control<QPushButton>(*window_, name), Qt::LeftButton);
        settle();
    }
    void settle() {
        QTRY_VERIFY(box("previewLine")->cursor().shape() != Qt::BusyCursor &&
                    (control(*window_, "saveButton")->isEnabled() ||
                     !control(*window_, "loadButton")->isEnabled()));
    }
    template <class Path>
    void loadFile(const Path& source) {
        window_->loadSource(source);
        settle();
    }
    void answer(const std::optional<QString>& path) {
        dialogs_.answers << path.value_or(QString());
    }
    int buttonsOn() {
        int on = 0;
        for (const char* name : {"loadButton", "ripButton", "nextLineButton", "saveButton"})
            on += control(*window_, name)->isEnabled() ? 1 : 0;
        return on;
    }
    // Chooses `out` as outputPath through toFileCheck's dialog and checks the box.
    void chooseOutfile(const QString& out) {
        answer(out);
        check("toFileCheck")->click();
    }

    // Clicks "Rip" on `source` with `fields`; `during` runs at every event
    // pass, which comes before every line, with the pass's number from 1.
    // Returns the passes seen once the rip has ended.
    int rip(const QString& source, const QString& fields, std::function<void(int)> during = {}) {
        box("sourcePathEdit")->setText(source);
        box("fieldsEdit")->setText(fields);
        int passes = 0;
        const auto probe =
            QObject::connect(window_->findChild<RipSession*>(), &RipSession::progress, [&] {
                if (during) during(++passes);
            });
        click("ripButton");
        // With names on, the header is read on a thread first.
        auto* ripButton = window_->findChild<QPushButton*>(QStringLiteral("ripButton"));
        if (!QTest::qWaitFor([&] { return ripButton->isEnabled(); }, 30000)) return -1;
        QObject::disconnect(probe);
        return passes;
    }

    std::unique_ptr<QTemporaryDir> dir_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;  // after dialogs_: goes first
};

}  // namespace kolvane::test
