// "Rip" in the window: results in the list, the status line, the buttons and
// the list during a run, settings changed mid-run, failures, closing mid-run.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>

#include "windowtest.h"

using kolvane::MainWindow;
using kolvane::test::control;
using kolvane::test::DuringRip;
using kolvane::test::items;
using kolvane::test::numberedLines;
using kolvane::test::writeFile;

namespace {

// Types the path into Text1 as a user would, sets the settings, clicks "Rip";
// the rip has ended when this returns.
void rip(MainWindow& window, const QString& path) {
    auto* text1 = control<QLineEdit>(window, "Text1");
    text1->clear();
    QTest::keyClicks(text1, path);
    QTest::mouseClick(control<QPushButton>(window, "Dorip"), Qt::LeftButton);
}

QString status(MainWindow& window) {
    return control<QLabel>(window, "Statu")->text();
}

bool buttonsEnabled(MainWindow& window) {
    for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
        if (!control<QPushButton>(window, name)->isEnabled()) return false;
    }
    return true;
}

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

}  // namespace

class WindowRipTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void results_data();
    void results();
    void twoRipsInARow();
    void buttonsDuringRip();
    void hideList_data();
    void hideList();
    void settingChangedMidRip_data();
    void settingChangedMidRip();
    void fileModeSwitchedOnMidRip();
    void noNonEmptyLine_data();
    void noNonEmptyLine();
    void failure_data();
    void failure();
    void writeErrorKeepsEarlierResults();
    void closeDuringRip();
    void bytesKeptExactly();

  private:
    QString path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    kolvane::test::ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
};

void WindowRipTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    window_ = std::make_unique<MainWindow>(dialogs_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void WindowRipTest::results_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("split");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("join");
    QTest::addColumn<bool>("smart");
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("statusText");

    // The engine's own tests cover ripping; these rows are about what the
    // window reads from its controls and shows.
    const QByteArray abcd = "a|b|c|d\r\nw|x|y|z\r\n";
    QTest::newRow("fields 4,2") << abcd << "|"
                                << "4,2"
                                << "-" << false << false << QStringList{"d-b", "z-x"}
                                << "2 values ripped";
    QTest::newRow("multi-character split string, LF, CR, empty lines")
        << QByteArray("a::1\nb::2\r\r\nc::3") << "::"
        << "2"
        << ":" << false << false << QStringList{"1", "2", "3"} << "3 values ripped";
    QTest::newRow("UTF-8 settings and text")
        << QByteArray("caf\xc3\xa9\xc2\xa7\xc3\xbc\r\n") << "\xc2\xa7"
        << "2,1"
        << "\xc2\xb7" << false << false
        << QStringList{QString::fromUtf8("\xc3\xbc\xc2\xb7"
                                         "caf\xc3\xa9")}
        << "1 values ripped";
    QTest::newRow("no field list yet: an empty result per line")
        << abcd << "|"
        << ""
        << ":" << false << false << QStringList{"", ""} << "2 values ripped";
    QTest::newRow("template") << QByteArray("a|b|c\r\nx|y\r\n") << "|"
                              << "[2]-[1] [3]"
                              << ":" << true << false << QStringList{"b-a c", "y-x [3]"}
                              << "2 values ripped";
    QTest::newRow("skip rule: one line skipped")
        << QByteArray("a||c\r\nx|y|z\r\n") << "|"
        << "2"
        << ":" << false << true << QStringList{"y"} << "1 values ripped";
    QTest::newRow("skip rule: every line skipped still counts aloud")
        << QByteArray("a||c\r\n") << "|"
        << "2"
        << ":" << false << true << QStringList{} << "0 values ripped";
}

void WindowRipTest::results() {
    QFETCH(QByteArray, source);
    QFETCH(QString, split);
    QFETCH(QString, fields);
    QFETCH(QString, join);
    QFETCH(bool, smart);
    QFETCH(bool, skip);
    QFETCH(QStringList, expected);
    QFETCH(QString, statusText);

    MainWindow& window = *window_;
    control<QLineEdit>(window, "SplitChar")->setText(split);
    control<QLineEdit>(window, "RipFields")->setText(fields);
    control<QLineEdit>(window, "FieldSep")->setText(join);
    control<QCheckBox>(window, "Check4")->setChecked(smart);
    control<QCheckBox>(window, "Check1")->setChecked(skip);
    rip(window, writeFile(path("source.txt"), source));

    QCOMPARE(items(window), expected);
    QCOMPARE(status(window), statusText);
    QVERIFY(buttonsEnabled(window));
}

void WindowRipTest::twoRipsInARow() {
    MainWindow& window = *window_;
    control<QLineEdit>(window, "RipFields")->setText("1");
    rip(window, writeFile(path("one.txt"), "a|1\r\nb|2\r\nc|3\r\n"));
    QCOMPARE(items(window), (QStringList{"a", "b", "c"}));
    rip(window, writeFile(path("two.txt"), "x|1\r\ny|2\r\n"));
    QCOMPARE(items(window), (QStringList{"x", "y"}));
    QCOMPARE(status(window), QStringLiteral("2 values ripped"));
    QCOMPARE(window.ripState().Ripcount, 2);
}

void WindowRipTest::buttonsDuringRip() {
    MainWindow& window = *window_;
    EnableLog order;
    for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
        control<QPushButton>(window, name)->installEventFilter(&order);
    }
    bool buttonsOff = true;
    QStringList disabledOthers;
    QStringList statusSeen;
    DuringRip during(window, [&](int) {
        buttonsOff = buttonsOff && !control<QPushButton>(window, "Loadfile")->isEnabled() &&
                     !control<QPushButton>(window, "Dorip")->isEnabled() &&
                     !control<QPushButton>(window, "Command1")->isEnabled() &&
                     !control<QPushButton>(window, "Saverip")->isEnabled();
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (!qobject_cast<QPushButton*>(widget) && !widget->isEnabled()) {
                disabledOthers << widget->objectName();
            }
        }
        statusSeen << status(window);
    });
    control<QLineEdit>(window, "RipFields")->setText("1");
    rip(window, writeFile(path("s.txt"), numberedLines(4)));

    QCOMPARE(during.passes(), 4);
    QVERIFY(buttonsOff);
    QCOMPARE(disabledOthers, QStringList());
    // The count is shown from the first non-empty line on, never before.
    QCOMPARE(statusSeen,
             (QStringList{"", "1 values ripped", "2 values ripped", "3 values ripped"}));
    QCOMPARE(order.log, (QStringList{"-Loadfile", "-Dorip", "-Command1", "-Saverip", "+Loadfile",
                                     "+Dorip", "+Command1", "+Saverip"}));
    QVERIFY(buttonsEnabled(window));
    QCOMPARE(status(window), QStringLiteral("4 values ripped"));
}

void WindowRipTest::hideList_data() {
    QTest::addColumn<bool>("checkedAtStart");
    QTest::addColumn<bool>("toggledMidRip");
    QTest::newRow("checked") << true << false;
    QTest::newRow("checked, then unchecked mid-rip") << true << true;
    QTest::newRow("unchecked") << false << false;
    QTest::newRow("unchecked, then checked mid-rip") << false << true;
}

void WindowRipTest::hideList() {
    QFETCH(bool, checkedAtStart);
    QFETCH(bool, toggledMidRip);
    MainWindow& window = *window_;
    auto* check3 = control<QCheckBox>(window, "Check3");
    auto* list = control<QListView>(window, "List1");
    check3->setChecked(checkedAtStart);
    QList<bool> visible;
    DuringRip during(window, [&](int pass) {
        visible << list->isVisible();
        if (pass == 2 && toggledMidRip) check3->click();
    });
    rip(window, writeFile(path("s.txt"), numberedLines(4)));

    QCOMPARE(visible, QList<bool>(4, !checkedAtStart));
    QVERIFY(list->isVisible());
    QCOMPARE(check3->isChecked(), checkedAtStart != toggledMidRip);
}

void WindowRipTest::settingChangedMidRip_data() {
    QTest::addColumn<bool>("smart");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("edited");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<QString>("before");  // %1 is the line number
    QTest::addColumn<QString>("after");

    QTest::newRow("new field separator") << false << "1,2"
                                         << "FieldSep"
                                         << "-"
                                         << "a%1:b%1"
                                         << "a%1-b%1";
    QTest::newRow("new template") << true << "[1]"
                                  << "RipFields"
                                  << "<[3]>"
                                  << "a%1"
                                  << "<c%1>";
    QTest::newRow("new split string") << false << "2"
                                      << "SplitChar"
                                      << "b"
                                      << "b%1"
                                      << "%1|c%1";
    QTest::newRow("the field list is parsed only at the start") << false << "1"
                                                                << "RipFields"
                                                                << "2"
                                                                << "a%1"
                                                                << "a%1";
}

void WindowRipTest::settingChangedMidRip() {
    QFETCH(bool, smart);
    QFETCH(QString, fields);
    QFETCH(QString, edited);
    QFETCH(QString, newText);
    QFETCH(QString, before);
    QFETCH(QString, after);
    constexpr int kLines = 20;
    MainWindow& window = *window_;
    control<QCheckBox>(window, "Check4")->setChecked(smart);
    control<QLineEdit>(window, "RipFields")->setText(fields);
    auto* box = window.findChild<QLineEdit*>(edited);
    QVERIFY(box);
    int changedAfter = -1;
    DuringRip during(window, [&](int pass) {
        if (pass != 8) return;
        changedAfter = control<QListView>(window, "List1")->model()->rowCount();
        box->setText(newText);
    });
    rip(window, writeFile(path("s.txt"), numberedLines(kLines)));

    // Every line is built with one set of settings: the old ones up to the
    // event pass, the new ones from the next line on.
    QCOMPARE(changedAfter, 7);
    QStringList expected;
    for (int line = 1; line <= kLines; ++line) {
        expected << (line <= changedAfter ? before : after).arg(line);
    }
    QCOMPARE(items(window), expected);
}

void WindowRipTest::fileModeSwitchedOnMidRip() {
    MainWindow& window = *window_;
    const QString out = path("out.txt");
    window.ripState().Outfile = QFile::encodeName(out).toStdString();
    control<QLineEdit>(window, "RipFields")->setText("2");
    DuringRip during(window, [&](int pass) {
        if (pass == 4) control<QCheckBox>(window, "Check2")->setChecked(true);
    });
    rip(window, writeFile(path("s.txt"), numberedLines(6)));

    QCOMPARE(items(window), (QStringList{"b1", "b2", "b3"}));
    QCOMPARE(kolvane::test::readFile(out), QByteArray("b4\r\nb5\r\nb6\r\n"));
    QCOMPARE(status(window), QStringLiteral("6 values ripped"));
}

void WindowRipTest::noNonEmptyLine_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("only line ends") << QByteArray("\r\n\n\r\r\n");
}

void WindowRipTest::noNonEmptyLine() {
    QFETCH(QByteArray, source);
    MainWindow& window = *window_;
    control<QLineEdit>(window, "RipFields")->setText("1");
    rip(window, writeFile(path("full.txt"), numberedLines(3)));
    QCOMPARE(status(window), QStringLiteral("3 values ripped"));

    rip(window, writeFile(path("empty.txt"), source));
    QCOMPARE(items(window), QStringList());
    QCOMPARE(status(window), QStringLiteral("3 values ripped"));
    QCOMPARE(window.ripState().Ripcount, 0);
    QVERIFY(buttonsEnabled(window));
}

void WindowRipTest::failure_data() {
    QTest::addColumn<QString>("source");  // relative to the temporary folder
    QTest::addColumn<QString>("outfile");
    QTest::addColumn<QStringList>("mentions");

    QTest::newRow("empty Text1") << QString() << QString() << QStringList{"no source file given"};
    QTest::newRow("missing file") << "missing.txt" << QString()
                                  << QStringList{"missing.txt", std::strerror(ENOENT)};
    QTest::newRow("a directory") << "." << QString() << QStringList{std::strerror(EISDIR)};
    QTest::newRow("write error") << "s.txt"
                                 << "/dev/full"
                                 << QStringList{"/dev/full", std::strerror(ENOSPC), "line 1"};
}

void WindowRipTest::failure() {
    QFETCH(QString, source);
    QFETCH(QString, outfile);
    QFETCH(QStringList, mentions);
    MainWindow& window = *window_;
    writeFile(path("s.txt"), numberedLines(3));
    control<QLineEdit>(window, "RipFields")->setText("1");
    control<QCheckBox>(window, "Check3")->setChecked(true);
    if (!outfile.isEmpty()) {
        window.ripState().Outfile = outfile.toStdString();
        control<QCheckBox>(window, "Check2")->setChecked(true);
    }
    rip(window, source.isEmpty() ? QString() : path(source));

    for (const QString& part : mentions) {
        QVERIFY2(status(window).contains(part), qPrintable(status(window)));
    }
    QVERIFY(buttonsEnabled(window));
    QVERIFY(control<QListView>(window, "List1")->isVisible());

    // Still usable: the next rip works.
    control<QCheckBox>(window, "Check2")->setChecked(false);
    rip(window, path("s.txt"));
    QCOMPARE(items(window), (QStringList{"a1", "a2", "a3"}));
    QCOMPARE(status(window), QStringLiteral("3 values ripped"));
}

void WindowRipTest::writeErrorKeepsEarlierResults() {
    MainWindow& window = *window_;
    window.ripState().Outfile = "/dev/full";
    control<QLineEdit>(window, "RipFields")->setText("3");
    DuringRip during(window, [&](int pass) {
        if (pass == 3) control<QCheckBox>(window, "Check2")->setChecked(true);
    });
    rip(window, writeFile(path("s.txt"), numberedLines(5)));

    QCOMPARE(items(window), (QStringList{"c1", "c2"}));
    QVERIFY2(status(window).contains("/dev/full"), qPrintable(status(window)));
    QVERIFY2(status(window).contains("line 3"), qPrintable(status(window)));
    QVERIFY(buttonsEnabled(window));
}

void WindowRipTest::closeDuringRip() {
    constexpr int kLines = 40;
    MainWindow& window = *window_;
    const QString out = path("out.txt");
    window.ripState().Outfile = QFile::encodeName(out).toStdString();
    control<QCheckBox>(window, "Check2")->setChecked(true);
    control<QLineEdit>(window, "RipFields")->setText("1");
    int passesAfterClose = -1;
    DuringRip during(window, [&](int pass) {
        if (pass == 10) window.close();
        if (pass > 10) ++passesAfterClose;
    });
    rip(window, writeFile(path("s.txt"), numberedLines(kLines)));

    // The rip ended at the pass where the window closed, with its output
    // flushed, and the window can go without anything touching it later.
    QVERIFY(!window.isVisible());
    QVERIFY(!window.ripping());
    QCOMPARE(passesAfterClose, -1);
    QByteArray expected;
    for (int line = 1; line <= 9; ++line) expected += QStringLiteral("a%1\r\n").arg(line).toUtf8();
    QCOMPARE(kolvane::test::readFile(out), expected);
    QCOMPARE(window.ripState().Ripcount, 9);
    window_.reset();
}

void WindowRipTest::bytesKeptExactly() {
    MainWindow& window = *window_;
    control<QLineEdit>(window, "RipFields")->setText("1");
    rip(window, writeFile(path("s.txt"), "\xff\xfe|x\r\ncaf\xc3\xa9|y\r\n"));

    QAbstractItemModel* model = control<QListView>(window, "List1")->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(0, 0).data(kolvane::ResultModel::BytesRole).toByteArray(),
             QByteArray("\xff\xfe"));
    QCOMPARE(model->index(0, 0).data().toString(), QString(2, QChar::ReplacementCharacter));
    QCOMPARE(model->index(1, 0).data(kolvane::ResultModel::BytesRole).toByteArray(),
             QByteArray("caf\xc3\xa9"));
    QCOMPARE(model->index(1, 0).data().toString(), QString::fromUtf8("caf\xc3\xa9"));
}

QTEST_MAIN(WindowRipTest)
#include "windowrip_test.moc"
