#pragma once

#include <QWidget>
#include <chrono>

#include "io.h"
#include "resultstore.h"
#include "rip.h"
#include "ripstate.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

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
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // For tests and the benchmark: the state the handlers share (Outfile is
    // normally chosen through Check2), and event passes before every line of a
    // rip, so that a test can act between two chosen lines.
    RipState& ripState() { return state_; }
    void setPumpEveryLine(bool on) { ripper_.setPumpEveryLine(on); }
    bool ripping() const { return ripping_; }

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

  private:
    // RipHost: the rip's view of the window.
    Settings settings() override;
    bool pump(const Progress& progress) override;
    std::chrono::milliseconds pumpInterval() const override;

    void buildControls();
    void chainTabOrder();
    void placeOnScreen();
    // Loadfile, Dorip, Command1 and Saverip, in that order.
    void setButtonsEnabled(bool enabled);
    void showCount(std::int64_t ripcount);

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

    RipState state_;
    ResultStore store_;
    FileOpener opener_;
    Ripper ripper_;
    ResultModel* model_ = nullptr;
    bool ripping_ = false;
    bool closing_ = false;  // the window was closed during a rip
};

}  // namespace kolvane
