#pragma once
// Link work of a tool window: one piece at a time on a thread of its own, polled by a timer, with
// a step that runs on the user-interface thread when it is done. The window never waits for the
// link; the work never touches a widget.

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

#include "app/link_work.h"

#include "connect/background_task.h"

namespace qvx::gui {

class ToolWork : public QObject {
    Q_OBJECT
  public:
    explicit ToolWork(QObject* parent = nullptr) : QObject(parent) {
        poll_.setInterval(kPollMs);
        connect(&poll_, &QTimer::timeout, this, &ToolWork::poll);
    }

    bool running() const { return task_.running(); }

    // False (nothing started) while another piece runs.
    bool start(std::function<void()> work, std::function<void()> done = {}) {
        if (task_.running()) {
            return false;
        }
        done_ = std::move(done);
        task_.start(std::move(work));
        poll_.start();
        emit busyChanged(true);
        return true;
    }

    // Waits for the running piece while the user-interface thread keeps serving events (a question
    // the work asks still reaches the user), then runs its done step.
    void finish() {
        if (!task_.running()) {
            return;
        }
        RunLinkWork([this] {
            while (!task_.done()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            }
        });
        poll();
    }

  signals:
    void busyChanged(bool busy);

  private:
    static constexpr int kPollMs = 20;

    void poll() {
        if (!task_.collect()) {
            return;
        }
        poll_.stop();
        if (auto done = std::move(done_)) {
            done();
        }
        emit busyChanged(task_.running());
    }

    BackgroundTask task_;
    QTimer poll_;
    std::function<void()> done_;
};

}  // namespace qvx::gui
