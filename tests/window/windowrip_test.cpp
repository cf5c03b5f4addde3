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

struct RipCase {
    QByteArray source;
    QString split, fields, join;
    bool smart, skip;
    QStringList expected;
    QString statusText;
};

// A setting edited at the eighth event pass, before line 8.
struct MidRipCase {
    bool smart;
    QString fields;
    const char* edited;  // the box
    QString newText;
    QString before, after;  // results before and after the edit; %1 the line number
};

}  // namespace

Q_DECLARE_METATYPE(RipCase)
Q_DECLARE_METATYPE(MidRipCase)

class WindowRipTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The engine's own tests cover ripping; these rows are about what the
    // window reads from its controls and shows.
    void results_data() {
        QTest::addColumn<RipCase>("c");
        const QByteArray abcd = "a|b|c|d\r\nw|x|y|z\r\n";
        const QString utf8 = QStringLiteral("\u00fc\u00b7caf\u00e9");
        // clang-format off
        QTest::newRow("fields 4,2") << RipCase{abcd, "|", "4,2", "-", false, false, {"d-b", "z-x"}, "2 values ripped"};
        QTest::newRow("split of two, LF, CR, empty lines") << RipCase{"a::1\nb::2\r\r\nc::3", "::", "2", ":", false, false, {"1", "2", "3"}, "3 values ripped"};
        QTest::newRow("UTF-8 settings and text") << RipCase{"caf\xc3\xa9\xc2\xa7\xc3\xbc\r\n", "\xc2\xa7", "2,1", "\xc2\xb7", false, false, {utf8}, "1 values ripped"};
        QTest::newRow("no field list: empty results") << RipCase{abcd, "|", "", ":", false, false, {"", ""}, "2 values ripped"};
        QTest::newRow("template") << RipCase{"a|b|c\r\nx|y\r\n", "|", "[2]-[1] [3]", ":", true, false, {"b-a c", "y-x [3]"}, "2 values ripped"};
        QTest::newRow("skip rule") << RipCase{"a||c\r\nx|y|z\r\n", "|", "2", ":", false, true, {"y"}, "1 values ripped"};
        QTest::newRow("skip rule: all skipped, zero said") << RipCase{"a||c\r\n", "|", "2", ":", false, true, {}, "0 values ripped"};
        // clang-format on
    }

    void results() {
        QFETCH(RipCase, c);
        box("SplitChar")->setText(c.split);
        box("FieldSep")->setText(c.join);
        check("Check4")->setChecked(c.smart);
        check("Check1")->setChecked(c.skip);
        rip(file("s.txt", c.source), c.fields);
        QCOMPARE(listed(), c.expected);
        QCOMPARE(status(), c.statusText);
        QCOMPARE(buttonsOn(), 4);
    }

    // A rip that sees no non-empty line leaves the status line alone.
    void secondRip_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("statusText");
        // clang-format off
        QTest::newRow("two rips in a row") << QByteArray("x|1\r\ny|2\r\n") << QStringList{"x", "y"} << "2 values ripped";
        QTest::newRow("empty file") << QByteArray() << QStringList{} << "3 values ripped";
        QTest::newRow("only line ends") << QByteArray("\r\n\n\r\r\n") << QStringList{} << "3 values ripped";
        // clang-format on
    }

    void secondRip() {
        QFETCH(QByteArray, source);
        QFETCH(QStringList, expected);
        QFETCH(QString, statusText);
        rip(file("one.txt", numberedLines(3)), "1");
        QCOMPARE(status(), QStringLiteral("3 values ripped"));
        rip(file("two.txt", source), "1");
        QCOMPARE(listed(), expected);
        QCOMPARE(status(), statusText);
        QCOMPARE(window_->ripState().Ripcount, expected.size());
        QCOMPARE(buttonsOn(), 4);
    }

    void buttonsDuringRip() {
        EnableLog order;
        for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
            control<QPushButton>(*window_, name)->installEventFilter(&order);
        }
        int onDuring = 0;
        QStringList disabledOthers;
        QStringList statusSeen;
        const int passes = rip(file("s.txt", numberedLines(4)), "1", [&](int) {
            onDuring += buttonsOn();
            for (QWidget* widget : window_->findChildren<QWidget*>()) {
                if (!qobject_cast<QPushButton*>(widget) && !widget->isEnabled()) {
                    disabledOthers << widget->objectName();
                }
            }
            statusSeen << status();
        });
        QCOMPARE(passes, 4);
        QCOMPARE(onDuring, 0);
        QCOMPARE(disabledOthers, QStringList());
        // The count is shown from the first non-empty line on, never before.
        QCOMPARE(statusSeen,
                 (QStringList{"", "1 values ripped", "2 values ripped", "3 values ripped"}));
        QCOMPARE(order.log, (QStringList{"-Loadfile", "-Dorip", "-Command1", "-Saverip",
                                         "+Loadfile", "+Dorip", "+Command1", "+Saverip"}));
        QCOMPARE(status(), QStringLiteral("4 values ripped"));
    }

    void hideList_data() {
        QTest::addColumn<bool>("checkedAtStart");
        QTest::addColumn<bool>("toggledMidRip");
        QTest::newRow("checked") << true << false;
        QTest::newRow("checked, then unchecked mid-rip") << true << true;
        QTest::newRow("unchecked") << false << false;
        QTest::newRow("unchecked, then checked mid-rip") << false << true;
    }

    // Check3 is read once, at the start.
    void hideList() {
        QFETCH(bool, checkedAtStart);
        QFETCH(bool, toggledMidRip);
        auto* list = control<QListView>(*window_, "List1");
        check("Check3")->setChecked(checkedAtStart);
        QList<bool> visible;
        rip(file("s.txt", numberedLines(4)), "1", [&](int pass) {
            visible << list->isVisible();
            if (pass == 2 && toggledMidRip) check("Check3")->click();
        });
        QCOMPARE(visible, QList<bool>(4, !checkedAtStart));
        QVERIFY(list->isVisible());
        QCOMPARE(check("Check3")->isChecked(), checkedAtStart != toggledMidRip);
    }

    void settingChangedMidRip_data() {
        QTest::addColumn<MidRipCase>("c");
        // clang-format off
        QTest::newRow("new field separator") << MidRipCase{false, "1,2", "FieldSep", "-", "a%1:b%1", "a%1-b%1"};
        QTest::newRow("new template") << MidRipCase{true, "[1]", "RipFields", "<[3]>", "a%1", "<c%1>"};
        QTest::newRow("new split string") << MidRipCase{false, "2", "SplitChar", "b", "b%1", "%1|c%1"};
        QTest::newRow("field list parsed only at the start") << MidRipCase{false, "1", "RipFields", "2", "a%1", "a%1"};
        // clang-format on
    }

    // Every line is built with one set of settings: the old ones up to the
    // event pass, the new ones from the next line on.
    void settingChangedMidRip() {
        QFETCH(MidRipCase, c);
        check("Check4")->setChecked(c.smart);
        int changedAfter = -1;
        rip(file("s.txt", numberedLines(20)), c.fields, [&](int pass) {
            if (pass != 8) return;
            changedAfter = static_cast<int>(listed().size());
            box(c.edited)->setText(c.newText);
        });
        QCOMPARE(changedAfter, 7);
        QStringList expected;
        for (int line = 1; line <= 20; ++line)
            expected << (line <= 7 ? c.before : c.after).arg(line);
        QCOMPARE(listed(), expected);
    }

    void failure_data() {
        QTest::addColumn<QString>("source");  // in the temporary folder
        QTest::addColumn<int>("toFullAt");    // the pass that turns on file to file, into /dev/full
        QTest::addColumn<QStringList>("mentions");
        QTest::addColumn<QStringList>("kept");
        const QString enospc = std::strerror(ENOSPC);
        // clang-format off
        QTest::newRow("empty Text1") << QString() << 0 << QStringList{"no source file given"} << QStringList{};
        QTest::newRow("missing file") << "missing.txt" << 0 << QStringList{"missing.txt", std::strerror(ENOENT)} << QStringList{};
        QTest::newRow("a directory") << "." << 0 << QStringList{std::strerror(EISDIR)} << QStringList{};
        QTest::newRow("write error") << "s.txt" << 1 << QStringList{"/dev/full", enospc, "line 1"} << QStringList{};
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

    void bytesKeptExactly() {
        rip(file("s.txt", "\xff\xfe|x\r\n"), "1");
        QCOMPARE(listed(), QStringList{QString(2, QChar::ReplacementCharacter)});
        const QModelIndex item = control<QListView>(*window_, "List1")->model()->index(0, 0);
        QCOMPARE(item.data(kolvane::ResultModel::BytesRole).toByteArray(), QByteArray("\xff\xfe"));
    }
};

QTEST_MAIN(WindowRipTest)
#include "windowrip_test.moc"
