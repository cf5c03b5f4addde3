// The settings the window adds for quoted fields and names, the offer of the
// settings a loaded source seems to want, and what it says is wrong before
// and after a rip. The engine's tests prove the reading of quotes, names and
// formats; these prove what the window makes of them.
#include <QPushButton>

#include "suggestion.h"
#include "windowtest.h"

using namespace kolvane::test;

namespace {

struct RipRow {
    const char* name;
    bool quoted, names, smart;
    QString fields;
    QStringList listed;
};

struct OfferRow {
    const char* name;
    QByteArray bytes;
    QString offer;
    QString split;  // once used
    bool quoted, names;
    QString tip;  // in the preview's tooltip then
};

struct GuessRow {
    const char* name;
    std::string sample, split;
    kolvane::Suggestion offered;
};

struct AgainRow {
    const char* name;
    QString split;
    bool quoted;
    QString offer;  // empty: none
};

struct WarningRow {
    const char* name;
    bool names;
    QString fields, split;
    QString fieldsProblem, splitProblem;  // empty: none
};

}  // namespace

class OptionsTest : public QObject, WindowFixture {
    Q_OBJECT

    bool outlined(QLineEdit* box) { return box->styleSheet().contains(QStringLiteral("red")); }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Quoted values come out unquoted, and a name picks its column; the
    // header line is ripped first, as any line. The names come from the line
    // the rip reads: this source was never loaded.
    void quotedAndNames() {
        const QString source = file("s.csv",
                                    "id;name;mail\r\n"
                                    "1;\"Berg; Anna\";a@x\r\n"
                                    "2;Bo;\"b@x\"\r\n");
        const RipRow rows[] = {
            {"quotes as text",
             false,
             false,
             false,
             "3,2",
             {"mail:name", " Anna\":\"Berg", "\"b@x\":Bo"}},
            {"quoted", true, false, false, "3,2", {"mail:name", "a@x:Berg; Anna", "b@x:Bo"}},
            {"names", true, true, false, "mail, name", {"mail:name", "a@x:Berg; Anna", "b@x:Bo"}},
            {"an unknown name", true, true, false, "mail,Emial", {"mail:", "a@x:", "b@x:"}},
            {"names in a template",
             true,
             true,
             true,
             "[mail] <[name]> [1]",
             {"mail <name> id", "a@x <Berg; Anna> 1", "b@x <Bo> 2"}},
        };
        box("splitEdit")->setText(";");
        for (const RipRow& row : rows) {
            check("quotedCheck")->setChecked(row.quoted);
            check("headerCheck")->setChecked(row.names);
            check("templateCheck")->setChecked(row.smart);
            rip(source, row.fields);
            QVERIFY2(listed() == row.listed, row.name);
        }
        // They follow the smartcombine box in the tab chain, in this order.
        QCOMPARE(check("templateCheck")->nextInFocusChain(), check("quotedCheck"));
        QCOMPARE(check("quotedCheck")->nextInFocusChain(), check("headerCheck"));
        QCOMPARE(check("quotedCheck")->text(), QStringLiteral("Fields may be quoted (\"...\")"));
    }

    // Names wait for a first line that has not come, with the window
    // answering: Escape stops the rip there, which rips nothing.
    void namesFromAStallingSource() {
        HeldFifo fifo(path("fifo"), "id|na");
        check("headerCheck")->setChecked(true);
        QTimer::singleShot(200, window_.get(),
                           [&] { QTest::keyClick(window_.get(), Qt::Key_Escape); });
        rip(path("fifo"), "name");
        fifo.release();
        QCOMPARE(status(), QStringLiteral("0 values ripped (stopped)"));
        QVERIFY(listed().empty());
        QCOMPARE(buttonsOn(), 4);
    }

    // Loading offers what the settings lack and changes nothing until "Use".
    void offer() {
        // Read as the rip reads it: decoded from UTF-16 once, at reading.
        const auto utf16 = [](const QString& text) {
            return QByteArray("\xff\xfe", 2) +
                   QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        const OfferRow rows[] = {
            {"split by ';' and quoted",
             "\"1\";\"Anna Berg\";\"Oslo\"\r\n\"2\";\"Bo\";\"Rome\"\r\n\"3\";\"Cy\";\"Lima\"\r\n",
             "Fields seem to be split by ';' and quoted: use these settings?", ";", true, false,
             "[2] Anna Berg   [3] Oslo"},
            {"tabs and names",
             "id\tname\tcity\r\n1\tAnna\tOslo\r\n2\tBo\tRome\r\n3\tCy\tLima\r\n4\tDi\tBonn\r\n",
             "Fields seem to be split by tabs, and the first line to hold names: use these "
             "settings?",
             "\\t", false, true, "[2] name   [3] city"},
            {"UTF-16", utf16("id;name\r\n1;Anna\r\n2;Bo\r\n3;Cy\r\n"),
             "Fields seem to be split by ';', and the first line to hold names: use these "
             "settings?",
             ";", false, true, "[1] id   [2] name"},
        };
        for (const OfferRow& row : rows) {
            open();
            QWidget* bar = control(*window_, "suggestionBar");
            loadFile(file("s.txt", row.bytes));
            QTRY_VERIFY2(bar->isVisible(), row.name);
            QCOMPARE(control<QLabel>(*window_, "suggestionLabel")->text(), row.offer);
            QCOMPARE(text("splitEdit"), QStringLiteral("|"));
            QVERIFY(!check("quotedCheck")->isChecked() && !check("headerCheck")->isChecked());
            // Taken, it leaves its room, so nothing under it moves.
            const int listAt = list()->mapTo(window_.get(), QPoint()).y();
            click("useSuggestionButton");
            QApplication::processEvents();
            QVERIFY(!bar->isVisible());
            QCOMPARE(list()->mapTo(window_.get(), QPoint()).y(), listAt);
            QCOMPARE(text("splitEdit"), row.split);
            QCOMPARE(check("quotedCheck")->isChecked(), row.quoted);
            QCOMPARE(check("headerCheck")->isChecked(), row.names);
            QVERIFY2(box("previewLine")->toolTip().contains(row.tip), row.name);
        }
    }

    // Dismissed, the offer leaves the settings as they were. After that,
    // settings that meet quoted values with
    // quoted mode off, or a split string that never occurs, bring the fix
    // back with the reason; settings that fit the source do not.
    void offerComesBack() {
        const QByteArray quotedExport =
            "\"1\";\"Berg, Anna\";\"Oslo\"\r\n\"2\";\"Bo\";\"Rome\"\r\n\"3\";\"Cy\";\"Lima\"\r\n";
        const AgainRow rows[] = {
            {"quoted values, quoted mode off", ",", false,
             "Values are in quotes and \"Fields may be quoted\" is off. Fields seem to be split "
             "by ';' and quoted: use these settings?"},
            {"a split string that never occurs", "#", true,
             "The split string '#' occurs in none of the first lines. Fields seem to be split by "
             "';': use this setting?"},
            {"the settings the source wants", ";", true, ""},
            {"a split string that occurs, quoted mode on", ",", true, ""},
        };
        for (const AgainRow& row : rows) {
            open();
            auto* bar = control(*window_, "suggestionBar");
            loadFile(file("s.csv", quotedExport));
            QTRY_VERIFY(bar->isVisible());
            click("dismissSuggestionButton");
            QVERIFY(!bar->isVisible() && text("splitEdit") == "|");
            check("quotedCheck")->setChecked(row.quoted);
            box("splitEdit")->clear();
            QTest::keyClicks(box("splitEdit"), row.split);
            QVERIFY2(bar->isVisible() == !row.offer.isEmpty(), row.name);
            if (row.offer.isEmpty()) continue;
            // Longer than its line, the offer wraps whole rather than being cut.
            auto* label = control<QLabel>(*window_, "suggestionLabel");
            QCOMPARE(label->text(), row.offer);
            QVERIFY(showsWhole(label));
        }
    }

    // What is offered, and when nothing is: the split string in use is the
    // user's as soon as it occurs, and only the usual ones are offered.
    void whatIsOffered() {
        const GuessRow rows[] = {
            {"the split string occurs", "1;a|b;x\n2;c|d;y\n3;e;z\n", "|", {}},
            {"a space is not offered", "ab cd ef\ngh ij kl\nmn op qr\n", "|", {}},
            {"quotes for the split string in use",
             "\"1\",\"Anna\"\n\"2\",\"Bo\"\n\"3\",\"Cy\"\n",
             ",",
             {std::nullopt, true, false, std::nullopt, {}}},
            {"a close runner-up is named",
             "1;3|7\n2;6|14\n3;9|21\n4;12|28\n5;15|35\n",
             ",",
             {";", false, false, "|", {}}},
        };
        for (const GuessRow& row : rows) {
            QVERIFY2(kolvane::suggestFor(kolvane::guessFrom(row.sample), {.split = row.split},
                                         false) == row.offered,
                     row.name);
        }
    }

    // An entry or a split string the window cannot use is outlined and says
    // why; fixed, the box looks and reads as usual again.
    void warnings() {
        loadFile(file("s.txt", "id|name|Email\r\n1|Anna|a@x\r\n"));
        const QString usualFieldsTip = box("fieldsEdit")->toolTip();
        const WarningRow rows[] = {
            {"a word", false, "2,Email", "|",
             "'Email' is not a field number: it gives an empty value", ""},
            {"each once", false, "0,x,0", "|",
             "'0' is not a field number: it gives an empty value\n'x' is not a field number: it "
             "gives an empty value",
             ""},
            {"a known name", true, "Email, 1", "|", "", ""},
            {"an unknown name", true, "Emial,9", "|",
             "'Emial' is not a name in the first line: it gives an empty value", ""},
            {"names apart, a number is a number", true, "-1", "|",
             "'-1' is not a field number: it gives an empty value", ""},
            {"no split string", false, "2,  , 3.4,", "", "",
             "The split string is empty: every line gives one field"},
        };
        for (const WarningRow& row : rows) {
            check("headerCheck")->setChecked(row.names);
            box("fieldsEdit")->setText(row.fields);
            box("splitEdit")->setText(row.split);
            QVERIFY2(outlined(box("fieldsEdit")) == !row.fieldsProblem.isEmpty(), row.name);
            QCOMPARE(box("fieldsEdit")->toolTip(),
                     row.fieldsProblem.isEmpty() ? usualFieldsTip : row.fieldsProblem);
            QVERIFY2(outlined(box("splitEdit")) == !row.splitProblem.isEmpty(), row.name);
            if (!row.splitProblem.isEmpty())
                QCOMPARE(box("splitEdit")->toolTip(), row.splitProblem);
        }
        // Quoted mode reads a quote in the split string no way: outlined, and
        // not ripped; plain mode reads it as any byte.
        box("splitEdit")->setText(",\"");
        check("quotedCheck")->setChecked(true);
        QVERIFY(outlined(box("splitEdit")));
        QCOMPARE(box("splitEdit")->toolTip(),
                 QStringLiteral("In quoted mode the split string cannot hold a double quote"));
        click("ripButton");
        QCOMPARE(status(), QStringLiteral("Not ripped: in quoted mode the split string cannot "
                                          "hold a double quote"));
        check("quotedCheck")->setChecked(false);
        QVERIFY(!outlined(box("splitEdit")));
        // A template's brackets are its own text.
        box("fieldsEdit")->setText("Email: [3]");
        QVERIFY(outlined(box("fieldsEdit")));
        check("templateCheck")->setChecked(true);
        QVERIFY(!outlined(box("fieldsEdit")));
    }

    // The hint beside the status comes after a rip whose every result is
    // empty, and goes with the next rip that has a value; the status stays.
    void emptyResults() {
        const QString source = file("s.txt", "a,b\r\nc,d\r\n");
        const std::pair<QString, bool> rows[] = {
            {"2", true}, {"2,3", true}, {"1", false}, {"2,1", false}, {"3", true}};
        auto* hint = control<QLabel>(*window_, "statusHintLabel");
        for (const auto& [fields, empty] : rows) {
            rip(source, fields);
            QCOMPARE(status(), QStringLiteral("2 values ripped"));
            QVERIFY2(hint->isVisible() == empty, qPrintable(fields));
        }
        QCOMPARE(hint->text(),
                 QStringLiteral("every result is empty: the split string '|' occurs in none of "
                                "the first lines"));
    }
};

QTEST_MAIN(OptionsTest)
#include "options_test.moc"
