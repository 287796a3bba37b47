#pragma once
// Link work of a live view: one piece at a time on a thread of its own, polled every 20 ms, with
// the busy flag and the wait cursor while it runs; its done step runs on the user-interface
// thread. The view never waits on the link, the work never touches a widget.

#include <QObject>
#include <QTimer>
#include <functional>

#include "connect/background_task.h"

namespace qvx::gui {

class ViewWork : public QObject {
    Q_OBJECT
  public:
    explicit ViewWork(QObject* parent = nullptr);
    ~ViewWork() override;

    // Starts work unless a piece is running; done runs on this thread when it has ended.
    bool run(std::function<void()> work, std::function<void()> done = {});
    bool running() const { return task_.running(); }
    // Waits for running work while events keep flowing (a worker may be waiting for an answer the
    // user gives on this thread); the done step is dropped. For a view that closes.
    void finish();

  signals:
    void finished();

  private:
    void poll();
    void endBusy();

    BackgroundTask task_;
    QTimer poll_;
    std::function<void()> done_;
};

}  // namespace qvx::gui
