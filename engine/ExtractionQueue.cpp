#include "engine/ExtractionQueue.h"

#include "process/ToolProcess.h"

#include <QThread>
#include <algorithm>

namespace quorvane {

ExtractionQueue::ExtractionQueue(std::size_t limit)
    : _limit(limit > 0 ? limit : static_cast<std::size_t>(std::max(1, QThread::idealThreadCount()))) {}

ExtractionQueue::~ExtractionQueue() { stopAll(); }

void ExtractionQueue::add(Start start) {
    _waiting.push_back(std::move(start));
    startWaiting();
}

void ExtractionQueue::ended(ToolProcess& runner) {
    std::erase(_running, &runner);
    startWaiting();
}

void ExtractionQueue::stopAll() {
    _waiting.clear();
    for (ToolProcess* runner : std::exchange(_running, {})) {
        runner->abandon();
    }
}

void ExtractionQueue::startWaiting() {
    while (_running.size() < _limit && !_waiting.empty()) {
        const Start start = std::move(_waiting.front());
        _waiting.pop_front();
        _running.push_back(start());
    }
}

} // namespace quorvane
