#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "backgroundtask.h"
#include "sourcesession.h"

class QCheckBox;
class QLineEdit;
class QTableView;
class QTimer;

namespace kolvane {

class ColumnModel;
class ElidingLabel;

// The column grid: the source's first records split by the settings as they
// are now, a numbered column for each field, the chosen ones marked with
// their places in the result, and a last column with what each record gives.
// Clicking a column's header (or Space on its cell) adds that field to the
// field box, or takes it out again. "Show columns" shows or hides it.
class ColumnGrid : public QWidget {
    Q_OBJECT

  public:
    // Records shown at most, and fields of a record.
    static constexpr std::size_t kRecords = 200;
    static constexpr std::size_t kColumns = 100;

    // Where the grid takes the settings (a template's names resolved), the
    // template as typed, the field list a rip would use when the box holds
    // none, and the source's start: its sample, which the grid reads and
    // keeps there, its names and what a record gives.
    struct Sources {
        std::function<Settings()> settings;
        std::function<std::string()> typedTemplate;
        std::function<FieldList()> lastParse;
        SourceSession* session;
    };

    // Clicks edit `fieldsEdit`, which must outlive the grid.
    ColumnGrid(QLineEdit* fieldsEdit, Sources sources, QWidget* parent = nullptr);

    // Reads the first lines of the file at `path` afresh, off the window's
    // thread; an empty path empties the grid.
    void loadSource(const std::string& path);
    // Whether the first record holds the columns' names: it is then no row.
    void setHeaderNames(bool on);
    // Shows the grid for the settings as they are now, after a short pause
    // that lets a burst of changes cost one refresh.
    void refreshSoon();

    // The controls, in tab order.
    QCheckBox* showCheck() const { return showColumnsCheck; }
    QTableView* table() const { return columnTable; }

  signals:
    // The source's sample is in the session: its names are known.
    void sampleRead();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void refresh();
    // Adds field `column` + 1 to the field box, or takes it out when chosen.
    void toggle(int column);

    QCheckBox* showColumnsCheck = nullptr;
    ElidingLabel* noteLabel = nullptr;  // what is read, what failed, what is cut
    QTableView* columnTable = nullptr;
    ColumnModel* model_ = nullptr;
    QLineEdit* fieldsEdit_;
    Sources sources_;
    QTimer* pause_ = nullptr;
    bool header_ = false;
    QString readNote_;                // the sample is being read, or why it could not be
    std::vector<std::string> names_;  // the header's, when header_
    // Last: it ends its thread before what the thread uses goes.
    BackgroundTask<Expected<SampleText>> reader_;
};

}  // namespace kolvane
