#pragma once

#include <QWidget>
#include <chrono>
#include <memory>
#include <optional>

#include "commondialog.h"
#include "io.h"
#include "listsaver.h"
#include "resultstore.h"
#include "rip.h"
#include "ripstate.h"
#include "sourcepreview.h"

class QCheckBox;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QShortcut;

namespace kolvane {

class ResultModel;
class ResultView;

// The window `Kolvane`: every setting of a rip, the source path and a preview
// line, the result list, the four buttons and the status line. The controls are
// the settings; the rip reads them afresh after every event pass. Controls and
// handlers carry the names the rest of the program knows them by.
class MainWindow : public QWidget, private RipHost {
    Q_OBJECT

  public:
    // `dialogs` shows the open and save choosers; it must outlive the window.
    explicit MainWindow(FileDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // For tests and the benchmark: the state the handlers share (Outfile is
    // normally chosen through Check2), event passes before every line of a
    // rip, so that a test can act between two chosen lines, and a saver that
    // fails on purpose.
    RipState& ripState() { return state_; }
    void setPumpEveryLine(bool on) { ripper_.setPumpEveryLine(on); }
    bool ripping() const { return ripping_; }
    void setListSaver(std::unique_ptr<ListSaver> saver) { saver_ = std::move(saver); }

    // Takes `path` as the source: into Text1, its first line into Text2, or
    // "No file opened...". What a confirmed open dialog, a dropped file and
    // `kolvane FILE` all do.
    void loadSource(const QString& path);

  public slots:
    void Form_Load();
    void Loadfile_Click();
    void Command1_Click();
    void Dorip_Click();
    void Saverip_Click();
    void Check2_Click();
    void List1_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // A file dragged over a text box is the window's, not the box's.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // RipHost: the rip's view of the window.
    Settings settings() override;
    bool pump(const Progress& progress) override;
    std::chrono::milliseconds pumpInterval() const override;

    void buildControls();
    void describeControls();
    void chainTabOrder();
    void placeOnScreen();
    void connectKeys();
    // The progress bar sits in the gap between the list and the bottom row,
    // outside the layout, so that showing it moves nothing.
    void placeProgress();
    void showProgress(const Progress& progress);
    // Answers a drag or drop: accepted only for one local file while idle.
    void takeDrop(QDropEvent* event);
    std::optional<QString> droppableFile(const QMimeData* mime) const;
    // Text2's tooltip: its line's numbered fields and the result line that
    // the settings as they are now would give for it.
    void updateFieldTip();
    // Loadfile, Dorip, Command1 and Saverip, in that order.
    void setButtonsEnabled(bool enabled);
    void showCount(std::int64_t ripcount);
    // One of the handlers' fixed status texts; `why` (the system's reason, when
    // there is one) goes into the tooltip.
    void showStatus(const QString& text, const QString& why = QString());
    // The source path as the rip, the load and >> all take it: Text1, in the
    // file system's encoding.
    std::string sourcePath() const;

    // Source row
    QLineEdit* Text1 = nullptr;
    QPushButton* Loadfile = nullptr;
    QPushButton* Dorip = nullptr;
    // Settings frame
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* SplitChar = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* FieldSep = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* RipFields = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command1 = nullptr;
    // Result list and bottom row
    ResultView* List1 = nullptr;
    QLabel* Statu = nullptr;
    QCheckBox* Check2 = nullptr;
    QPushButton* Saverip = nullptr;
    // Beyond the original controls: rip progress, and Escape to stop a rip.
    QProgressBar* RipProgress = nullptr;
    QShortcut* stopKey_ = nullptr;

    CommonDialog CD;
    SourcePreview preview_;
    std::unique_ptr<ListSaver> saver_;
    RipState state_;
    ResultStore store_;
    FileOpener opener_;
    Ripper ripper_;
    ResultModel* model_ = nullptr;
    bool ripping_ = false;
    // Escape was pressed or the window closed during a rip: it ends at the
    // next event pass.
    bool stopAsked_ = false;
};

}  // namespace kolvane
