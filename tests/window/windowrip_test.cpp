// "Rip" in the window: results and status, the buttons and the list during a
// run, settings changed mid-run, failures, closing mid-run.
#include <cerrno>
#include <cstring>

#include "windowtest.h"

using namespace kolvane::test;

namespace {

// Records the order in which buttons are disabled and enabled.
class EnableLog : public QObject {
  public:
    QStringList log;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            auto* widget = static_cast<QWidget*>(watched);
            log << (widget->isEnabled() ? "+" : "-") + widget->objectName();
        }
        return false;
    }
};

// Rows: the source, split string, fields, field separator, smartcombine,
// skip rule; the list and the status line after the rip.
using RipRow = std::tuple<QByteArray, QString, QString, QString, bool, bool, QStringList, QString>;
// Rows: smartcombine, fields; the box edited before line 8 and its new text;
// the results before and after, %1 the line number.
using MidRipRow = std::tuple<bool, QString, const char*, QString, QString, QString>;

}  // namespace

class WindowRipTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The engine's own tests cover ripping; these rows are about what the
    // window reads from its controls and shows. Each is the second rip of the
    // window: it replaces the first one's list, and one that sees no
    // non-empty line leaves the status line alone.
    void results_data() {
        QTest::addColumn<RipRow>("row");
        const QByteArray abcd = "a|b|c|d\r\nw|x|y|z\r\n";
        const QString utf8 = QStringLiteral("\u00fc\u00b7caf\u00e9");
        const QString invalid(2, QChar::ReplacementCharacter);
        // clang-format off
        QTest::newRow("fields 4,2") << RipRow{abcd, "|", "4,2", "-", false, false, {"d-b", "z-x"}, "2 values ripped"};
        QTest::newRow("split of two, LF, CR, empty lines") << RipRow{"a::1\nb::2\r\r\nc::3", "::", "2", ":", false, false, {"1", "2", "3"}, "3 values ripped"};
        QTest::newRow("UTF-8 settings and text") << RipRow{"caf\xc3\xa9\xc2\xa7\xc3\xbc\r\n", "\xc2\xa7", "2,1", "\xc2\xb7", false, false, {utf8}, "1 values ripped"};
        QTest::newRow("invalid UTF-8 shown as U+FFFD") << RipRow{"\xff\xfe|x\r\n", "|", "1", ":", false, false, {invalid}, "1 values ripped"};
        QTest::newRow("no field list: empty results") << RipRow{abcd, "|", "", ":", false, false, {"", ""}, "2 values ripped"};
        QTest::newRow("template") << RipRow{"a|b|c\r\nx|y\r\n", "|", "[2]-[1] [3]", ":", true, false, {"b-a c", "y-x [3]"}, "2 values ripped"};
        QTest::newRow("skip rule") << RipRow{"a||c\r\nx|y|z\r\n", "|", "2", ":", false, true, {"y"}, "1 values ripped"};
        QTest::newRow("skip rule: all skipped, zero said") << RipRow{"a||c\r\n", "|", "2", ":", false, true, {}, "0 values ripped"};
        QTest::newRow("empty file") << RipRow{"", "|", "1", ":", false, false, {}, "3 values ripped"};
        QTest::newRow("only line ends") << RipRow{"\r\n\n\r\r\n", "|", "1", ":", false, false, {}, "3 values ripped"};
        // In the separator boxes \t is a tab and \\ one backslash, nothing else.
        QTest::newRow("\\t splits at a tab") << RipRow{"a|b\tc", "\\t", "2,1", ":", false, false, {"c:a|b"}, "1 values ripped"};
        QTest::newRow("\\t joins with a tab") << RipRow{"a|c", "|", "2,1", "\\t", false, false, {"c\ta"}, "1 values ripped"};
        QTest::newRow("\\\\ is one backslash") << RipRow{"a\\c", "\\\\", "2,1", "\\\\", false, false, {"c\\a"}, "1 values ripped"};
        QTest::newRow("\\\\t: backslash, t") << RipRow{"a\\tc\tx", "\\\\t", "2,1", ":", false, false, {"c\tx:a"}, "1 values ripped"};
        QTest::newRow("other backslashes stay") << RipRow{"a\\nc", "\\n", "2,1", "\\", false, false, {"c\\a"}, "1 values ripped"};
        // clang-format on
    }

    void results() {
        QFETCH(RipRow, row);
        const auto& [source, split, fields, join, smart, skip, expected, statusText] = row;
        rip(file("first.txt", numberedLines(3)), "");
        QCOMPARE(status(), QStringLiteral("3 values ripped"));
        box("SplitChar")->setText(split);
        box("FieldSep")->setText(join);
        check("Check4")->setChecked(smart);
        check("Check1")->setChecked(skip);
        rip(file("s.txt", source), fields);
        QCOMPARE(listed(), expected);
        QCOMPARE(status(), statusText);
        QCOMPARE(window_->ripState().Ripcount, expected.size());
        QCOMPARE(buttonsOn(), 4);
    }

    void duringRip_data() {
        QTest::addColumn<bool>("checkedAtStart");
        QTest::addColumn<bool>("toggledMidRip");
        QTest::newRow("Check3 checked") << true << false;
        QTest::newRow("Check3 checked, then unchecked mid-rip") << true << true;
        QTest::newRow("Check3 unchecked") << false << false;
        QTest::newRow("Check3 unchecked, then checked mid-rip") << false << true;
    }

    // Seen from inside the rip: the four buttons off (and switched in their
    // order), every other control on, the count from the first non-empty line
    // on, the list hidden exactly when Check3 was checked at the start. The
    // disabled "Rip" sent the focus on; it gets it back at the end.
    void duringRip() {
        QFETCH(bool, checkedAtStart);
        QFETCH(bool, toggledMidRip);
        EnableLog order;
        for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
            control<QPushButton>(*window_, name)->installEventFilter(&order);
        }
        auto* list = control<QListView>(*window_, "List1");
        auto* dorip = control<QPushButton>(*window_, "Dorip");
        check("Check3")->setChecked(checkedAtStart);
        int onDuring = 0;
        QStringList disabledOthers;
        QStringList statusSeen;
        QList<bool> visible;
        bool focusOnRip = false;
        const int passes = rip(file("s.txt", numberedLines(4)), "1", [&](int pass) {
            onDuring += buttonsOn();
            for (QWidget* widget : window_->findChildren<QWidget*>()) {
                if (!qobject_cast<QPushButton*>(widget) && !widget->isEnabled()) {
                    disabledOthers << widget->objectName();
                }
            }
            statusSeen << status();
            visible << list->isVisible();
            focusOnRip = focusOnRip || QApplication::focusWidget() == dorip;
            if (pass == 2 && toggledMidRip) check("Check3")->click();
        });
        QCOMPARE(passes, 4);
        QCOMPARE(onDuring, 0);
        QCOMPARE(disabledOthers, QStringList());
        QCOMPARE(statusSeen,
                 (QStringList{"", "1 values ripped", "2 values ripped", "3 values ripped"}));
        QCOMPARE(visible, QList<bool>(4, !checkedAtStart));
        QCOMPARE(order.log, (QStringList{"-Loadfile", "-Dorip", "-Command1", "-Saverip",
                                         "+Loadfile", "+Dorip", "+Command1", "+Saverip"}));
        QCOMPARE(status(), QStringLiteral("4 values ripped"));
        QVERIFY(list->isVisible());
        QVERIFY(!focusOnRip);
        QCOMPARE(QApplication::focusWidget(), dorip);
        QCOMPARE(check("Check3")->isChecked(), checkedAtStart != toggledMidRip);
    }

    void settingChangedMidRip_data() {
        QTest::addColumn<MidRipRow>("row");
        // clang-format off
        QTest::newRow("new field separator") << MidRipRow{false, "1,2", "FieldSep", "-", "a%1:b%1", "a%1-b%1"};
        QTest::newRow("new template") << MidRipRow{true, "[1]", "RipFields", "<[3]>", "a%1", "<c%1>"};
        QTest::newRow("new split string") << MidRipRow{false, "2", "SplitChar", "b", "b%1", "%1|c%1"};
        QTest::newRow("field list parsed only at the start") << MidRipRow{false, "1", "RipFields", "2", "a%1", "a%1"};
        // clang-format on
    }

    // Every line is built with one set of settings: the old ones up to the
    // event pass, the new ones from the next line on.
    void settingChangedMidRip() {
        QFETCH(MidRipRow, row);
        const auto& [smart, fields, edited, newText, before, after] = row;
        check("Check4")->setChecked(smart);
        int changedAfter = -1;
        rip(file("s.txt", numberedLines(20)), fields, [&](int pass) {
            if (pass != 8) return;
            changedAfter = static_cast<int>(listed().size());
            box(edited)->setText(newText);
        });
        QCOMPARE(changedAfter, 7);
        QStringList expected;
        for (int line = 1; line <= 20; ++line) expected << (line <= 7 ? before : after).arg(line);
        QCOMPARE(listed(), expected);
    }

    void failure_data() {
        // File to file into /dev/full from the start (0), from pass n, or never (-1).
        QTest::addColumn<QString>("source");  // in the temporary folder
        QTest::addColumn<int>("toFullAt");
        QTest::addColumn<QStringList>("mentions");
        QTest::addColumn<QStringList>("kept");
        const QString enospc = std::strerror(ENOSPC);
        // clang-format off
        QTest::newRow("empty Text1") << QString() << -1 << QStringList{"no source file given"} << QStringList{};
        QTest::newRow("missing file") << "missing.txt" << -1 << QStringList{"missing.txt", std::strerror(ENOENT)} << QStringList{};
        QTest::newRow("a directory") << "." << -1 << QStringList{std::strerror(EISDIR)} << QStringList{};
        QTest::newRow("write error") << "s.txt" << 0 << QStringList{"/dev/full", enospc, "line 1"} << QStringList{};
        QTest::newRow("write error keeps the list") << "s.txt" << 3 << QStringList{"/dev/full", "line 3"} << QStringList{"a1", "a2"};
        // clang-format on
    }

    // The status line names the cause; what was ripped stays, and the window
    // is usable again: buttons on, list shown, the next rip works.
    void failure() {
        QFETCH(QString, source);
        QFETCH(int, toFullAt);
        QFETCH(QStringList, mentions);
        QFETCH(QStringList, kept);
        file("s.txt", numberedLines(3));
        check("Check3")->setChecked(true);
        window_->ripState().Outfile = "/dev/full";
        check("Check2")->setChecked(toFullAt == 0);
        rip(source.isEmpty() ? QString() : path(source), "1", [&](int pass) {
            if (pass == toFullAt) check("Check2")->setChecked(true);
        });
        for (const QString& part : mentions)
            QVERIFY2(status().contains(part), qPrintable(status()));
        QCOMPARE(listed(), kept);
        QCOMPARE(buttonsOn(), 4);
        QVERIFY(control<QListView>(*window_, "List1")->isVisible());

        check("Check2")->setChecked(false);
        rip(path("s.txt"), "1");
        QCOMPARE(listed(), (QStringList{"a1", "a2", "a3"}));
        QCOMPARE(status(), QStringLiteral("3 values ripped"));
    }

    // The rip ends at the pass where the window closed, with its output
    // flushed, and nothing touches the window afterwards.
    void closeDuringRip() {
        setOutfile(path("out.txt"));
        check("Check2")->setChecked(true);
        int passesAfterClose = -1;
        rip(file("s.txt", numberedLines(40)), "1", [&](int pass) {
            if (pass == 10) window_->close();
            if (pass > 10) ++passesAfterClose;
        });
        QVERIFY(!window_->isVisible());
        QVERIFY(!window_->ripping());
        QCOMPARE(passesAfterClose, -1);
        QByteArray expected;
        for (int line = 1; line <= 9; ++line) expected += "a" + QByteArray::number(line) + "\r\n";
        QCOMPARE(readFile(path("out.txt")), expected);
        QCOMPARE(window_->ripState().Ripcount, 9);
    }

    // The list's store keeps an item's bytes for saving, whatever it shows.
    void bytesKept() {
        rip(file("s.txt", "\xff\xfe|x\r\n"), "1");
        const QModelIndex item = control<QListView>(*window_, "List1")->model()->index(0, 0);
        QCOMPARE(item.data(kolvane::ResultModel::BytesRole).toByteArray(), QByteArray("\xff\xfe"));
    }
};

QTEST_MAIN(WindowRipTest)
#include "windowrip_test.moc"
