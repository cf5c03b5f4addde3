// What the window adds around the settings: names from the first line and
// quoted fields, the offer of the settings a loaded source seems to want, the
// warnings on a box it cannot use, and the hint after a rip of empty results.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "columngrid.h"
#include "fieldtip.h"
#include "formatguess.h"
#include "frontrules.h"
#include "mainwindow.h"

namespace kolvane {

namespace {

// A guess that takes no longer than this shows at once, with the preview.
constexpr std::chrono::milliseconds kGuessWait{40};

const QString kEmptySplit = QStringLiteral("The split string is empty: every line gives one field");
const char* const kUsualTip = "usualTip";

// Outlines `box` in red with `problem` as its tooltip, or gives it back its
// own look and tooltip when there is none.
void mark(QLineEdit* box, const QString& problem) {
    if (!box->property(kUsualTip).isValid()) box->setProperty(kUsualTip, box->toolTip());
    box->setStyleSheet(problem.isEmpty() ? QString()
                                         : QStringLiteral("QLineEdit { border: 1px solid red; }"));
    box->setToolTip(problem.isEmpty() ? box->property(kUsualTip).toString() : problem);
    box->setAccessibleDescription(problem);
}

}  // namespace

void MainWindow::connectSettingsHelp() {
    connect(useSuggestionButton, &QPushButton::clicked, this, &MainWindow::applySuggestion);
    connect(dismissSuggestionButton, &QPushButton::clicked, this, [this] {
        offerAnswered_ = true;
        offerSuggestion({});
    });
    // The user taking a setting the offer is about in hand answers the offer;
    // settings that still need the fix bring it back, with the reason.
    auto answered = [this] {
        offerAnswered_ = true;
        reconsiderOffer();
    };
    connect(splitEdit, &QLineEdit::textEdited, this, answered);
    connect(splitEdit, &QLineEdit::textChanged, this, &MainWindow::reconsiderOffer);
    for (QCheckBox* box : {quotedCheck, headerCheck}) {
        connect(box, &QCheckBox::clicked, this, answered);
        connect(box, &QCheckBox::toggled, this, &MainWindow::reconsiderOffer);
    }
}

void MainWindow::guessSource() {
    const std::string path = sourcePath();
    auto guess = [path, previewed = previewBytes_] {
        return guessFrom(guessSample(path, previewed));
    };
    // An answer for a source no longer in the box is dropped.
    auto offer = [this, path](SourceGuess guessed) {
        if (sourcePath() != path) return;
        guessed_ = std::move(guessed);
        offerAnswered_ = false;
        reconsiderOffer();
    };
    guessTask_.start(this, std::move(guess), std::move(offer), kGuessWait);
}

void MainWindow::reconsiderOffer() {
    const Settings now = settings();
    offerSuggestion(offerAnswered_ ? offerAgain(guessed_, now, namesOn())
                                   : suggestFor(guessed_, now, namesOn()));
}

void MainWindow::offerSuggestion(const Suggestion& suggestion) {
    offered_ = suggestion;
    // Kept while the source stays; a new one starts without.
    QSizePolicy room = suggestionBar->sizePolicy();
    room.setRetainSizeWhenHidden(suggestion.any() ||
                                 (room.retainSizeWhenHidden() && guessed_.format));
    suggestionBar->setSizePolicy(room);
    // Gone, its words stay behind the hidden bar: the room they kept stays
    // the same.
    if (suggestion.any()) suggestionLabel->setText(suggestionText(suggestion));
    suggestionBar->setVisible(suggestion.any());
}

void MainWindow::applySuggestion() {
    const Suggestion taken = std::exchange(offered_, {});
    offerAnswered_ = true;
    if (taken.split) splitEdit->setText(QString::fromStdString(writeEscapes(*taken.split)));
    if (taken.quoted) quotedCheck->setChecked(true);
    if (taken.header) headerCheck->setChecked(true);
    reconsiderOffer();
}

void MainWindow::updateWarnings() {
    const Settings now = settings();
    mark(fieldsEdit, now.templateMode
                         ? QString()
                         : fieldsWarning(source_.fields(now, namesOn()).problems, sourceShownAs_));
    const QString problem = QString::fromUtf8(splitProblem(now.dialect()));
    mark(splitEdit, now.split.empty() ? kEmptySplit : problem.left(1).toUpper() + problem.mid(1));
}

void MainWindow::ripWithHeader(std::unique_ptr<ByteSource> source, const std::string& path) {
    if (!namesOn()) return rip(std::move(source), path);
    // Names are taken once, from the record the rip itself reads first, and
    // the field list is read again with them. The header is ripped first, as
    // any record is, so the results have their own header.
    auto held = std::make_shared<std::unique_ptr<ByteSource>>(std::move(source));
    auto read = [this, held, path, dialect = settings().dialect()] {
        return SourceSession::readHeader(std::move(*held), path, dialect, true,
                                         [this] { return !headerTask_.cancelled(); });
    };
    auto taken = [this, path](Expected<SourceSession::TakenHeader> header) {
        if (!header) return ripFinished(RunResult{header.error()});
        if (state_ != WindowState::ripping) return ripFinished(RunResult{std::nullopt, true});
        std::unique_ptr<ByteSource> rest = source_.useHeader(std::move(*header));
        updateWarnings();
        session_->prepare(ripFields());
        rip(std::move(rest), path);
    };
    // A header of a few lines comes at once, as if read in place.
    headerTask_.start(this, std::move(read), std::move(taken), std::chrono::milliseconds(40));
}

void MainWindow::hintAtEmptyResults() {
    if (store_.empty()) return;
    const Settings now = settings();
    const FieldList list = ripFields().value_or(session_->fields());
    // What a record without any of the wanted values gives.
    const std::string empty = source_.gives({}, now, list, 0).result;
    for (std::size_t i = 0; i < store_.size(); ++i) {
        if (store_.at(i) != empty) return;
    }
    source_.useRipStart();
    const std::string cause = source_.whyEmpty(now, namesOn(), list);
    showHint(QStringLiteral("every result is empty: ") +
             (cause.empty() ? QStringLiteral("check the split string and the fields box")
                            : displayText(cause)));
}

}  // namespace kolvane
