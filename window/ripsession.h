#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <string>

#include "resultstore.h"
#include "windowripper.h"

namespace kolvane {

// The running rip of one window. Between two lines it lets the window's events
// run and then reads the settings afresh, so a setting changed meanwhile takes
// effect from the next line on. The window decides whether a rip may start
// and whether it goes on; the session keeps no state of its own about that.
class RipSession : public QObject, private WindowHost {
    Q_OBJECT

  public:
    // `settings` reads the controls as they are now; `list` takes the results
    // unless `resultsTo` sends them to a file; `goOn`, asked after every event
    // pass, says whether the rip goes on.
    RipSession(ResultStore& list, std::function<Settings()> settings,
               std::function<ResultsTo()> resultsTo, std::function<bool()> goOn, PumpPolicy policy,
               QObject* parent = nullptr);

    std::int64_t ripcount() const { return ripper_.ripcount(); }
    // The clock of the pump policy, which the window times a rip by too.
    const std::function<std::chrono::steady_clock::time_point()>& clock() const { return now_; }
    // The field list the last plain rip parsed, for the preview's tooltip.
    const FieldList& fields() const { return ripper_.fields(); }

    // Starts a rip with the field list of a plain rip (the last one when
    // none is given) and the count at 0.
    void prepare(std::optional<FieldList> fields);
    // Rips every line of `source` and returns when it ends; finished() reports
    // how. The caller keeps rips from nesting.
    void run(ByteSource& source, const std::string& sourceName);

  signals:
    // At every event pass, before the events run.
    void progress(const kolvane::Progress& progress);
    void finished(const kolvane::RunResult& result);

  private:
    Settings settings() override { return settings_(); }
    ResultsTo resultsTo() override { return resultsTo_(); }
    bool pump(const Progress& progress) override;
    bool idle() override;

    std::function<Settings()> settings_;
    std::function<ResultsTo()> resultsTo_;
    std::function<bool()> goOn_;
    std::atomic<bool> stopWanted_{false};
    std::function<std::chrono::steady_clock::time_point()> now_;
    FileOpener opener_;
    WindowRipper ripper_;
};

}  // namespace kolvane
