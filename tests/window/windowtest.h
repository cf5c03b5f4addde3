#pragma once

// Helpers shared by the window tests: finding controls by name, writing source
// files, reading the result list, and acting from inside a running rip.

#include <QAbstractItemModel>
#include <QByteArray>
#include <QFile>
#include <QListView>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>
#include <optional>

#include "commondialog.h"
#include "mainwindow.h"
#include "resultmodel.h"

namespace kolvane::test {

// The control called `name`; fails the test when there is none of that kind.
template <class W>
W* control(QWidget& window, const char* name) {
    W* found = window.findChild<W*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s of the expected kind", name);
    return found;
}

inline QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

// "a1|b1|c1\r\n" ... for lines 1..count.
inline QByteArray numberedLines(int count) {
    QByteArray bytes;
    for (int i = 1; i <= count; ++i) bytes += QStringLiteral("a%1|b%1|c%1\r\n").arg(i).toUtf8();
    return bytes;
}

// The list's items as shown.
inline QStringList items(QWidget& window) {
    QAbstractItemModel* model = control<QListView>(window, "List1")->model();
    QStringList shown;
    for (int row = 0; row < model->rowCount(); ++row) {
        shown << model->data(model->index(row, 0)).toString();
    }
    return shown;
}

// File dialogs that answer from a script: each showing takes the next queued
// answer, a path or a cancel (nullopt), and is recorded with the path it was
// offered. A showing that finds no answer queued fails the test.
class ScriptedDialogs : public FileDialogs {
  public:
    struct Shown {
        QString kind;   // "open" or "save"
        QString start;  // the path the dialog was offered
        bool operator==(const Shown&) const = default;
    };

    void answer(std::optional<QString> path) {
        answers_.push_back({path.value_or(QString()), !path.has_value()});
    }
    // Runs while the next dialog is open, before it answers.
    void whileOpen(std::function<void()> act) { whileOpen_ = std::move(act); }

    const QList<Shown>& shown() const { return shown_; }
    qsizetype pending() const { return static_cast<qsizetype>(answers_.size()); }

    std::optional<QString> showOpen(QWidget*, const QString& start) override {
        return show(QStringLiteral("open"), start);
    }
    std::optional<QString> showSave(QWidget*, const QString& start) override {
        return show(QStringLiteral("save"), start);
    }

  private:
    std::optional<QString> show(const QString& kind, const QString& start) {
        shown_ << Shown{kind, start};
        if (auto act = std::exchange(whileOpen_, nullptr)) act();
        if (answers_.empty()) {
            QTest::qFail(qPrintable(QStringLiteral("unexpected %1 dialog").arg(kind)), __FILE__,
                         __LINE__);
            return std::nullopt;
        }
        const Answer next = answers_.front();
        answers_.pop_front();
        if (next.cancel) return std::nullopt;
        return next.path;
    }

    struct Answer {
        QString path;
        bool cancel = false;
    };
    std::deque<Answer> answers_;
    std::function<void()> whileOpen_;
    QList<Shown> shown_;
};

// Runs `act` at every event pass of the rip that the next click starts, with
// the pass's number, counted from 1. A zero-time timer fires once per pass.
class DuringRip {
  public:
    DuringRip(MainWindow& window, std::function<void(int)> act) : act_(std::move(act)) {
        window.setPumpEveryLine(true);
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, &window] {
            if (window.ripping()) act_(++passes_);
        });
        timer_.start();
    }
    int passes() const { return passes_; }

  private:
    std::function<void(int)> act_;
    QTimer timer_;
    int passes_ = 0;
};

}  // namespace kolvane::test
