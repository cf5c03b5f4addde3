// "Rip" in the window: what it reads from the controls, what it allows while
// it runs, how it stops and fails. The engine's tests prove the rules of
// ripping; these prove what the window adds.
#include <unistd.h>

#include <QProgressBar>
#include <array>
#include <cerrno>
#include <cstring>

#include "windowtest.h"

using namespace kolvane::test;

class RipTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The separator boxes are read with their escapes, the split and the
    // join string alike. (Which escapes there are is the engine's rule.)
    void escapes() {
        box("splitEdit")->setText("\\\\t");
        box("joinEdit")->setText("\\t");
        rip(file("s.txt", "a\\tc\tx"), "2,1");
        QCOMPARE(listed(), QStringList{"c\tx\ta"});
    }

    // Inside the rip: the four buttons off, the count from the first
    // non-empty line on, the list hidden exactly when hideListCheck was checked at
    // the start. Then all back on, the focus back on "Rip".
    void duringRip() {
        for (const bool hide : {false, true}) {
            open();
            QWidget* dorip = control(*window_, "ripButton");
            dorip->setFocus();
            check("hideListCheck")->setChecked(hide);
            QStringList seen;
            rip(file("s.txt", "\r\n" + numberedLines(2)), "1", [&](int pass) {
                seen << QStringLiteral("%1 %2 %3")
                            .arg(buttonsOn())
                            .arg(list()->isVisible())
                            .arg(status());
                if (pass == 2) check("hideListCheck")->click();  // too late for this rip
            });
            const QString during = hide ? "0 0 " : "0 1 ";
            QCOMPARE(seen, (QStringList{during, during, during + "1 values ripped"}));
            QVERIFY(list()->isVisible());
            QCOMPARE(buttonsOn(), 4);
            QCOMPARE(QApplication::focusWidget(), dorip);
        }
    }

    // A setting changed between two lines applies from the next line on.
    // Nothing starts another rip meanwhile, nor a load or a save: not a
    // direct call, not the buttons' keys. Idle, each key is its button.
    void reentry() {
        rip(file("s.txt", numberedLines(4)), "1,2", [&](int pass) {
            if (pass != 3) return;
            box("joinEdit")->setText("-");
            window_->onRipClicked();
            for (const char* keys : {"Ctrl+O", "Ctrl+S", "F5", "Return"})
                QTest::keySequence(box("fieldsEdit"), QKeySequence(QString::fromLatin1(keys)));
        });
        QCOMPARE(listed(), (QStringList{"a1:b1", "a2:b2", "a3-b3", "a4-b4"}));
        answer(std::nullopt);
        answer(std::nullopt);
        box("fieldsEdit")->setText("2");
        for (const char* keys : {"Ctrl+O", "Ctrl+S", "F5"})
            QTest::keySequence(box("fieldsEdit"), QKeySequence(QString::fromLatin1(keys)));
        QCOMPARE(dialogs_.shown, (QStringList{"open ", "save " + path("s-ripped.txt")}));
        QCOMPARE(listed().first(), QStringLiteral("b1"));
        // Enter in a setting's box rips as well.
        const std::array<const char*, 3> rows[] = {
            {"splitEdit", "1", "a1"}, {"joinEdit", "2", "b1"}, {"fieldsEdit", "3", "c1"}};
        for (const auto& [name, fields, first] : rows) {
            box("fieldsEdit")->setText(fields);
            QTest::keyClick(box(name), Qt::Key_Return);
            QCOMPARE(listed().first(), QString::fromLatin1(first));
        }
    }

    // Clicks on toFileCheck run between two lines; the next line goes where the
    // choice says: the list, the chosen file, or the default one, in the
    // folder the window started in. Unchecking asks nothing.
    void outputChangedMidRip() {
        open(dir_->path());
        chooseOutfile(path("a.txt"));
        answer(path("b.txt"));
        answer(std::nullopt);
        rip(file("s.txt", numberedLines(5)), "2", [&](int pass) {
            if (pass == 2 || pass >= 4) check("toFileCheck")->click();  // off; on: b.txt; off
            if (pass == 5) check("toFileCheck")->click();               // on, cancelled
        });
        QCOMPARE(readFile(path("a.txt")), QByteArray("b1\r\n"));
        QCOMPARE(listed(), (QStringList{"b2", "b3"}));
        QCOMPARE(readFile(path("b.txt")), QByteArray("b4\r\n"));
        QCOMPARE(readFile(QDir(dir_->path()).canonicalPath() + "/tmpresult.txt"), "b5\r\n");
        check("toFileCheck")->click();  // unchecked: no dialog, no status text
        QCOMPARE(status(), QStringLiteral("5 values ripped"));
        answer(std::nullopt);
        check("toFileCheck")->click();
        QCOMPARE(status(), QStringLiteral("default : tmpresult.txt"));
    }

    // The status line names the file and the cause; what was ripped stays,
    // a source that cannot be opened leaves the list alone, and the window
    // is usable again.
    void failure() {
        check("hideListCheck")->setChecked(true);
        rip(file("s.txt", numberedLines(3)), "1", [&](int pass) {
            if (pass == 3) chooseOutfile("/dev/full");
        });
        QVERIFY(status().contains("/dev/full") && status().contains("line 3"));
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
        QCOMPARE(buttonsOn(), 4);
        QVERIFY(list()->isVisible());
        check("toFileCheck")->click();
        rip(path("s.txt.typo"), "2");
        QVERIFY(status().contains("s.txt.typo") && status().contains(std::strerror(ENOENT)));
        QCOMPARE(statusTip(), status());
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
    }

    // File to file into the source itself, by its name, a symbolic or a hard
    // link: no rip; the list and the file stay as they were.
    void neverIntoItsSource() {
        const QString source = file("s.txt", "a|1\r\n");
        rip(source, "2");
        QVERIFY(QFile::link(source, path("symbolic.txt")));
        QCOMPARE(::link(qPrintable(source), qPrintable(path("hard.txt"))), 0);
        for (const char* name : {"s.txt", "symbolic.txt", "hard.txt"}) {
            chooseOutfile(path(name));
            rip(source, "1");
            QCOMPARE(status(),
                     "Not ripped: the output file " + path(name) + " is the source file itself");
            QCOMPARE(listed(), QStringList{"1"});
            QCOMPARE(readFile(source), QByteArray("a|1\r\n"));
            check("toFileCheck")->click();
        }
        // Chosen in the middle of a rip, the source stops the rip at the
        // line that would have gone into it; what came before stays.
        const QString lines = file("lines.txt", numberedLines(4));
        QCOMPARE(::link(qPrintable(lines), qPrintable(path("alias.txt"))), 0);
        rip(lines, "1", [&](int pass) {
            if (pass == 3) chooseOutfile(path("alias.txt"));
        });
        QCOMPARE(status(),
                 "Cannot write " + path("alias.txt") + " at line 3: it is the source file itself");
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
        QCOMPARE(readFile(lines), numberedLines(4));
    }

    // After 300 ms of ripping a bar and "Stop" in the place of "Save"; Stop
    // and Escape end the rip before the next line, in either mode, and go at
    // its end; idle, Escape does nothing. Closing stops the rip too, with its
    // output flushed.
    void stopping() {
        auto clock = std::chrono::steady_clock::now();
        auto services = testServices();
        services.pump.now = [&] { return clock; };
        open({}, std::move(services));
        auto* bar = control<QProgressBar>(*window_, "ripProgress");
        auto* stop = control<QPushButton>(*window_, "stopButton");
        QStringList seen;
        const auto stopAt = [&](int at, int how) {
            return rip(file("s.txt", numberedLines(9)), "2", [&](int pass) {
                seen << QStringLiteral("%1%2").arg(bar->isVisible()).arg(stop->isVisible());
                clock += std::chrono::milliseconds(100);
                if (pass == at && how == 0) stop->click();
                if (pass == at && how == 1) QTest::keyClick(window_.get(), Qt::Key_Escape);
                if (pass == at && how == 2) window_->close();
            });
        };
        QCOMPARE(stopAt(5, 0), 5);
        QCOMPARE(seen, (QStringList{"00", "00", "00", "11", "11"}));
        QVERIFY(!bar->isVisible() && !stop->isVisible() &&
                control(*window_, "saveButton")->isVisible());
        QCOMPARE(stopAt(2, 1), 2);
        QCOMPARE(listed(), QStringList{"b1"});
        QTest::keyClick(box("fieldsEdit"), Qt::Key_Escape);
        QCOMPARE(status(), QStringLiteral("1 values ripped (stopped)"));
        const QString out = file("out.txt", "0\r\n");
        chooseOutfile(out);
        QCOMPARE(stopAt(3, 1), 3);
        QCOMPARE(stopAt(2, 2), 2);
        QVERIFY(!window_->isVisible());
        QCOMPARE(readFile(out), QByteArray("0\r\nb1\r\nb2\r\nb1\r\n"));
    }

    // A source that stalls holds no event up: a timer's Escape stops the rip
    // while no data comes, and what was ripped stays. So does a close while
    // a FIFO still waits for its writer.
    void stallingSource() {
        HeldFifo fifo(path("fifo"), "a|1\nb|2\nc|");
        QTimer::singleShot(200, window_.get(),
                           [&] { QTest::keyClick(window_.get(), Qt::Key_Escape); });
        rip(path("fifo"), "2");
        fifo.release();
        QCOMPARE(status(), QStringLiteral("2 values ripped (stopped)"));
        QCOMPARE(listed(), (QStringList{"1", "2"}));
        QTimer::singleShot(100, window_.get(), [&] { window_->close(); });
        rip(path("fifo"), "2");
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(RipTest)
#include "rip_test.moc"
