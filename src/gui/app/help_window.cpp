#include "app/help_window.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QTextBrowser>

#include "app/version.h"

namespace qvx::gui {

namespace {
struct Topic {
    const char* title;
    const char* html;
};

const Topic kTopics[] = {
    {"Getting started",
     "<h2>Getting started</h2><p>Quorvix Manager connects to one Quorvix traffic radar sensor at a time. "
     "Choose the kind of connection in the first page (<b>Serial</b>, <b>Modem</b> or <b>Internet</b>) "
     "or use <i>File &gt; New Connection</i>.</p><p>After connecting, the program checks the sensor's "
     "configuration minimums and firmware, synchronises the sensor clock with the PC and opens the view "
     "that fits the sensor: Lane Configuration while the sensor still configures its lanes, otherwise the "
     "traffic display.</p>"},
    {"Menus",
     "<h2>Menus</h2><p>The menus follow the sensor's operating mode. Side-fire sensors offer <i>Lane "
     "Configuration</i>, <i>Traffic (Event Data)</i> and <i>Interval Data</i>; forward-fire sensors offer "
     "<i>Traffic</i>. Items that need a sensor are greyed while none is connected.</p>"},
    {"Sensor clock",
     "<h2>Sensor clock</h2><p><i>Edit &gt; Sensor Date &amp; Time</i> shows the running sensor clock. Edit "
     "the date and time and press <b>Save Changes</b>, or <b>Synchronize to PC</b> to set it to the PC's "
     "UTC time. With automatic synchronisation on, the program resets the clock every N minutes while "
     "connected.</p>"},
    {"Closing",
     "<h2>Closing a connection</h2><p><i>File &gt; Close Connection</i> protects the sensor's command "
     "firewall again, restores push mode (and multi-drop reporting) and releases the port or socket. A "
     "warning tells when something could not be restored.</p>"},
    {"Hot keys",
     "<h2>Hot keys</h2><table cellpadding='4'><tr><td><b>Ctrl+S</b></td><td>Sensor information</td></tr>"
     "<tr><td><b>Ctrl+H</b></td><td>Terminal</td></tr><tr><td><b>Ctrl+U</b></td><td>Firmware upload</td></tr>"
     "<tr><td><b>Ctrl+D</b></td><td>Offline menu items (no sensor connected)</td></tr></table>"},
};

QPointer<HelpWindow> open_window;
}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString(kProgramName) + " Help");
    setObjectName("helpWindow");
    contents_ = new QListWidget;
    contents_->setObjectName("helpContents");
    contents_->setMaximumWidth(180);
    page_ = new QTextBrowser;
    page_->setObjectName("helpPage");
    for (const Topic& topic : kTopics)
        contents_->addItem(topic.title);
    connect(contents_, &QListWidget::currentRowChanged, this,
            [this](int row) { page_->setHtml(row >= 0 ? kTopics[row].html : ""); });
    contents_->setCurrentRow(0);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(contents_);
    layout->addWidget(page_, 1);
    resize(640, 420);
}

int HelpWindow::topicCount() const {
    return contents_->count();
}

void HelpWindow::showHelp(QWidget* parent) {
    if (!open_window) {
        open_window = new HelpWindow(parent);
        open_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    open_window->show();
    open_window->raise();
}

}  // namespace qvx::gui
