#pragma once

#include <QMessageBox>
#include <QWidget>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "backgroundtask.h"
#include "commondialog.h"
#include "displaytext.h"
#include "listsaver.h"
#include "resultstore.h"
#include "ripsession.h"
#include "sourcepreview.h"
#include "sourcesession.h"
#include "suggestion.h"
#include "windowstate.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QShortcut;
class QStackedWidget;
class QTimer;

namespace kolvane {

class ColumnGrid;
class ElidingLabel;
class ResultModel;
class ResultView;

// Where a window of `wanted` size goes on a screen's `available` area:
// centred, shrunk to fit but not below `minimum`, never off its top or left.
QRect fitOnScreen(QSize wanted, QSize minimum, const QRect& available);

// What would replace or drop results that were not saved.
enum class UnsavedBefore { closing, ripping };

// Asks whether to save results before the window closes or a rip replaces
// them: Save, Discard or Cancel.
QMessageBox::StandardButton askUnsavedResults(QWidget* window, UnsavedBefore before);

// What the window works with besides its controls. The defaults are the real
// ones; tests replace them to act between two chosen lines of a rip, to make
// a save fail part way, or to answer the question before closing.
struct WindowServices {
    PumpPolicy pump;  // when a rip lets events run; its clock also times the rip
    ListSaver::BlockWriter writeBlock = ListSaver::writeWhole;  // how Save writes
    std::function<QMessageBox::StandardButton(QWidget*, UnsavedBefore)> askUnsaved =
        askUnsavedResults;
};

// The window `Kolvane`: every setting of a rip, the source path and a preview
// line, the result list, the four buttons and the status line. The controls are
// the settings; the rip reads them afresh after every event pass. Controls and
// handlers are named for what they are and do.
class MainWindow : public QWidget {
    Q_OBJECT

  public:
    // `dialogs` shows the open and save choosers; it must outlive the window.
    explicit MainWindow(FileDialogs& dialogs, WindowServices services = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Takes the file named by the bytes `path` as the source: shown decoded
    // in sourcePathEdit, its first line into previewLine, or "No file
    // opened...". What a confirmed open dialog, a dropped file and `kolvane
    // FILE` all do. The bytes are kept: a name that is not UTF-8 still opens.
    void loadSource(const std::string& path);
    void loadSource(const QString& path);

  public slots:
    void onLoadClicked();
    void onRipClicked();
    void onToFileClicked();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // A drag over the window, and its drop.
    bool event(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A file dragged over a text box is the window's, not the box's.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLayout* buildSourceRow();
    // The split and join strings, the fields box, the check boxes.
    QLayout* buildFieldsGrid();
    void buildSettingsFrame();
    // The result list, the status line, file-to-file mode, "Save" and "Stop".
    QLayout* buildBottomRow();
    // The rows in the window, inside a scroll area for small screens.
    void assemble(QLayout* sourceRow, QLayout* bottomRow);
    void describeControls();
    void chainTabOrder();
    void placeOnScreen();
    void keepFrameOnScreen();
    void connectSignals();
    void connectKeys();

    // The settings as the controls hold them now, a template's names turned
    // into numbers; where results go; whether the first record holds names.
    Settings settings() const;
    ResultsTo resultsTo() const;
    bool namesOn() const;
    // The field list a plain rip takes now, names turned into numbers;
    // nullopt for a blank box, which keeps the last one.
    std::optional<FieldList> ripFields() const;
    // Moves the window to `next` and applies what actionsOf() says for it;
    // the list hides for a rip when hideListCheck says so at its start.
    void enter(WindowState next);
    // Escape and "Stop": a rip stops at its next event pass, a save gives up.
    void stopWork();
    void showProgress(const Progress& progress);
    // The progress bar and "Stop", once the work has lasted long enough.
    void showBusy(std::uint64_t done, std::optional<std::uint64_t> total);
    void ripFinished(const RunResult& result);
    // Before results not saved go: whether to go on (after a save that
    // worked, or a discard).
    bool mayDropResults(UnsavedBefore before);
    // Saves the list through the save dialog, on another thread: true when
    // saved, false when nothing was, nullopt while it is still being written
    // (saveFinished() tells the end).
    std::optional<bool> saveList();
    void saveFinished(const std::optional<QString>& why, const QString& path);
    // Loads the source (`load`) or shows its next line, as the user asked,
    // reading off the window's thread. Asks made while one is read wait
    // their turn, so each means what it would have meant at once.
    void askPreview(bool load);
    void runPreview();
    // Gives up the preview being read and any asked, at once.
    void dropPreview();
    // Shows `bytes`, line `line` of the source (0: typed by hand), in previewLine.
    void setPreview(PreviewLine bytes, std::int64_t line);

    // Answers a drag or drop: accepted only for one local file while loading is allowed.
    void takeDrop(QDropEvent* event);
    // previewLine's tooltip: its line's numbered fields and the result line that
    // the settings as they are now would give for it.
    void updateFieldTip();
    // One of the handlers' fixed status texts; `why` (the system's reason, when
    // there is one) goes into the tooltip.
    void showStatus(const QString& text, const QString& why = QString());
    // The source path as the rip, the load and >> all take it: the bytes it
    // was given as while sourcePathEdit still shows them, else the box's text
    // in the file system's encoding.
    std::string sourcePath() const;

    // Names, quotes, the suggestion and the warnings.
    QWidget* buildSuggestionBar();
    void connectSettingsHelp();
    // Guesses the loaded source's format off the window's thread and offers
    // what the settings lack; nothing changes until the user accepts.
    void guessSource();
    void offerSuggestion(const Suggestion& suggestion);
    // The offer as the settings in use leave it: the load's until answered,
    // then only what offerAgain() finds.
    void reconsiderOffer();
    void applySuggestion();
    // The red outline and tooltip on a box the window cannot use as it stands.
    void updateWarnings();
    // With names on, reads the source's first record on a thread of its
    // own (it may be hundreds of MB), then rips; without, rips at once.
    void ripWithHeader(std::unique_ptr<ByteSource> source, const std::string& path);
    void rip(std::unique_ptr<ByteSource> source, const std::string& path);
    // After a rip into the list: the hint when every result is empty.
    void hintAtEmptyResults();
    // After a rip into a file: which file, how many lines went there and
    // how many it holds now (counted off the window's thread).
    void hintAtAppended(bool sameFileThroughout);
    // Shows `text` in statusHintLabel (empty: hides it), `tip` as its tooltip.
    void showHint(const QString& text, const QString& tip = QString());
    // How the results are written, as the hints say it: " as UTF-8", or the
    // source's own bytes where they are no UTF-8.
    QString writtenAs() const;

    // Source row
    QLineEdit* sourcePathEdit = nullptr;
    QPushButton* loadButton = nullptr;
    QPushButton* ripButton = nullptr;
    // Settings frame
    QGroupBox* settingsFrame = nullptr;
    QLineEdit* splitEdit = nullptr;
    QLineEdit* joinEdit = nullptr;
    QLineEdit* fieldsEdit = nullptr;
    QCheckBox* skipEmptyCheck = nullptr;
    QCheckBox* hideListCheck = nullptr;
    QCheckBox* templateCheck = nullptr;
    QCheckBox* quotedCheck = nullptr;
    QCheckBox* headerCheck = nullptr;
    QLineEdit* previewLine = nullptr;
    QPushButton* nextLineButton = nullptr;
    // The offer of settings a loaded source seems to want
    QWidget* suggestionBar = nullptr;
    QLabel* suggestionLabel = nullptr;
    QPushButton* useSuggestionButton = nullptr;
    QPushButton* dismissSuggestionButton = nullptr;
    // Result list and bottom row
    ResultView* resultList = nullptr;
    ElidingLabel* statusLabel = nullptr;
    // What the last rip or save did, in words, and what an empty result
    // means: on a line of its own above the status line, wrapped, never cut.
    QLabel* statusHintLabel = nullptr;
    QCheckBox* toFileCheck = nullptr;
    QPushButton* saveButton = nullptr;
    // Beyond the original controls: a rip's progress and its "Stop" button,
    // which takes the place of the disabled "Save" once a rip runs long
    // enough to notice, and Escape, which stops a rip too.
    QProgressBar* ripProgress = nullptr;
    QPushButton* stopButton = nullptr;
    QStackedWidget* saveOrStop_ = nullptr;
    QShortcut* stopKey_ = nullptr;
    QScrollArea* scroll_ = nullptr;     // holds every control
    ColumnGrid* columnGrid_ = nullptr;  // the first records' columns, under the settings

    // What the handlers share besides the controls, the results, and the
    // helpers behind them.
    std::int64_t previewLineNumber_ = 0;  // 1-based number of the line the preview shows
    std::string outputPath_;              // output file of file-to-file mode
    std::string startDir_;                // current directory when the window loaded
    ResultStore store_;
    ResultModel* model_ = nullptr;
    RipSession* session_ = nullptr;
    CommonDialog fileDialog_;
    SourcePreview preview_;
    ListSaver saver_;
    std::function<QMessageBox::StandardButton(QWidget*, UnsavedBefore)> askUnsaved_;
    std::function<std::chrono::steady_clock::time_point()> now_;
    // The bytes previewLine shows decoded, whether they are only the start of their
    // line, and their line of the source (0: typed).
    std::string previewBytes_;
    bool previewCut_ = false;
    std::int64_t previewShown_ = 0;
    // The source path's bytes as given, and how its lines show: the split and
    // join strings typed mean the bytes the user sees.
    std::optional<std::string> sourcePathBytes_;
    ShownAs sourceShownAs_ = ShownAs::utf8;
    // The source's start as the engine reads it: its header record and names,
    // what a record gives, why results are empty.
    SourceSession source_;
    Suggestion offered_;
    SourceGuess guessed_;         // of the loaded source
    bool offerAnswered_ = false;  // used, dismissed, or a setting it is about changed

    WindowState state_ = WindowState::idle;
    std::chrono::steady_clock::time_point busySince_;
    // Where the focus went when a state disabled the button that had it; it
    // goes back to that button at idle unless the user moved on.
    struct ParkedFocus {
        QPushButton* button = nullptr;
        QWidget* at = nullptr;
    } parked_;
    // The user answered Save to closing: once the rip has stopped, save; once
    // saved, close.
    bool closePending_ = false;
    bool frameFitted_ = false;  // the window manager's frame was brought on screen

    using PreviewAnswer = Expected<std::optional<PreviewLine>>;
    std::deque<bool> previewAsks_;  // true: a load, false: ">>"
    // Where the running rip's results went when it started.
    ResultsTo ripTo_;
    std::unique_ptr<SaveControl> saveControl_;
    QTimer* saveTicker_ = nullptr;
    // Last: they end their threads before what those threads use goes.
    BackgroundTask<PreviewAnswer> previewTask_;
    BackgroundTask<std::optional<QString>> saveTask_;
    BackgroundTask<SourceGuess> guessTask_;
    BackgroundTask<std::optional<std::uint64_t>> countTask_;
    BackgroundTask<Expected<SourceSession::TakenHeader>> headerTask_;
};

}  // namespace kolvane
