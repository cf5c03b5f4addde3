// The window as it opens: controls, captions, initial content, focus order.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>

#include "windowtest.h"

using kolvane::MainWindow;
using kolvane::test::control;

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initialContent_data();
    void initialContent();
    void captionsFit_data();
    void captionsFit();
    void windowAtDesignSizeOrLarger();
    void tabOrder();
    void enterStartsNothing();
    void formLoadRecordsStartDirectory();
    void listClickOnlySelects();
};

void MainWindowTest::initialContent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("content");

    QTest::newRow("Text1") << "Text1"
                           << "QLineEdit"
                           << "";
    QTest::newRow("Loadfile") << "Loadfile"
                              << "QPushButton"
                              << "";
    QTest::newRow("Dorip") << "Dorip"
                           << "QPushButton"
                           << "Rip";
    QTest::newRow("List1") << "List1"
                           << "QListView"
                           << "";
    QTest::newRow("Saverip") << "Saverip"
                             << "QPushButton"
                             << "Save";
    QTest::newRow("Frame1") << "Frame1"
                            << "QGroupBox"
                            << "Settings";
    QTest::newRow("Statu") << "Statu"
                           << "QLabel"
                           << "";
    QTest::newRow("Check2") << "Check2"
                            << "QCheckBox"
                            << "file to file (faster - for more than 30000 items)";
    QTest::newRow("Label1") << "Label1"
                            << "QLabel"
                            << "Split-Char :";
    QTest::newRow("SplitChar") << "SplitChar"
                               << "QLineEdit"
                               << "|";
    QTest::newRow("Label2") << "Label2"
                            << "QLabel"
                            << "New field Separator :";
    QTest::newRow("FieldSep") << "FieldSep"
                              << "QLineEdit"
                              << ":";
    QTest::newRow("Label3") << "Label3"
                            << "QLabel"
                            << "Rip fields : ";
    QTest::newRow("RipFields") << "RipFields"
                               << "QLineEdit"
                               << "";
    QTest::newRow("Label4") << "Label4"
                            << "QLabel"
                            << "(separate fields with ,  eg. : 2,4)";
    QTest::newRow("Check1") << "Check1"
                            << "QCheckBox"
                            << "Skip line on 1 empty value";
    QTest::newRow("Check3") << "Check3"
                            << "QCheckBox"
                            << "hide list while ripping";
    QTest::newRow("Check4") << "Check4"
                            << "QCheckBox"
                            << "Use smartcombine [1]...[2]";
    QTest::newRow("Text2") << "Text2"
                           << "QLineEdit"
                           << "";
    QTest::newRow("Command1") << "Command1"
                              << "QPushButton"
                              << ">>";
}

void MainWindowTest::initialContent() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, content);
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.objectName(), QStringLiteral("Kolvane"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Kolvane"));

    auto* widget = window.findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    QVERIFY(widget->inherits(kind.toLatin1().constData()));
    QVERIFY(widget->isEnabled());
    QVERIFY(widget->isVisible());
    QString shown;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        shown = edit->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        shown = button->text();
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QCOMPARE(box->checkState(), Qt::Unchecked);
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        shown = label->text();
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
        shown = frame->title();
    } else if (auto* list = qobject_cast<QListView*>(widget)) {
        QCOMPARE(list->model()->rowCount(), 0);
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    }
    QCOMPARE(shown, content);
}

void MainWindowTest::captionsFit_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Check1", "Check2", "Check3",
                             "Check4", "Frame1", "Dorip", "Saverip", "Command1", "Loadfile"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

// Captions must never be clipped, whatever font the toolkit picks.
void MainWindowTest::captionsFit() {
    QFETCH(QString, name);
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* widget = window.findChild<QWidget*>(name);
    QVERIFY(widget);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        // A push button's size hint has a floor far above its caption's needs.
        const int margin = widget->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget);
        const int needed = button->text().isEmpty()
                               ? button->iconSize().width()
                               : button->fontMetrics().horizontalAdvance(button->text());
        QVERIFY2(button->width() >= needed + margin, qPrintable(name));
        QVERIFY(button->height() >= button->fontMetrics().height());
    } else {
        QVERIFY2(widget->width() >= widget->sizeHint().width(), qPrintable(name));
        QVERIFY2(widget->height() >= widget->minimumSizeHint().height(), qPrintable(name));
    }
}

void MainWindowTest::windowAtDesignSizeOrLarger() {
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.width() >= 677);
    QVERIFY(window.height() >= 596);
    // The list takes the extra room when the window grows.
    auto* list = control<QListView>(window, "List1");
    const QSize before = list->size();
    window.resize(window.size() + QSize(100, 80));
    QTRY_COMPARE(list->size(), before + QSize(100, 80));
}

void MainWindowTest::tabOrder() {
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    // The focus starts on the control with the lowest tab index.
    QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(window, "Text1"));
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

// No button is the default: Enter in a text box runs no rip.
void MainWindowTest::enterStartsNothing() {
    QTemporaryDir dir;
    const QString path =
        kolvane::test::writeFile(dir.filePath("s.txt"), QByteArrayLiteral("a|b\r\n"));
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }
    auto* text1 = control<QLineEdit>(window, "Text1");
    QTest::keyClicks(text1, path);
    control<QLineEdit>(window, "RipFields")->setText(QStringLiteral("2"));
    QTest::keyClick(text1, Qt::Key_Return);
    QTest::keyClick(control<QLineEdit>(window, "RipFields"), Qt::Key_Enter);
    QCoreApplication::processEvents();
    QCOMPARE(kolvane::test::items(window), QStringList());
    QCOMPARE(control<QLabel>(window, "Statu")->text(), QString());
}

void MainWindowTest::formLoadRecordsStartDirectory() {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(QString::fromStdString(window.ripState().Startdir), QDir(dir.path()).canonicalPath());
}

void MainWindowTest::listClickOnlySelects() {
    QTemporaryDir dir;
    const QString path =
        kolvane::test::writeFile(dir.filePath("s.txt"), QByteArrayLiteral("a|x\r\nb|y\r\nc|z\r\n"));
    kolvane::test::ScriptedDialogs dialogs;
    MainWindow window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    control<QLineEdit>(window, "Text1")->setText(path);
    control<QLineEdit>(window, "RipFields")->setText(QStringLiteral("2"));
    QTest::mouseClick(control<QPushButton>(window, "Dorip"), Qt::LeftButton);
    const QStringList ripped = kolvane::test::items(window);
    const QString status = control<QLabel>(window, "Statu")->text();

    auto* list = control<QListView>(window, "List1");
    QSignalSpy clicks(list, &QAbstractItemView::clicked);
    const QModelIndex second = list->model()->index(1, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(second).center());
    QCOMPARE(clicks.size(), 1);
    QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{second});
    QCOMPARE(kolvane::test::items(window), ripped);
    QCOMPARE(control<QLabel>(window, "Statu")->text(), status);
}

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
