// "Rip" in the window: what it reads from the controls, what it shows, and
// what the window allows while it runs. The engine's tests prove the rules
// of ripping; these prove what the window adds.
#include <cerrno>
#include <cstring>

#include "windowtest.h"

using namespace kolvane::test;

namespace {

struct EscapeRow {
    QString split, join;
    QByteArray source;
    QString result;  // of fields 2,1
};

// Logs every enabling and disabling of the widgets it watches, in order.
struct EnableLog : QObject {
    QStringList log;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            log << (static_cast<QWidget*>(watched)->isEnabled() ? "+" : "-") +
                       watched->objectName();
        return false;
    }
};

}  // namespace

class RipTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // In the separator boxes \t is a tab and \\ one backslash, nothing else;
    // settings reach the engine as UTF-8.
    void escapes() {
        const EscapeRow rows[] = {
            {"\\t", ":", "a|b\tc", "c:a|b"},  {"|", "\\t", "a|c", "c\ta"},
            {"\\\\", "\\\\", "a\\c", "c\\a"}, {"\\\\t", ":", "a\\tc\tx", "c\tx:a"},
            {"\\n", "\\", "a\\nc", "c\\a"},   {"§", "·", "caf\xc3\xa9§ü", "ü·café"},
        };
        for (const EscapeRow& row : rows) {
            box("SplitChar")->setText(row.split);
            box("FieldSep")->setText(row.join);
            rip(file("s.txt", row.source), "2,1");
            QCOMPARE(listed(), QStringList{row.result});
        }
    }

    // From inside the rip: the four buttons off (switched in their order), the
    // count from the first non-empty line on, the list hidden exactly when
    // Check3 was checked at the start. The focus goes back to "Rip".
    void duringRip() {
        for (const bool hide : {false, true}) {
            open();
            EnableLog order;
            for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"})
                control(*window_, name)->installEventFilter(&order);
            QWidget* dorip = control(*window_, "Dorip");
            dorip->setFocus();
            check("Check3")->setChecked(hide);
            QStringList seen;
            rip(file("s.txt", "\r\n" + numberedLines(2)), "1", [&](int pass) {
                seen << QStringLiteral("%1 %2 %3 %4")
                            .arg(buttonsOn())
                            .arg(int{control(*window_, "List1")->isVisible()})
                            .arg(int{QApplication::focusWidget() == dorip})
                            .arg(status());
                if (pass == 2) check("Check3")->click();  // too late for this rip
            });
            const QString during = hide ? "0 0 0 " : "0 1 0 ";
            QCOMPARE(seen, (QStringList{during, during, during + "1 values ripped"}));
            QCOMPARE(order.log, (QStringList{"-Loadfile", "-Dorip", "-Command1", "-Saverip",
                                             "+Loadfile", "+Dorip", "+Command1", "+Saverip"}));
            QVERIFY(control(*window_, "List1")->isVisible());
            QCOMPARE(QApplication::focusWidget(), dorip);
            QCOMPARE(status(), QStringLiteral("2 values ripped"));
        }
    }

    // A setting changed between two lines applies from the next line on.
    // Nothing starts another rip meanwhile, nor a load or a save: not a
    // direct call, not the buttons' keys.
    void reentry() {
        rip(file("s.txt", numberedLines(4)), "1,2", [&](int pass) {
            if (pass != 3) return;
            box("FieldSep")->setText("-");
            window_->Dorip_Click();
            for (const char* keys : {"Ctrl+O", "Ctrl+S", "F5"})
                QTest::keySequence(box("RipFields"), QKeySequence(QString::fromLatin1(keys)));
        });
        QCOMPARE(listed(), (QStringList{"a1:b1", "a2:b2", "a3-b3", "a4-b4"}));
        QCOMPARE(status(), QStringLiteral("4 values ripped"));
    }

    // Clicks on Check2 run between two lines; the next line goes where the
    // choice says: the list, the chosen file, or the default one.
    void outputChangedMidRip() {
        open(dir_->path());
        chooseOutfile(path("a.txt"));
        answer(path("b.txt"));
        answer(std::nullopt);
        rip(file("s.txt", numberedLines(5)), "2", [&](int pass) {
            if (pass == 2 || pass >= 4) check("Check2")->click();  // off; on: b.txt; off
            if (pass == 5) check("Check2")->click();               // on, cancelled
        });
        QCOMPARE(readFile(path("a.txt")), QByteArray("b1\r\n"));
        QCOMPARE(listed(), (QStringList{"b2", "b3"}));
        QCOMPARE(readFile(path("b.txt")), QByteArray("b4\r\n"));
        QCOMPARE(dialogs_.shown.size(), 3);
        QCOMPARE(readFile(QDir(dir_->path()).canonicalPath() + "/tmpresult.txt"), "b5\r\n");
    }

    // The status line names the file and the cause; what was ripped stays,
    // and the window is usable again.
    void failure() {
        check("Check3")->setChecked(true);
        rip(path("missing.txt"), "1");
        QVERIFY(status().contains("missing.txt") && status().contains(std::strerror(ENOENT)));
        QCOMPARE(statu()->toolTip(), status());
        rip(file("s.txt", numberedLines(3)), "1", [&](int pass) {
            if (pass == 3) chooseOutfile("/dev/full");
        });
        QVERIFY(status().contains("/dev/full") && status().contains("line 3"));
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
        QCOMPARE(buttonsOn(), 4);
        QVERIFY(control(*window_, "List1")->isVisible());
    }

    // Escape stops the rip before the next line, in either mode; idle, it
    // does nothing. Closing the window stops it the same way, output flushed.
    void escapeAndClose() {
        const QString out = file("out.txt", "0\r\n");
        chooseOutfile(out);
        auto stopAt = [&](int at, bool close) {
            return rip(path("s.txt"), "2", [&](int pass) {
                if (pass == at && close) window_->close();
                if (pass == at && !close) QTest::keyClick(window_.get(), Qt::Key_Escape);
            });
        };
        file("s.txt", numberedLines(9));
        QCOMPARE(stopAt(3, false), 3);
        check("Check2")->click();
        QCOMPARE(stopAt(2, false), 2);
        QCOMPARE(listed(), QStringList{"b1"});
        QCOMPARE(status(), QStringLiteral("1 values ripped (stopped)"));
        QCOMPARE(buttonsOn(), 4);
        QTest::keyClick(box("RipFields"), Qt::Key_Escape);
        QCOMPARE(status(), QStringLiteral("1 values ripped (stopped)"));
        chooseOutfile(out);
        QCOMPARE(stopAt(2, true), 2);
        QVERIFY(!window_->isVisible());
        QCOMPARE(readFile(out), QByteArray("0\r\nb1\r\nb2\r\nb1\r\n"));
    }
};

QTEST_MAIN(RipTest)
#include "rip_test.moc"
