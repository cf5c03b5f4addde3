#include "mainwindow.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "columngrid.h"
#include "commandline.h"
#include "icons.h"
#include "resultmodel.h"
#include "resultview.h"

namespace kolvane {

MainWindow::MainWindow(FileDialogs& dialogs, WindowServices services, QWidget* parent)
    : QWidget(parent),
      model_(new ResultModel(store_, this)),
      session_(new RipSession(
          store_, [this] { return settings(); }, [this] { return resultsTo(); },
          [this] { return state_ == WindowState::ripping; }, std::move(services.pump), this)),
      fileDialog_(dialogs),
      saver_(std::move(services.writeBlock)),
      askUnsaved_(std::move(services.askUnsaved)),
      now_(session_->clock()) {
    setObjectName(QStringLiteral("Kolvane"));
    setWindowTitle(QStringLiteral("Kolvane"));
    setWindowIcon(drawnIcon(QStringLiteral(":/icons/kolvane.svg"), QSize(45, 45)));
    QLayout* sourceRow = buildSourceRow();
    buildSettingsFrame();
    QLayout* bottomRow = buildBottomRow();
    assemble(sourceRow, bottomRow);
    describeControls();
    chainTabOrder();
    connectSignals();
    connectSettingsHelp();
    connectKeys();
    // Before the window is first shown. The default output file lives in the
    // directory the program was started from, however the process moves later.
    startDir_ = workDir();
    placeOnScreen();
}

MainWindow::~MainWindow() {
    // The save's thread ends within a step of its work once asked; the
    // other tasks ask their own as they go.
    if (saveControl_) saveControl_->cancel = true;
}

QMessageBox::StandardButton askUnsavedResults(QWidget* window, UnsavedBefore before) {
    return QMessageBox::question(
        window, QStringLiteral("Kolvane"),
        before == UnsavedBefore::closing
            ? QStringLiteral("The result list has not been saved. Save it before closing?")
            : QStringLiteral("The result list has not been saved. Save it before ripping again?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
}

void MainWindow::connectSignals() {
    connect(loadButton, &QPushButton::clicked, this, &MainWindow::onLoadClicked);
    connect(ripButton, &QPushButton::clicked, this, &MainWindow::onRipClicked);
    connect(nextLineButton, &QPushButton::clicked, this, [this] { askPreview(false); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveList(); });
    // clicked, not toggled: the handler answers the user, whichever way the box went.
    connect(toFileCheck, &QCheckBox::clicked, this, &MainWindow::onToFileClicked);
    // Enter in the path box loads it as a confirmed open dialog does; an edit
    // makes the preview's line, and the offer made for it, those of another
    // file, so they go.
    connect(sourcePathEdit, &QLineEdit::returnPressed, this,
            [this] { loadSource(sourcePathEdit->text()); });
    // Enter in a setting rips, as "Rip" does: nothing while it is disabled.
    for (QLineEdit* box : {splitEdit, joinEdit, fieldsEdit}) {
        connect(box, &QLineEdit::returnPressed, ripButton, &QPushButton::click);
    }
    connect(sourcePathEdit, &QLineEdit::textEdited, this, [this] {
        guessed_ = {};
        offerSuggestion({});
        dropPreview();
        previewLineNumber_ = 0;
        sourceShownAs_ = ShownAs::utf8;
        setPreview({}, 0);
        columnGrid_->loadSource({});
    });
    // A line typed into the preview is the user's own: its tooltip follows it.
    connect(previewLine, &QLineEdit::textEdited, this, [this](const QString& typed) {
        previewBytes_ = typed.toUtf8().toStdString();
        previewCut_ = false;
        previewShown_ = 0;
        updateFieldTip();
    });
    connect(stopButton, &QPushButton::clicked, this, &MainWindow::stopWork);
    // While a save runs, its progress is looked at this often.
    saveTicker_ = new QTimer(this);
    saveTicker_->setInterval(50);
    connect(saveTicker_, &QTimer::timeout, this, [this] {
        if (saveControl_)
            showBusy(saveControl_->written.load(), store_.bytes() + 2 * store_.size());
    });
    connect(session_, &RipSession::progress, this, &MainWindow::showProgress);
    connect(session_, &RipSession::finished, this, &MainWindow::ripFinished);
    // The preview's tooltip, the boxes' warnings and the grid follow the
    // preview's line and every setting; the sample read tells the names.
    auto reread = [this] {
        updateFieldTip();
        updateWarnings();
    };
    for (QLineEdit* box : {previewLine, splitEdit, joinEdit, fieldsEdit}) {
        connect(box, &QLineEdit::textChanged, this, reread);
        connect(box, &QLineEdit::textChanged, columnGrid_, &ColumnGrid::refreshSoon);
    }
    for (QCheckBox* box : {skipEmptyCheck, templateCheck, quotedCheck, headerCheck}) {
        connect(box, &QCheckBox::toggled, this, reread);
        if (box != headerCheck)
            connect(box, &QCheckBox::toggled, columnGrid_, &ColumnGrid::refreshSoon);
    }
    connect(headerCheck, &QCheckBox::toggled, columnGrid_, &ColumnGrid::setHeaderNames);
    connect(columnGrid_, &ColumnGrid::sampleRead, this, reread);
}

void MainWindow::connectKeys() {
    // Each key is its button: click() does nothing while the button is
    // disabled, so a key cannot start what the button may not.
    const std::pair<QPushButton*, QKeySequence> keys[] = {
        {loadButton, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {saveButton, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {ripButton, QKeySequence(Qt::Key_F5)},
    };
    for (const auto& [button, key] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }
    // Enabled only while a rip runs; otherwise Escape goes where it always did.
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setEnabled(false);
    connect(stopKey_, &QShortcut::activated, this, &MainWindow::stopWork);
}

}  // namespace kolvane
