// The window as it opens: controls, captions, initial content, size, focus
// order, no default button; a click on the list only selects.
#include <QAccessible>
#include <QGroupBox>
#include <QStyle>

#include "windowtest.h"

using namespace kolvane::test;

class MainWindowTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void initialContent_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("content");
        // clang-format off
        const char* const rows[][3] = {
            {"Text1", "QLineEdit", ""},
            {"Loadfile", "QPushButton", ""},
            {"Dorip", "QPushButton", "Rip"},
            {"List1", "QListView", ""},
            {"Saverip", "QPushButton", "Save"},
            {"Frame1", "QGroupBox", "Settings"},
            {"Statu", "QLabel", ""},
            {"Check2", "QCheckBox", "file to file (faster - for more than 30000 items)"},
            {"Label1", "QLabel", "Split-Char :"},
            {"SplitChar", "QLineEdit", "|"},
            {"Label2", "QLabel", "New field Separator :"},
            {"FieldSep", "QLineEdit", ":"},
            {"Label3", "QLabel", "Rip fields : "},
            {"RipFields", "QLineEdit", ""},
            {"Label4", "QLabel", "(separate fields with ,  eg. : 2,4)"},
            {"Check1", "QCheckBox", "Skip line on 1 empty value"},
            {"Check3", "QCheckBox", "hide list while ripping"},
            {"Check4", "QCheckBox", "Use smartcombine [1]...[2]"},
            {"Text2", "QLineEdit", ""},
            {"Command1", "QPushButton", ">>"},
        };
        // clang-format on
        for (const auto& [name, kind, content] : rows) {
            QTest::newRow(name) << QString::fromLatin1(kind) << QString::fromUtf8(content);
        }
    }

    // Present, enabled, visible, with its caption or content, and the caption
    // never clipped, whatever font the toolkit picks.
    void initialContent() {
        QFETCH(QString, kind);
        QFETCH(QString, content);
        QCOMPARE(window_->objectName(), QStringLiteral("Kolvane"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("Kolvane"));
        auto* widget = control<QWidget>(*window_, QTest::currentDataTag());
        QVERIFY(widget->inherits(qPrintable(kind)));
        QVERIFY(widget->isEnabled() && widget->isVisible());
        // Screen readers read a label by its caption; every other control is named.
        const QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        if (!qobject_cast<QLabel*>(widget)) QVERIFY(!face->text(QAccessible::Name).isEmpty());
        QString shown;
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) shown = edit->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) shown = button->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
        if (auto* frame = qobject_cast<QGroupBox*>(widget)) shown = frame->title();
        QCOMPARE(shown, content);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QCOMPARE(box->checkState(), Qt::Unchecked);
        }
        if (auto* list = qobject_cast<QListView*>(widget)) {
            QCOMPARE(list->model()->rowCount(), 0);
            QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // A push button's size hint has a floor far above its caption's needs.
            const int margin =
                button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            const int needed = content.isEmpty() ? button->iconSize().width()
                                                 : button->fontMetrics().horizontalAdvance(content);
            QVERIFY(button->width() >= needed + margin);
            QVERIFY(button->height() >= button->fontMetrics().height());
        } else if (!content.isEmpty() && !qobject_cast<QLineEdit*>(widget)) {
            QVERIFY(widget->width() >= widget->sizeHint().width());
            QVERIFY(widget->height() >= widget->minimumSizeHint().height());
        }
    }

    void sizeAndGrowth() {
        QVERIFY(window_->width() >= 677);
        QVERIFY(window_->height() >= 596);
        // The list takes the extra room when the window grows.
        auto* list = control<QListView>(*window_, "List1");
        const QSize before = list->size();
        window_->resize(window_->size() + QSize(100, 80));
        QTRY_COMPARE(list->size(), before + QSize(100, 80));
    }

    void tabOrder() {
        QCOMPARE(QApplication::focusWidget(), box("Text1"));
        const QStringList expected{"Loadfile", "Dorip",     "List1",  "Saverip", "SplitChar",
                                   "FieldSep", "RipFields", "Check1", "Text2",   "Command1",
                                   "Check2",   "Check3",    "Check4", "Text1"};
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
    }

    void enterStartsNothing() {
        for (QPushButton* button : window_->findChildren<QPushButton*>()) {
            QVERIFY(!button->isDefault() && !button->autoDefault());
        }
        QTest::keyClicks(box("Text1"), file("s.txt", "a|b\r\n"));
        box("RipFields")->setText(QStringLiteral("2"));
        QTest::keyClick(box("Text1"), Qt::Key_Return);
        QTest::keyClick(box("RipFields"), Qt::Key_Enter);
        QCoreApplication::processEvents();
        QCOMPARE(listed(), QStringList());
        QCOMPARE(status(), QString());
    }

    void listClickOnlySelects() {
        rip(file("s.txt", "a|x\r\nb|y\r\nc|z\r\n"), "2");
        auto* list = control<QListView>(*window_, "List1");
        QSignalSpy clicks(list, &QAbstractItemView::clicked);
        const QModelIndex second = list->model()->index(1, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{second});
        QCOMPARE(listed(), (QStringList{"x", "y", "z"}));
        QCOMPARE(status(), QStringLiteral("3 values ripped"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
