#include "protocol/communication_error_dialog.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/palette_colours.h"
#include "base/busy_flag.h"
#include "protocol/busy_cursor.h"
#include "protocol/transaction_result.h"

namespace qvx::gui {
namespace {

// 99999 and above are not taken: the field keeps the old wait until the text is valid again.
constexpr int kMaxResponseWaitMs = 99998;

struct Choice {
    const char* object_name;
    const char* label;
    const char* tooltip;
    TransactionResult result;
};

constexpr Choice kChoices[] = {
    {"retryButton", "Retry", "Try executing the operation again", TransactionResult::Retry},
    {"ignoreButton", "Ignore", "Ignore the error and continue execution", TransactionResult::Ignore},
    {"cancelButton", "Cancel", "Cancel the operation; return to previous state", TransactionResult::Cancel},
    {"exitButton", "Exit", "Exit Quorvix Manager", TransactionResult::Exit},
};

QString DisplayText(const std::string& text) {
    return QString::fromStdString(text).replace("\r\n", "\n");
}

}  // namespace

CommunicationErrorDialog::CommunicationErrorDialog(const CommunicationErrorReport& report,
                                                   ConnectionState& state, QWidget* parent)
    : QDialog(parent), state_(state) {
    setWindowTitle("Communication error...");
    buildWidgets(report);
    updateWidgets();
}

void CommunicationErrorDialog::buildWidgets(const CommunicationErrorReport& report) {
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    error_label_ = new QLabel(DisplayText(report.error_text));
    error_label_->setObjectName("errorText");
    QFont error_font = error_label_->font();
    error_font.setBold(true);
    error_font.setPointSizeF(error_font.pointSizeF() * 1.5);
    error_label_->setFont(error_font);
    ColourText(error_label_, TextMeaning::Error);

    auto* question = new QLabel("How should Quorvix Manager proceed?...");
    question->setObjectName("questionText");

    auto* message = new QVBoxLayout;
    message->addWidget(error_label_);
    message->addWidget(question);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(8);
    top->addLayout(message, 1);

    auto* buttons = new QHBoxLayout;
    for (const Choice& choice : kChoices) {
        auto* button = new QPushButton(choice.label);
        button->setObjectName(choice.object_name);
        button->setToolTip(choice.tooltip);
        button->setAutoDefault(false);
        const TransactionResult result = choice.result;
        connect(button, &QPushButton::clicked, this, [this, result] { finishWith(result); });
        button->setDefault(result == TransactionResult::Retry);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    details_button_ = new QPushButton;
    details_button_->setObjectName("detailsButton");
    details_button_->setToolTip("Click to view communication error details");
    details_button_->setAutoDefault(false);
    connect(details_button_, &QPushButton::clicked, this, &CommunicationErrorDialog::toggleDetails);
    buttons->addWidget(details_button_);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // the window grows and shrinks with the details
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    details_panel_ = buildDetailsPanel(report);
    layout->addWidget(details_panel_);
}

QWidget* CommunicationErrorDialog::buildDetailsPanel(const CommunicationErrorReport& report) {
    auto* panel = new QWidget;
    panel->setObjectName("detailsPanel");

    details_text_ = new QPlainTextEdit(DisplayText(report.details));
    details_text_->setObjectName("detailsText");
    details_text_->setReadOnly(true);
    details_text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    details_text_->setFixedHeight(details_text_->fontMetrics().lineSpacing() * 7 + 12);
    details_text_->setMinimumWidth(details_text_->fontMetrics().horizontalAdvance(QString(46, 'M')));

    wait_field_ = new QLineEdit(QString::number(state_.response_wait_ms.load()));
    wait_field_->setObjectName("responseWaitField");
    wait_field_->setAlignment(Qt::AlignRight);
    wait_field_->setFixedWidth(wait_field_->fontMetrics().horizontalAdvance("0000000") + 12);
    connect(wait_field_, &QLineEdit::textChanged, this, &CommunicationErrorDialog::takeResponseWait);

    auto* wait_row = new QHBoxLayout;
    wait_row->addWidget(new QLabel("Additional Response Wait Time:"));
    wait_row->addWidget(wait_field_);
    wait_row->addWidget(new QLabel("ms"));
    wait_row->addStretch(1);

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(separator);
    layout->addWidget(details_text_);
    layout->addLayout(wait_row);
    return panel;
}

void CommunicationErrorDialog::updateWidgets() {
    details_panel_->setVisible(details_shown_);
    details_button_->setText(details_shown_ ? "<< Hide" : "Details >>");
}

void CommunicationErrorDialog::toggleDetails() {
    details_shown_ = !details_shown_;
    updateWidgets();
}

void CommunicationErrorDialog::takeResponseWait(const QString& text) {
    bool is_number = false;
    const int wait_ms = text.trimmed().toInt(&is_number);
    if (is_number && wait_ms >= 0 && wait_ms <= kMaxResponseWaitMs)
        state_.response_wait_ms = wait_ms;
}

TransactionResult CommunicationErrorDialog::run() {
    return static_cast<TransactionResult>(exec());
}

void CommunicationErrorDialog::reject() {
    finishWith(TransactionResult::Cancel);
}

void CommunicationErrorDialog::finishWith(TransactionResult result) {
    // Retry keeps the program busy while the exchange runs again; every other answer ends it.
    if (result == TransactionResult::Retry) {
        busy_flag::Set();
    } else {
        busy_flag::Clear();
    }
    BusyCursor::sync();
    done(ResultCode(result));
}

}  // namespace qvx::gui
