#include "app/chooser_view.h"

#include <QTimer>
#include <QVBoxLayout>

#include "app/main_window.h"
#include "connect/connection_type_chooser.h"

namespace qvx::gui {

ChooserView::ChooserView(MainWindow& main_window, QWidget* parent) : WorkingView(parent) {
    setObjectName("chooserView");
    chooser_ = new ConnectionTypeChooser;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chooser_);
    // The connection closes this view; start it once the click has been handled.
    connect(chooser_, &ConnectionTypeChooser::connectionChosen, this, [&main_window](LinkKind kind) {
        QTimer::singleShot(0, &main_window, [&main_window, kind] { main_window.newConnection(kind); });
    });
}

}  // namespace qvx::gui
