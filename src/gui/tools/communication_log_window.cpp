#include "tools/communication_log_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/registry_store.h"

namespace qvx::gui {

namespace {

constexpr int kRefreshMs = 200;

QPushButton* AddButton(QHBoxLayout* row, const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    row->addWidget(button);
    return button;
}

std::string DefaultLogFilePath() {
    const std::filesystem::path folder = std::filesystem::path(RegistryStore::DefaultPath()).parent_path();
    std::error_code ignored;  // a folder that cannot be made shows as a file that cannot be opened
    std::filesystem::create_directories(folder, ignored);
    return (folder / "communication.log").string();
}

}  // namespace

CommunicationLogWindow::CommunicationLogWindow(LogRing& ring, QWidget* parent)
    : QWidget(parent, Qt::Window), ring_(ring) {
    setObjectName("communicationLogWindow");
    setWindowTitle("Communication Log");
    text_ = new QPlainTextEdit;
    text_->setObjectName("logText");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setMaximumBlockCount(static_cast<int>(LogRing::kDefaultCapacity));

    auto* buttons = new QHBoxLayout;
    follow_ = new QCheckBox("Follow new entries");
    follow_->setObjectName("followCheck");
    follow_->setChecked(true);
    buttons->addWidget(follow_);
    buttons->addStretch();
    connect(AddButton(buttons, "&Copy", "copyButton"), &QPushButton::clicked, this,
            &CommunicationLogWindow::copyAll);
    connect(AddButton(buttons, "&Save...", "saveButton"), &QPushButton::clicked, this,
            &CommunicationLogWindow::save);
    connect(AddButton(buttons, "C&lear", "clearButton"), &QPushButton::clicked, this,
            &CommunicationLogWindow::clear);
    connect(AddButton(buttons, "Close", "closeButton"), &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(&timer_, &QTimer::timeout, this, &CommunicationLogWindow::refresh);
    timer_.start(kRefreshMs);
    refresh();
}

void CommunicationLogWindow::refresh() {
    std::uint64_t newest = 0;
    const std::vector<LogEntry> entries = ring_.Since(shown_up_to_, newest);
    shown_up_to_ = newest;
    if (entries.empty())
        return;
    QString lines;
    for (const LogEntry& entry : entries) {
        if (!lines.isEmpty())
            lines += '\n';
        lines += QString::fromStdString(FormatLogEntry(entry));
    }
    QScrollBar* bar = text_->verticalScrollBar();
    const int kept_position = bar->value();
    text_->appendPlainText(lines);
    if (follow_->isChecked())
        bar->setValue(bar->maximum());
    else
        bar->setValue(kept_position);
}

void CommunicationLogWindow::copyAll() {
    QApplication::clipboard()->setText(text_->toPlainText());
}

bool CommunicationLogWindow::saveTo(const QString& path) {
    QFile file(path);
    const QByteArray bytes = (text_->toPlainText() + '\n').toUtf8();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         file.write(bytes) == bytes.size() && file.flush();
    if (!written) {
        QMessageBox box(QMessageBox::Warning, "Communication Log",
                        QString("The log could not be saved to %1:\n%2").arg(path, file.errorString()),
                        QMessageBox::NoButton, this);
        box.addButton(QMessageBox::Ok)->setObjectName("okButton");
        box.exec();
    }
    return written;
}

void CommunicationLogWindow::save() {
    const QString path = QFileDialog::getSaveFileName(this, "Save Communication Log", "communication.log",
                                                      "Log Files (*.log *.txt);;All Files (*)");
    if (!path.isEmpty())
        saveTo(path);
}

void CommunicationLogWindow::clear() {
    // Only the window forgets: a file log keeps everything.
    text_->clear();
    ring_.Clear();
}

LogRing& GuiLogRing() {
    static const std::shared_ptr<LogRing> ring = [] {
        auto created = std::make_shared<LogRing>(LogLevel::Debug);
        ProgramLog().AddSink(created);
        return created;
    }();
    return *ring;
}

void StartGuiLogging() {
    GuiLogRing();
    const char* value = std::getenv("QVX_LOG");
    if (!value || !*value)
        return;
    const auto setting = ParseLogSetting(value);
    if (!setting) {
        std::fprintf(
            stderr, "quorvix: QVX_LOG=%s: expected debug, info, warning or error, optionally :FILE\n", value);
        return;
    }
    if (setting->level == LogLevel::Off)
        return;
    std::string error;
    const std::string path = setting->path.empty() ? DefaultLogFilePath() : setting->path;
    if (auto sink = FileLogSink::Open(setting->level, path, error))
        ProgramLog().AddSink(std::move(sink));
    else
        std::fprintf(stderr, "quorvix: the communication log cannot be written: %s\n", error.c_str());
}

void ShowCommunicationLog(QWidget* parent) {
    static QPointer<CommunicationLogWindow> window;
    if (!window) {
        window = new CommunicationLogWindow(GuiLogRing(), parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace qvx::gui
