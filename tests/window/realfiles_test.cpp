// The window with real files: a source never written into, a list never
// lost unasked, legacy text legible, long work and long text visible, and a
// window that fits its screen.
#include <QClipboard>
#include <QHelpEvent>
#include <QProgressBar>
#include <QStackedWidget>
#include <QToolTip>

#include "elidinglabel.h"
#include "windowtest.h"

using namespace kolvane::test;

class RealFilesTest : public QObject, WindowFixture {
    Q_OBJECT

    // The tooltip a control would show at `at`, else at its centre.
    QString tipAt(QWidget* widget, std::optional<QPoint> at = {}) {
        const QPoint where = at.value_or(widget->rect().center());
        QHelpEvent help(QEvent::ToolTip, where, widget->mapToGlobal(where));
        QApplication::sendEvent(widget, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // File to file into the source itself, by its name, a symbolic or a hard
    // link: no rip; the list and the file stay as they were. Check2's dialog
    // appends (no question about replacing), Save's replaces.
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
            check("Check2")->click();
        }
        answer(path("saved.txt"));
        click("Saverip");
        QCOMPARE(dialogs_.shown.first(), "append ");
        QCOMPARE(dialogs_.shown.last(), "save " + path("hard.txt"));
    }

    // A source that cannot be opened leaves the list as it was.
    void typoKeepsTheList() {
        rip(file("s.txt", numberedLines(2)), "1");
        rip(path("s.txt.typo"), "1");
        QVERIFY(status().contains("s.txt.typo"));
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
    }

    // Not UTF-8, a line shows as Windows-1252 in the list, the clipboard, the
    // preview and its tooltip; valid UTF-8 as UTF-8. The bytes stay (Save).
    void legacyText() {
        const QString source = file("s.txt", "caf\xe9|\x80 5\r\n\xc3\xa9t\xc3\xa9|x\r\n");
        rip(source, "2,1");
        QCOMPARE(listed(), (QStringList{"\u20ac 5:caf\u00e9", "x:\u00e9t\u00e9"}));
        auto* list = control<QListView>(*window_, "List1");
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keySequence(list, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), "\u20ac 5:caf\u00e9");
        window_->loadSource(source);
        QCOMPARE(text("Text2"), "caf\u00e9|\u20ac 5");
        QVERIFY(box("Text2")->toolTip().contains("[1] caf\u00e9"));
        QVERIFY(box("Text2")->toolTip().contains("<b>\u20ac 5:caf\u00e9</b>"));
    }

    // Enter loads the typed path as the open dialog does; an edit drops the
    // last file's line, so ">>" starts the new file at line 1.
    void pathBox() {
        window_->loadSource(file("a.txt", "a1\r\na2\r\n"));
        click("Command1");
        box("Text1")->clear();
        QTest::keyClicks(box("Text1"), file("b.txt", "b1\r\nb2\r\n"));
        QCOMPARE(text("Text2"), QString());
        QVERIFY(!box("Text2")->toolTip().contains("a2"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("b1"));
        click("Command1");
        QTest::keyClick(box("Text1"), Qt::Key_Return);
        QCOMPARE(text("Text2"), QStringLiteral("b1"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("b2"));
    }

    // Closing asks once while the list holds results not saved since the
    // last rip: Cancel keeps the window, Save saves first, Discard closes.
    void unsavedResults() {
        int asked = 0;
        auto reply = QMessageBox::Cancel;
        kolvane::WindowServices services;
        services.askUnsaved = [&](QWidget*) { return ++asked, reply; };
        open({}, std::move(services));
        QVERIFY(window_->close());  // empty list
        window_->show();
        rip(file("s.txt", numberedLines(2)), "1");
        QVERIFY(!window_->close());
        reply = QMessageBox::Save;
        answer(path("saved.txt"));
        QVERIFY(window_->close());
        QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\n"));
        window_->show();
        QVERIFY(window_->close());  // saved since
        window_->show();
        rip(path("s.txt"), "2");
        reply = QMessageBox::Discard;
        QVERIFY(window_->close());
        window_->show();
        chooseOutfile(path("out.txt"));
        rip(path("s.txt"), "2");
        QVERIFY(window_->close());  // file to file: nothing in the list
        QCOMPARE(asked, 3);
    }

    // After 300 ms of ripping, a bar with its percentage and "Stop" in the
    // place of "Save"; Stop ends the rip as Escape does; both go at the end.
    void longWork() {
        auto clock = std::chrono::steady_clock::now();
        kolvane::WindowServices services;
        services.pump.now = [&] { return clock; };
        open({}, std::move(services));
        auto* bar = control<QProgressBar>(*window_, "RipProgress");
        auto* stop = control<QPushButton>(*window_, "Stop");
        const QRect check2 = control(*window_, "Check2")->geometry();
        QStringList seen;
        rip(file("s.txt", numberedLines(6)), "1", [&](int pass) {
            seen << QStringLiteral("%1%2").arg(int{bar->isVisible()}).arg(int{stop->isVisible()});
            clock += std::chrono::milliseconds(100);
            if (pass == 5) stop->click();
        });
        QCOMPARE(seen, (QStringList{"00", "00", "00", "11", "11"}));
        QVERIFY(bar->text().endsWith('%'));
        QCOMPARE(control(*window_, "Check2")->geometry(), check2);
        QCOMPARE(status(), QStringLiteral("4 values ripped (stopped)"));
        QVERIFY(!bar->isVisible() && !stop->isVisible());
        QVERIFY(control(*window_, "Saverip")->isVisible());
    }

    // The preview shows the start of a long line and says which line it is;
    // a list row cut short and a status line cut short show whole in their
    // tooltips, a screenful at most.
    void longText() {
        const QByteArray wide = "start|" + QByteArray(5000, 'x');
        window_->loadSource(file("s.txt", "one\r\n" + wide + "\r\n"));
        click("Command1");
        QCOMPARE(box("Text2")->cursorPosition(), 0);
        QVERIFY(box("Text2")->toolTip().startsWith("<p>Line 2 of the source file</p>"));
        rip(path("s.txt"), "1,2");
        auto* list = control<QListView>(*window_, "List1");
        auto rowAt = [&](int row) {
            return list->visualRect(list->model()->index(row, 0)).center();
        };
        QCOMPARE(tipAt(list->viewport(), rowAt(0)), QString());  // "one:" fits
        const QString rowTip = tipAt(list->viewport(), rowAt(1));
        QVERIFY(rowTip.startsWith("start:xxx") && rowTip.count('\n') < 60 && rowTip.size() < 3000);
        rip(path(QString(200, 'm')), "1");
        auto* statusLine = control<kolvane::ElidingLabel>(*window_, "Statu");
        QVERIFY(statusLine->elided());
        QVERIFY(tipAt(statusLine).startsWith(status()));
    }

    // Too big for the screen, the window shrinks to it, never below its
    // smallest, and never starts off the screen's top or left. Typing in the
    // list searches nothing.
    void fitsTheScreen() {
        const QRect screen(0, 0, 640, 400);
        QCOMPARE(kolvane::fitOnScreen({677, 596}, {600, 300}, screen), QRect(0, 0, 640, 400));
        QCOMPARE(kolvane::fitOnScreen({677, 596}, {600, 500}, screen), QRect(0, 0, 640, 500));
        QCOMPARE(kolvane::fitOnScreen({677, 596}, {600, 300}, {0, 0, 1920, 1080}),
                 QRect(621, 242, 677, 596));
        rip(file("s.txt", "b\r\na\r\n"), "1");
        auto* list = control<QListView>(*window_, "List1");
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClicks(list, "a");
        QCOMPARE(list->currentIndex().row(), 0);
    }
};

QTEST_MAIN(RealFilesTest)
#include "realfiles_test.moc"
