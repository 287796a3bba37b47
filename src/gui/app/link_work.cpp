#include "app/link_work.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <thread>

#include "base/busy_flag.h"
#include "protocol/busy_cursor.h"

namespace qvx::gui {

namespace {
int running_count = 0;
}

void RunLinkWork(const std::function<void()>& work) {
    ++running_count;
    busy_flag::Set();
    BusyCursor::sync();
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        work();
        done.store(true);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The quit may be posted before the loop runs; the check below catches that case.
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done.load())
            loop.quit();
    });
    check.start(50);
    if (!done.load())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    if (--running_count == 0) {
        busy_flag::Clear();
        BusyCursor::sync();
    }
}

bool LinkWorkRunning() {
    return running_count > 0;
}

}  // namespace qvx::gui
