#include "ripsession.h"

#include <QCoreApplication>

namespace kolvane {

RipSession::RipSession(ResultStore& list, std::function<Settings()> settings,
                       std::function<bool()> goOn, PumpPolicy policy, QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      goOn_(std::move(goOn)),
      now_(policy.now),
      ripper_(list, opener_, std::move(policy)) {}

void RipSession::prepare(const Settings& settings) {
    ripper_.prepare(settings);
}

void RipSession::run(ByteSource& source, const std::string& sourceName) {
    const RunResult result = ripper_.run(source, sourceName, *this);
    emit finished(result);
}

bool RipSession::pump(const Progress& progress) {
    emit this->progress(progress);
    QCoreApplication::processEvents();
    return goOn_();
}

}  // namespace kolvane
