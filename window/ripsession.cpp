#include "ripsession.h"

#include <QCoreApplication>

namespace kolvane {

RipSession::RipSession(ResultStore& list, std::function<Settings()> settings,
                       std::function<ResultsTo()> resultsTo, std::function<bool()> goOn,
                       PumpPolicy policy, QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      resultsTo_(std::move(resultsTo)),
      goOn_(std::move(goOn)),
      now_(policy.now),
      // The output opens on the rip's thread: a FIFO without a reader is
      // given up as soon as the window asks to stop.
      opener_([this] { return stopWanted_.load(); }),
      ripper_(list, opener_, std::move(policy)) {}

void RipSession::prepare(std::optional<FieldList> fields) {
    ripper_.prepare(fields ? std::move(*fields) : ripper_.fields());
}

void RipSession::run(ByteSource& source, const std::string& sourceName) {
    stopWanted_ = false;
    const RunResult result = ripper_.run(source, sourceName, *this);
    emit finished(result);
}

bool RipSession::idle() {
    QCoreApplication::processEvents();
    // Asks the window, and tells the rip's thread, whether to go on.
    const bool go = goOn_();
    stopWanted_ = !go;
    return go;
}

bool RipSession::pump(const Progress& progress) {
    emit this->progress(progress);
    return idle();
}

}  // namespace kolvane
