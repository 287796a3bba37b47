#include "firmware/compatibility_dialog.h"

#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/palette_colours.h"

namespace qvx::gui {

namespace {

namespace outcome = compatibility_outcome;

QTableWidgetItem* TableCell(const std::string& text, bool differs) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignCenter);
    if (differs) {
        item->setBackground(AttentionBackground(QGuiApplication::palette()));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
    }
    return item;
}

}  // namespace

CompatibilityDialog::CompatibilityDialog(const CompatibilityState& state, QWidget* parent)
    : QDialog(parent), upload_possible_(state.plan() != upload_plan::kNone) {
    setWindowTitle(kIncompatibleWindowTitle);
    setModal(true);

    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    auto* text = new QLabel(kIncompatibleWindowText);
    text->setWordWrap(true);
    text->setMinimumWidth(380);
    auto* message = new QHBoxLayout;
    message->addWidget(icon, 0, Qt::AlignTop);
    message->addWidget(text, 1);

    upload_button_ = new QPushButton("UPLOAD");
    continue_button_ = new QPushButton("Continue w/o upload");
    exit_button_ = new QPushButton("Exit Quorvix Manager");
    details_button_ = new QPushButton;
    upload_button_->setObjectName("uploadButton");
    continue_button_->setObjectName("continueButton");
    exit_button_->setObjectName("exitButton");
    details_button_->setObjectName("detailsButton");
    upload_button_->setDefault(upload_possible_);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {upload_button_, continue_button_, exit_button_, details_button_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    connect(upload_button_, &QPushButton::clicked, this, [this] {
        if (upload_possible_) {
            done(outcome::kUpload);
        }
    });
    connect(continue_button_, &QPushButton::clicked, this, [this] { done(outcome::kContinue); });
    connect(exit_button_, &QPushButton::clicked, this, [this] { done(outcome::kExit); });
    connect(details_button_, &QPushButton::clicked, this, &CompatibilityDialog::toggleDetails);

    details_ = buildDetails(state);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message);
    layout->addLayout(buttons);
    layout->addWidget(details_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    updateWidgets();
}

QWidget* CompatibilityDialog::buildDetails(const CompatibilityState& state) {
    auto* details = new QWidget;
    table_ = new QTableWidget(static_cast<int>(state.rows.size()), 2, details);
    table_->setObjectName("comparisonTable");
    table_->setHorizontalHeaderLabels({kSensorColumn, kManagerColumn});
    QStringList labels;
    for (int row = 0; row < static_cast<int>(state.rows.size()); ++row) {
        const ComparisonRow& compared = state.rows[row];
        // The marker keeps a difference visible where colours are not.
        labels << QString::fromStdString(compared.label) + (compared.differs ? "  \u2260" : "");
        table_->setItem(row, 0, TableCell(compared.sensor, compared.differs));
        table_->setItem(row, 1, TableCell(compared.manager, compared.differs));
    }
    table_->setVerticalHeaderLabels(labels);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    int height = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    for (int row = 0; row < table_->rowCount(); ++row) {
        height += table_->verticalHeader()->sectionSizeHint(row);
    }
    table_->setFixedHeight(height);

    auto* legend = new QLabel("YY = Year\nAMM = Algorithm / Month\nDD.A = Day.Application Code");
    legend->setObjectName("legend");
    auto* layout = new QVBoxLayout(details);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    layout->addWidget(legend);
    return details;
}

int CompatibilityDialog::Choose(const CompatibilityState& state, QWidget* parent) {
    CompatibilityDialog dialog(state, parent);
    return dialog.exec();
}

void CompatibilityDialog::reject() {
    done(outcome::kExit);
}

void CompatibilityDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        done(outcome::kContinue);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CompatibilityDialog::toggleDetails() {
    details_visible_ = !details_visible_;
    updateWidgets();
}

void CompatibilityDialog::updateWidgets() {
    upload_button_->setEnabled(upload_possible_);
    details_button_->setText(details_visible_ ? "Hide Details" : "View Details");
    details_->setVisible(details_visible_);
    // The dialog grows and shrinks with the details instead of keeping empty space.
    layout()->activate();
    adjustSize();
}

}  // namespace qvx::gui
