// The window's controls, their captions and initial content, and their places.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <limits>

#include "elidinglabel.h"
#include "icons.h"
#include "mainwindow.h"
#include "resultmodel.h"
#include "resultview.h"

namespace kolvane {

namespace {

// The window's client area as designed, in pixels at 96 dots per inch. It grows
// only where this toolkit's captions need more room than the design gave them.
constexpr QSize kDesignSize(677, 596);

template <class W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(const char* name, const QString& caption) {
    auto* l = named(new QLabel(caption), name);
    l->setTextFormat(Qt::PlainText);  // a caption is never markup
    return l;
}

QPushButton* button(const char* name, const QString& caption, int width) {
    auto* b = named(new QPushButton(caption), name);
    // No button answers Enter or Escape.
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFixedWidth(width);
    return b;
}

QLineEdit* textBox(const char* name, const QString& text, int width) {
    auto* t = named(new QLineEdit(text), name);
    // A text box has no length limit; QLineEdit's default cuts at 32767, which
    // would clip a long source line in the preview.
    t->setMaxLength(std::numeric_limits<int>::max());
    t->setMinimumWidth(width);
    return t;
}

}  // namespace

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("Kolvane"));
    setWindowTitle(QStringLiteral("Kolvane"));
    setWindowIcon(windowIcon());

    // Source row: the path, the picture button that loads it, and "Rip".
    // The path box takes what the row has to spare; on a small screen it
    // gives up room first, with the gap before "Rip".
    Text1 = textBox("Text1", QString(), 160);
    Loadfile = button("Loadfile", QString(), 40);
    Loadfile->setIcon(loadfileIcon());
    Loadfile->setIconSize(QSize(14, 12));
    Loadfile->setAccessibleName(QStringLiteral("Load file"));
    Dorip = button("Dorip", QStringLiteral("Rip"), 67);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(Text1, 1);
    sourceRow->addWidget(Loadfile);
    sourceRow->addSpacerItem(new QSpacerItem(83, 0, QSizePolicy::Preferred));
    sourceRow->addWidget(Dorip);

    // Settings: two rows of separators and fields on the left, the check boxes
    // on the right, and the preview line with ">>" below them.
    Label1 = label("Label1", QStringLiteral("Split-Char :"));
    SplitChar = textBox("SplitChar", QStringLiteral("|"), 94);
    Label2 = label("Label2", QStringLiteral("New field Separator :"));
    FieldSep = textBox("FieldSep", QStringLiteral(":"), 91);
    Label3 = label("Label3", QStringLiteral("Rip fields : "));
    RipFields = textBox("RipFields", QString(), 211);
    Label4 = label("Label4", QStringLiteral("(separate fields with ,  eg. : 2,4)"));
    Check1 = named(new QCheckBox(QStringLiteral("Skip line on 1 empty value")), "Check1");
    Check3 = named(new QCheckBox(QStringLiteral("hide list while ripping")), "Check3");
    Check4 = named(new QCheckBox(QStringLiteral("Use smartcombine [1]...[2]")), "Check4");
    SplitChar->setMaximumWidth(94);
    FieldSep->setMaximumWidth(91);

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(2);
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(SplitChar, 0, 1);
    fields->addWidget(Label2, 0, 2);
    fields->addWidget(FieldSep, 0, 3);
    fields->addWidget(Check1, 0, 5);
    fields->addWidget(Check3, 1, 5);
    fields->addWidget(Label3, 2, 0);
    fields->addWidget(RipFields, 2, 1, 1, 2);
    fields->addWidget(Label4, 2, 3, 1, 2);
    fields->addWidget(Check4, 2, 5);
    fields->setColumnStretch(4, 1);
    fields->setColumnMinimumWidth(4, 12);

    Text2 = textBox("Text2", QString(), 0);
    Command1 = button("Command1", QStringLiteral(">>"), 28);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(Text2, 1);
    previewRow->addWidget(Command1);

    Frame1 = named(new QGroupBox(QStringLiteral("Settings")), "Frame1");
    auto* frame = new QVBoxLayout(Frame1);
    frame->addLayout(fields);
    frame->addLayout(previewRow);

    // The result list takes whatever room the window has to spare. Hidden
    // during a rip, it keeps that room: nothing else may move into it.
    List1 = named(new ResultView, "List1");
    List1->setModel(model_);
    QSizePolicy keepRoom = List1->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    List1->setSizePolicy(keepRoom);

    // Bottom row: the status line, file-to-file mode and "Save". During a
    // long rip the progress bar takes the right part of the status line's
    // place, and "Stop" the place of the disabled "Save".
    Statu = named(new ElidingLabel, "Statu");
    Statu->setTextFormat(Qt::PlainText);
    // A long message is cut in the middle rather than widening the window.
    Statu->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Statu->setMinimumWidth(120);
    RipProgress = named(new QProgressBar, "RipProgress");
    RipProgress->setFixedWidth(150);
    RipProgress->hide();
    Check2 =
        named(new QCheckBox(QStringLiteral("file to file (faster - for more than 30000 items)")),
              "Check2");
    Saverip = button("Saverip", QStringLiteral("Save"), 79);
    Stop = button("Stop", QStringLiteral("Stop"), 79);
    saveOrStop_ = new QStackedWidget;
    saveOrStop_->addWidget(Saverip);
    saveOrStop_->addWidget(Stop);
    saveOrStop_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(Statu, 1);
    bottomRow->addWidget(RipProgress);
    bottomRow->addWidget(Check2);
    bottomRow->addWidget(saveOrStop_);

    auto* content = new QWidget;
    auto* window = new QVBoxLayout(content);
    window->setContentsMargins(9, 9, 9, 9);
    window->addLayout(sourceRow);
    window->addWidget(Frame1);
    window->addWidget(List1, 1);
    window->addLayout(bottomRow);
    // On a screen smaller than the controls need (a small one at 200%), the
    // list shrinks first, and then the window's content scrolls, so that no
    // control is out of reach. Where everything fits, no scroll bar shows.
    scroll_ = named(new QScrollArea, "Scroll");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setFocusPolicy(Qt::NoFocus);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll_);

    // A file dropped anywhere on the window loads it.
    setAcceptDrops(true);
    for (QLineEdit* box : {Text1, SplitChar, FieldSep, RipFields, Text2}) {
        box->installEventFilter(this);
    }

    describeControls();
    chainTabOrder();
}

// What screen readers call each control, and what hovering over the picture
// button and the boxes tells. The labels, the status line included, are read
// by their captions.
void MainWindow::describeControls() {
    const std::pair<QWidget*, const char*> names[] = {
        {Text1, "Source file"},
        {Loadfile, "Load file"},
        {Dorip, "Rip"},
        {List1, "Result list"},
        {Saverip, "Save"},
        {Frame1, "Settings"},
        {Check2, "File to file"},
        {SplitChar, "Split string"},
        {FieldSep, "New field separator"},
        {RipFields, "Rip fields"},
        {Check1, "Skip line on 1 empty value"},
        {Check3, "Hide list while ripping"},
        {Check4, "Use smartcombine"},
        {Text2, "Preview line"},
        {Command1, "Next line"},
        {RipProgress, "Rip progress"},
        {Stop, "Stop"},
    };
    for (const auto& [widget, name] : names) widget->setAccessibleName(QString::fromUtf8(name));

    Text1->setToolTip(
        QStringLiteral("Path of the source file. Type it, choose it with the button beside, "
                       "or drop a file on the window."));
    Loadfile->setToolTip(QStringLiteral("Choose the source file and show its first line (Ctrl+O)"));
    Dorip->setToolTip(QStringLiteral("Rip every line of the source file (F5); Escape stops it"));
    Saverip->setToolTip(QStringLiteral("Save the result list to a file (Ctrl+S)"));
    Stop->setToolTip(QStringLiteral("Stop the rip after the current line (Escape)"));
    Command1->setToolTip(QStringLiteral("Show the next line of the source file"));
    SplitChar->setToolTip(QStringLiteral(
        "The string that separates the fields of a source line.\n\\t stands for a tab, "
        "\\\\ for one backslash."));
    FieldSep->setToolTip(QStringLiteral(
        "The string put between the chosen fields of a result line.\n\\t stands for a tab, "
        "\\\\ for one backslash."));
    RipFields->setToolTip(QStringLiteral(
        "The fields to keep, by number, separated by commas (2,4).\nWith smartcombine, a "
        "template in which [n] stands for field n ([2]-[1])."));
    updateFieldTip();
}

void MainWindow::chainTabOrder() {
    QWidget* order[] = {Text1,     Loadfile, Dorip, List1,    Saverip, SplitChar, FieldSep,
                        RipFields, Check1,   Text2, Command1, Check2,  Check3,    Check4};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::placeOnScreen() {
    // The content's own size: a scroll area asks for less than it holds.
    const QSize wanted = scroll_->widget()->sizeHint().expandedTo(kDesignSize);
    if (const QScreen* where = screen()) {
        setGeometry(fitOnScreen(wanted, minimumSizeHint(), where->availableGeometry()));
    } else {
        resize(wanted);
    }
}

QRect fitOnScreen(QSize wanted, QSize minimum, const QRect& available) {
    // Smaller than wanted where the screen is; the list takes the loss.
    QRect placed(QPoint(), wanted.boundedTo(available.size()).expandedTo(minimum));
    placed.moveCenter(available.center());
    // Too big even at its smallest: its top left, with the title, stays in sight.
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed;
}

}  // namespace kolvane
