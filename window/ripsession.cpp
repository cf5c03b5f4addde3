#include "ripsession.h"

#include <QCoreApplication>

namespace kolvane {

RipSession::RipSession(RipState& state, ResultStore& list, std::function<Settings()> settings,
                       PumpPolicy policy, QObject* parent)
    : QObject(parent),
      state_(state),
      settings_(std::move(settings)),
      policy_(std::move(policy)),
      ripper_(state, list, opener_) {
    ripper_.setPumpEveryLine(policy_.interval.count() == 0);
}

void RipSession::prepare(const Settings& settings) {
    if (!running_) ripper_.prepare(settings);
}

void RipSession::run(ByteSource& source, const std::string& sourceName) {
    if (running_) return;
    running_ = true;
    stopAsked_ = false;
    const RunResult result = ripper_.run(source, sourceName, *this);
    running_ = false;
    emit finished(result);
}

bool RipSession::pump(const Progress& progress) {
    emit this->progress(progress);
    QCoreApplication::processEvents();
    return !stopAsked_;
}

std::chrono::milliseconds RipSession::pumpInterval() const {
    return policy_.interval.count() == 0 ? std::chrono::milliseconds{1} : policy_.interval;
}

}  // namespace kolvane
