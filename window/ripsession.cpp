#include "ripsession.h"

#include <QCoreApplication>

namespace kolvane {

RipSession::RipSession(ResultStore& list, std::function<Settings()> settings, PumpPolicy policy,
                       QObject* parent)
    : QObject(parent),
      settings_(std::move(settings)),
      now_(policy.now),
      ripper_(list, opener_, std::move(policy)) {}

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

bool RipSession::idle() {
    QCoreApplication::processEvents();
    return !stopAsked_;
}

bool RipSession::pump(const Progress& progress) {
    emit this->progress(progress);
    QCoreApplication::processEvents();
    return !stopAsked_;
}

}  // namespace kolvane
