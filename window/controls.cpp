// The window's controls, their captions and initial content, and their places.
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

#include "columngrid.h"
#include "elidinglabel.h"
#include "icons.h"
#include "mainwindow.h"
#include "resultmodel.h"
#include "resultview.h"
#include "wrappedlabel.h"

namespace kolvane {

namespace {

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

// `width` 0: as wide as its caption.
QPushButton* button(const char* name, const QString& caption, int width = 0) {
    auto* b = named(new QPushButton(caption), name);
    // No button answers Enter or Escape.
    b->setAutoDefault(false);
    b->setDefault(false);
    if (width > 0) b->setFixedWidth(width);
    return b;
}

QCheckBox* checkBox(const char* name, const QString& caption) {
    return named(new QCheckBox(caption), name);
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

QLayout* MainWindow::buildSourceRow() {
    // Source row: the path, the picture button that loads it, and "Rip".
    // The path box takes what the row has to spare; on a small screen it
    // gives up room first, with the gap before "Rip".
    sourcePathEdit = textBox("sourcePathEdit", QString(), 160);
    loadButton = button("loadButton", QString(), 40);
    loadButton->setIcon(drawnIcon(QStringLiteral(":/icons/folder.svg"), QSize(14, 12)));
    loadButton->setIconSize(QSize(14, 12));
    ripButton = button("ripButton", QStringLiteral("Rip"), 67);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourcePathEdit, 1);
    sourceRow->addWidget(loadButton);
    sourceRow->addSpacerItem(new QSpacerItem(83, 0, QSizePolicy::Preferred));
    sourceRow->addWidget(ripButton);
    return sourceRow;
}

QLayout* MainWindow::buildFieldsGrid() {
    // Settings: two rows of separators and fields on the left, the check boxes
    // on the right, and the preview line with ">>" below them.
    // The separators' boxes have their designed widths, and are narrower
    // only where the screen is.
    splitEdit = textBox("splitEdit", QStringLiteral("|"), 50);
    splitEdit->setMaximumWidth(94);
    joinEdit = textBox("joinEdit", QStringLiteral(":"), 50);
    joinEdit->setMaximumWidth(91);
    fieldsEdit = textBox("fieldsEdit", QString(), 150);
    // On a narrow screen (a small one at 200%) the hint gives up room first,
    // wrapping onto a second line, so that the check boxes beside it and the
    // buttons stay in sight.
    auto* fieldsHint = named(
        new WrappedLabel(QStringLiteral("(separate fields with ,  eg. : 2,4)")), "fieldsHintLabel");
    fieldsHint->setMinimumWidth(
        fieldsHint->fontMetrics().horizontalAdvance(fieldsHint->text()) / 2 + 8);
    skipEmptyCheck = checkBox("skipEmptyCheck", QStringLiteral("Skip line on 1 empty value"));
    hideListCheck = checkBox("hideListCheck", QStringLiteral("hide list while ripping"));
    templateCheck = checkBox("templateCheck", QStringLiteral("Use smartcombine [1]...[2]"));
    quotedCheck = checkBox("quotedCheck", QStringLiteral("Fields may be quoted (\"...\")"));
    headerCheck = checkBox("headerCheck", QStringLiteral("First line holds names"));

    auto* fields = new QGridLayout;
    fields->setVerticalSpacing(2);
    fields->addWidget(label("splitLabel", QStringLiteral("Split-Char :")), 0, 0);
    fields->addWidget(splitEdit, 0, 1);
    fields->addWidget(label("joinLabel", QStringLiteral("New field Separator :")), 0, 2);
    fields->addWidget(joinEdit, 0, 3);
    fields->addWidget(skipEmptyCheck, 0, 5);
    fields->addWidget(hideListCheck, 1, 5);
    // In the room the design left under the separators: no row more.
    auto* csvRow = new QHBoxLayout;
    csvRow->addWidget(quotedCheck);
    csvRow->addWidget(headerCheck);
    csvRow->addStretch();
    fields->addLayout(csvRow, 1, 0, 1, 5);
    fields->addWidget(label("fieldsLabel", QStringLiteral("Rip fields : ")), 2, 0);
    fields->addWidget(fieldsEdit, 2, 1, 1, 2);
    fields->addWidget(fieldsHint, 2, 3, 1, 2);
    fields->addWidget(templateCheck, 2, 5);
    fields->setColumnStretch(4, 1);
    fields->setColumnMinimumWidth(4, 12);
    return fields;
}

void MainWindow::buildSettingsFrame() {
    QLayout* fields = buildFieldsGrid();

    previewLine = textBox("previewLine", QString(), 0);
    nextLineButton = button("nextLineButton", QStringLiteral(">>"), 28);
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(previewLine, 1);
    previewRow->addWidget(nextLineButton);

    columnGrid_ = new ColumnGrid(fieldsEdit,
                                 {[this] { return settings(); },
                                  [this] { return typedBytes(fieldsEdit->text(), sourceShownAs_); },
                                  [this] { return session_->fields(); }, &source_});

    settingsFrame = named(new QGroupBox(QStringLiteral("Settings")), "settingsFrame");
    auto* frame = new QVBoxLayout(settingsFrame);
    frame->addLayout(fields);
    frame->addLayout(previewRow);
}

QLayout* MainWindow::buildBottomRow() {
    // The result list takes whatever room the window has to spare. Hidden
    // during a rip, it keeps that room: nothing else may move into it.
    resultList = named(new ResultView, "resultList");
    resultList->setModel(model_);
    QSizePolicy keepRoom = resultList->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    resultList->setSizePolicy(keepRoom);
    // On a small screen the list gives up its room first, down to a few rows.
    resultList->setMinimumHeight(60);

    // Bottom row: the status line, file-to-file mode and "Save". During a
    // long rip the progress bar takes the right part of the status line's
    // place, and "Stop" the place of the disabled "Save".
    // A long message is cut in the middle rather than widening the window.
    statusLabel = named(new ElidingLabel, "statusLabel");
    statusLabel->setMinimumWidth(120);
    ripProgress = named(new QProgressBar, "ripProgress");
    ripProgress->setFixedWidth(150);
    ripProgress->hide();
    toFileCheck = checkBox("toFileCheck",
                           QStringLiteral("file to file (faster - for more than 30000 items)"));
    saveButton = button("saveButton", QStringLiteral("Save"), 79);
    stopButton = button("stopButton", QStringLiteral("Stop"), 79);
    saveOrStop_ = new QStackedWidget;
    saveOrStop_->addWidget(saveButton);
    saveOrStop_->addWidget(stopButton);
    saveOrStop_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(statusLabel, 1);
    bottomRow->addWidget(ripProgress);
    bottomRow->addWidget(toFileCheck);
    bottomRow->addWidget(saveOrStop_);
    // Above the status line, which stays the design's text, and not in its
    // row: a hint that comes or wraps moves neither the status nor "Save".
    statusHintLabel = named(new WrappedLabel, "statusHintLabel");
    statusHintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusHintLabel->hide();
    return bottomRow;
}

QWidget* MainWindow::buildSuggestionBar() {
    suggestionBar = named(new QWidget, "suggestionBar");
    // Wrapped, never cut: the offer's words are what it offers. Two lines
    // of room, kept once an offer has shown for a source, so that nothing
    // under it moves when the offer goes or comes back; a source with no
    // offer costs a small screen no room.
    suggestionLabel = named(new WrappedLabel(QString(), 2), "suggestionLabel");
    useSuggestionButton = button("useSuggestionButton", QStringLiteral("Use"));
    useSuggestionButton->setToolTip(QStringLiteral("Take these settings"));
    dismissSuggestionButton = button("dismissSuggestionButton", QStringLiteral("Dismiss"));
    dismissSuggestionButton->setToolTip(QStringLiteral("Keep the settings as they are"));
    auto* row = new QHBoxLayout(suggestionBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(suggestionLabel, 1);
    row->addWidget(useSuggestionButton);
    row->addWidget(dismissSuggestionButton);
    suggestionBar->hide();
    return suggestionBar;
}

void MainWindow::assemble(QLayout* sourceRow, QLayout* bottomRow) {
    auto* content = new QWidget;
    auto* window = new QVBoxLayout(content);
    window->setContentsMargins(9, 9, 9, 9);
    window->addLayout(sourceRow);
    window->addWidget(settingsFrame);
    window->addWidget(buildSuggestionBar());
    window->addWidget(columnGrid_);
    window->addWidget(resultList, 1);
    window->addWidget(statusHintLabel);
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
    for (QLineEdit* box : {sourcePathEdit, splitEdit, joinEdit, fieldsEdit, previewLine}) {
        box->installEventFilter(this);
    }
}

// What screen readers call each control, and what hovering over the picture
// button and the boxes tells. The labels, the status line included, are read
// by their captions.
void MainWindow::describeControls() {
    const struct {
        QWidget* widget;
        const char* name;
        const char* tip;
    } controls[] = {
        {sourcePathEdit, "Source file",
         "Path of the source file. Type it, choose it with the button beside, or drop a file on "
         "the window."},
        {loadButton, "Load file", "Choose the source file and show its first line (Ctrl+O)"},
        {ripButton, "Rip", "Rip every line of the source file (F5); Escape stops it"},
        {resultList, "Result list", nullptr},
        {saveButton, "Save", "Save the result list to a file (Ctrl+S)"},
        {settingsFrame, "Settings", nullptr},
        {toFileCheck, "File to file", nullptr},
        {splitEdit, "Split string",
         "The string that separates the fields of a source line.\n\\t stands for a tab, \\\\ for "
         "one backslash."},
        {joinEdit, "New field separator",
         "The string put between the chosen fields of a result line.\n\\t stands for a tab, \\\\ "
         "for one backslash."},
        {fieldsEdit, "Rip fields",
         "The fields to keep, by number, separated by commas (2,4).\nWith smartcombine, a template "
         "in which [n] stands for field n ([2]-[1])."},
        {skipEmptyCheck, "Skip line on 1 empty value", nullptr},
        {hideListCheck, "Hide list while ripping", nullptr},
        {templateCheck, "Use smartcombine", nullptr},
        {quotedCheck, "Fields may be quoted", nullptr},
        {headerCheck, "First line holds names", nullptr},
        {previewLine, "Preview line", nullptr},
        {nextLineButton, "Next line", "Show the next line of the source file"},
        {ripProgress, "Rip progress", nullptr},
        {stopButton, "Stop", "Stop the rip after the current line (Escape)"},
    };
    for (const auto& [widget, name, tip] : controls) {
        widget->setAccessibleName(QString::fromUtf8(name));
        if (tip) widget->setToolTip(QString::fromUtf8(tip));
    }
    updateFieldTip();
}

void MainWindow::chainTabOrder() {
    // The design's order up to templateCheck; the controls added since follow
    // its last one.
    QWidget* order[] = {sourcePathEdit, loadButton,          ripButton,
                        resultList,     saveButton,          splitEdit,
                        joinEdit,       fieldsEdit,          skipEmptyCheck,
                        previewLine,    nextLineButton,      toFileCheck,
                        hideListCheck,  templateCheck,       quotedCheck,
                        headerCheck,    useSuggestionButton, dismissSuggestionButton};
    for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
    QWidget::setTabOrder(dismissSuggestionButton, columnGrid_->showCheck());
    QWidget::setTabOrder(columnGrid_->showCheck(), columnGrid_->table());
}

}  // namespace kolvane
