#pragma once
// The main window's status bar: the link, the sensor, the response wait, the last good exchange
// and logging, refreshed every second; a warning icon and text replace the quiet look when the
// sensor stopped answering or the link dropped.

#include <QStatusBar>
#include <QTimer>
#include <functional>

#include "app/link_status.h"

class QLabel;

namespace qvx::gui {

class LinkStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    static constexpr int kRefreshMs = 1000;

    using Source = std::function<LinkStatusInputs()>;
    explicit LinkStatusBar(Source source, QWidget* parent = nullptr);

    void refresh();
    LinkHealth health() const { return health_; }
    QString text() const;  // every field, " | " between them (tests, screen readers)

  private:
    QLabel* addField(const char* name);

    Source source_;
    QTimer timer_;
    LinkHealth health_ = LinkHealth::NotConnected;
    QLabel* warning_icon_ = nullptr;
    QLabel* warning_ = nullptr;
    QLabel* link_ = nullptr;
    QLabel* sensor_ = nullptr;
    QLabel* wait_ = nullptr;
    QLabel* last_ = nullptr;
    QLabel* logging_ = nullptr;
};

}  // namespace qvx::gui
