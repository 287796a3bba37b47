#include "app/link_status_bar.h"

#include <QLabel>
#include <QStyle>

namespace qvx::gui {

LinkStatusBar::LinkStatusBar(Source source, QWidget* parent)
    : QStatusBar(parent), source_(std::move(source)) {
    setObjectName("linkStatusBar");
    setSizeGripEnabled(true);
    warning_icon_ = new QLabel;
    const int icon_size = style()->pixelMetric(QStyle::PM_SmallIconSize);
    warning_icon_->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(icon_size, icon_size));
    addWidget(warning_icon_);
    warning_ = addField("statusWarning");
    QFont bold = warning_->font();
    bold.setBold(true);
    warning_->setFont(bold);
    link_ = addField("statusLink");
    sensor_ = addField("statusSensor");
    wait_ = addField("statusResponseWait");
    last_ = addField("statusLastAnswer");
    logging_ = addField("statusLogging");
    connect(&timer_, &QTimer::timeout, this, &LinkStatusBar::refresh);
    timer_.start(kRefreshMs);
    refresh();
}

QLabel* LinkStatusBar::addField(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setContentsMargins(4, 0, 4, 0);
    addWidget(label);
    return label;
}

void LinkStatusBar::refresh() {
    const LinkStatus status = DescribeLinkStatus(source_());
    health_ = status.health;
    auto show = [](QLabel* label, const std::string& text) {
        label->setText(QString::fromStdString(text));
        label->setVisible(!text.empty());
    };
    show(warning_, status.warning);
    warning_icon_->setVisible(!status.warning.empty());
    show(link_, status.link);
    show(sensor_, status.sensor);
    show(wait_, status.response_wait);
    show(last_, status.last_exchange);
    show(logging_, status.logging);
}

QString LinkStatusBar::text() const {
    QStringList fields;
    for (const QLabel* label : {warning_, link_, sensor_, wait_, last_, logging_}) {
        if (!label->text().isEmpty())
            fields << label->text();
    }
    return fields.join(" | ");
}

}  // namespace qvx::gui
