#include "export/export_file_step.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qvx::gui {

namespace {

QString ChooseLogToExport(QWidget* parent, const QString& current) {
    return QFileDialog::getOpenFileName(parent, "Export File", current, "Quorvix Log (*.log);;All Files (*)");
}

}  // namespace

ExportFileStep::ExportFileStep(QWidget* parent) : QWidget(parent) {
    auto* intro = new QLabel(
        "To export an interval or download log file to another format, complete the steps below and press "
        "<<Continue>>.");
    intro->setTextFormat(Qt::PlainText);
    intro->setWordWrap(true);
    file_ = new QLineEdit;
    file_->setObjectName("exportFile");
    file_->setMinimumWidth(360);
    browse_ = new QPushButton("&Browse...");
    browse_->setObjectName("browse");
    format_ = new QComboBox;
    format_->setObjectName("exportFormat");
    format_->addItems({kExportFormat3Card, kExportFormatCsv});
    chart_ = new QPushButton("C&hart of the Log...");
    chart_->setObjectName("chart");
    continue_ = new QPushButton("&Continue");
    continue_->setObjectName("continue");
    continue_->setDefault(true);
    quit_ = new QPushButton("&Quit");
    quit_->setObjectName("quit");

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel("Export File"), 0, 0);
    fields->addWidget(file_, 0, 1);
    fields->addWidget(browse_, 0, 2);
    fields->addWidget(new QLabel("Export Format"), 1, 0);
    fields->addWidget(format_, 1, 1);
    fields->addWidget(chart_, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(continue_);
    buttons->addWidget(quit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);

    chooser_ = [this](const QString& current) { return ChooseLogToExport(this, current); };
    connect(browse_, &QPushButton::clicked, this, &ExportFileStep::browse);
    connect(chart_, &QPushButton::clicked, this, &ExportFileStep::chartRequested);
    connect(continue_, &QPushButton::clicked, this, &ExportFileStep::continueRequested);
    connect(quit_, &QPushButton::clicked, this, &ExportFileStep::quitRequested);
}

void ExportFileStep::showChoice(const ImportChoice& choice) {
    file_->setText(QString::fromStdString(choice.file));
    format_->setCurrentText(QString::fromStdString(choice.format));
}

ImportChoice ExportFileStep::choice() const {
    return {file_->text().trimmed().toStdString(), format_->currentText().toStdString()};
}

void ExportFileStep::browse() {
    const QString chosen = chooser_(file_->text());
    if (!chosen.isEmpty())
        file_->setText(chosen);
}

}  // namespace qvx::gui
