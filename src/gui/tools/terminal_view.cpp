#include "tools/terminal_view.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "context/app_context.h"

namespace qvx::gui {

namespace {
constexpr int kDisplayPeriodMs = 50;
constexpr int kCommandLineHeight = 38;
}  // namespace

TerminalView::TerminalView(AppContext& app, QWidget* parent)
    : WorkingView(parent), session_(app.link, app.objects) {
    setObjectName("terminalView");
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    command_line_ = new QLineEdit;
    command_line_->setObjectName("commandLine");
    command_line_->setFont(mono);
    command_line_->setMinimumHeight(kCommandLineHeight);
    command_line_->setPlaceholderText("Type here; Enter sends the line");

    output_ = new QPlainTextEdit;
    output_->setObjectName("terminalOutput");
    output_->setReadOnly(true);
    output_->setFont(mono);
    output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    output_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    output_->setMinimumSize(780, 420);  // a console, not a field: it takes most of the window

    character_ = new QRadioButton("Transmit character as each is typed");
    character_->setObjectName("characterMode");
    line_ = new QRadioButton("Transmit only after carriage return");
    line_->setObjectName("lineMode");
    line_->setChecked(true);
    binary_ = new QCheckBox("Binary Mode");
    binary_->setObjectName("binaryMode");
    auto* copy = new QPushButton("Copy All");
    copy->setObjectName("copyAllButton");
    copy->setToolTip("Copy the whole transcript to the clipboard");

    auto* modes = new QHBoxLayout;
    modes->addWidget(character_);
    modes->addWidget(line_);
    modes->addWidget(binary_);
    modes->addStretch(1);
    modes->addWidget(copy);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(command_line_);
    layout->addLayout(modes);
    layout->addWidget(output_, 1);

    connect(command_line_, &QLineEdit::textChanged, this, &TerminalView::edited);
    connect(command_line_, &QLineEdit::returnPressed, this, &TerminalView::entered);
    connect(character_, &QRadioButton::clicked, this, [this] { chooseTextMode(TerminalMode::Character); });
    connect(line_, &QRadioButton::clicked, this, [this] { chooseTextMode(TerminalMode::Line); });
    connect(binary_, &QCheckBox::toggled, this, &TerminalView::binaryToggled);
    connect(copy, &QPushButton::clicked, output_, [this] {
        output_->selectAll();
        output_->copy();
    });
    connect(&display_timer_, &QTimer::timeout, this, &TerminalView::showNewText);

    session_.Start();
    display_timer_.start(kDisplayPeriodMs);
    command_line_->setFocus();
    updateWidgets();
}

TerminalView::~TerminalView() {
    shutdown();
}

bool TerminalView::shutdown() {
    if (stopped_) {
        return true;
    }
    stopped_ = true;
    display_timer_.stop();
    session_.Stop();  // the reader reads in short slices, so this returns promptly
    return true;
}

void TerminalView::edited(const QString& text) {
    const TypingOutcome outcome = session_.Edit(previous_text_.toStdString(), text.toStdString());
    if (outcome.reverted) {
        const QSignalBlocker block(command_line_);
        const int cursor = command_line_->cursorPosition() - 1;
        command_line_->setText(previous_text_);
        command_line_->setCursorPosition(std::max(0, cursor));
        return;
    }
    previous_text_ = text;
}

void TerminalView::entered() {
    session_.Enter(command_line_->text().toStdString());
    const QSignalBlocker block(command_line_);
    command_line_->clear();
    previous_text_.clear();
    showNewText();
}

void TerminalView::chooseTextMode(TerminalMode mode) {
    // Between the two text modes only with an empty command line; otherwise the buttons stay.
    session_.SetTextMode(mode, command_line_->text().isEmpty());
    updateWidgets();
}

void TerminalView::binaryToggled(bool on) {
    session_.SetBinary(on);
    command_line_->setFocus();
    updateWidgets();
}

void TerminalView::showNewText() {
    std::string text = session_.TakeNewText();
    if (text.empty()) {
        return;
    }
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    QTextCursor end(output_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
    output_->verticalScrollBar()->setValue(output_->verticalScrollBar()->maximum());
}

void TerminalView::updateWidgets() {
    const bool binary = session_.mode() == TerminalMode::Binary;
    character_->setEnabled(!binary);
    line_->setEnabled(!binary);
    character_->setChecked(session_.text_mode() == TerminalMode::Character);
    line_->setChecked(session_.text_mode() == TerminalMode::Line);
    command_line_->setPlaceholderText(binary ? "Pairs of hexadecimal digits, e.g. 0a1B; Enter sends the bytes"
                                             : (session_.text_mode() == TerminalMode::Line
                                                    ? "Type a line; Enter sends it with a carriage return"
                                                    : "Each character is sent as it is typed"));
}

}  // namespace qvx::gui
