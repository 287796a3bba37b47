#include "live/view_work.h"

#include <QCoreApplication>
#include <QThread>

#include "base/busy_flag.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {
constexpr int kPollMs = 20;
}

ViewWork::ViewWork(QObject* parent) : QObject(parent) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &ViewWork::poll);
}

ViewWork::~ViewWork() {
    finish();
}

bool ViewWork::run(std::function<void()> work, std::function<void()> done) {
    if (task_.running()) {
        return false;
    }
    busy_flag::Set();
    BusyCursor::sync();
    done_ = std::move(done);
    task_.start(std::move(work));
    poll_.start();
    return true;
}

void ViewWork::poll() {
    if (!task_.collect()) {
        return;
    }
    poll_.stop();
    endBusy();
    if (auto done = std::move(done_)) {
        done();
    }
    emit finished();
}

void ViewWork::finish() {
    poll_.stop();
    if (!task_.running()) {
        return;
    }
    while (!task_.collect()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    done_ = nullptr;
    endBusy();
}

void ViewWork::endBusy() {
    busy_flag::Clear();
    BusyCursor::sync();
}

}  // namespace qvx::gui
