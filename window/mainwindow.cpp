#include "mainwindow.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "resultmodel.h"
#include "resultview.h"

namespace kolvane {

MainWindow::MainWindow(FileDialogs& dialogs, WindowServices services, QWidget* parent)
    : QWidget(parent),
      model_(new ResultModel(store_, this)),
      session_(new RipSession(
          store_, [this] { return settings(); }, std::move(services.pump), this)),
      CD(dialogs),
      saver_(std::move(services.writeBlock)),
      askUnsaved_(std::move(services.askUnsaved)),
      now_(session_->clock()) {
    buildControls();
    connectSignals();
    connectKeys();
    Form_Load();
    placeOnScreen();
}

MainWindow::~MainWindow() = default;

QMessageBox::StandardButton askUnsavedResults(QWidget* window) {
    return QMessageBox::question(
        window, QStringLiteral("Kolvane"),
        QStringLiteral("The result list has not been saved. Save it before closing?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
}

void MainWindow::connectSignals() {
    connect(Loadfile, &QPushButton::clicked, this, &MainWindow::Loadfile_Click);
    connect(Dorip, &QPushButton::clicked, this, &MainWindow::Dorip_Click);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(Saverip, &QPushButton::clicked, this, &MainWindow::Saverip_Click);
    // clicked, not toggled: the handler answers the user, whichever way the box went.
    connect(Check2, &QCheckBox::clicked, this, &MainWindow::Check2_Click);
    // Enter in the path box loads it as a confirmed open dialog does; an edit
    // makes the preview's line one of another file, so it goes.
    connect(Text1, &QLineEdit::returnPressed, this, [this] { loadSource(Text1->text()); });
    connect(Text1, &QLineEdit::textEdited, this, [this] {
        state_.Previewline = 0;
        setPreview({}, 0);
    });
    // A line typed into the preview is the user's own: its tooltip follows it.
    connect(Text2, &QLineEdit::textEdited, this, [this](const QString& typed) {
        previewBytes_ = typed.toUtf8().toStdString();
        previewCut_ = false;
        previewShown_ = 0;
        updateFieldTip();
    });
    connect(Stop, &QPushButton::clicked, session_, &RipSession::stop);
    connect(session_, &RipSession::progress, this, &MainWindow::showProgress);
    connect(session_, &RipSession::finished, this, &MainWindow::ripFinished);
    // The preview's tooltip follows its line and every setting that shapes it.
    for (QLineEdit* box : {Text2, SplitChar, FieldSep, RipFields}) {
        connect(box, &QLineEdit::textChanged, this, &MainWindow::updateFieldTip);
    }
    for (QCheckBox* box : {Check1, Check4}) {
        connect(box, &QCheckBox::toggled, this, &MainWindow::updateFieldTip);
    }
}

void MainWindow::connectKeys() {
    // Each key is its button: click() does nothing while the button is
    // disabled, so a key cannot start what the button may not.
    const std::pair<QPushButton*, QKeySequence> keys[] = {
        {Loadfile, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Saverip, QKeySequence(Qt::CTRL | Qt::Key_S)},
        {Dorip, QKeySequence(Qt::Key_F5)},
    };
    for (const auto& [button, key] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }
    // Enabled only while a rip runs; otherwise Escape goes where it always did.
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setEnabled(false);
    connect(stopKey_, &QShortcut::activated, session_, &RipSession::stop);
}

}  // namespace kolvane
