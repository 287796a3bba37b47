#include "app/application.h"

#include <QApplication>

#include "app/main_window.h"
#include "app/platform_notices.h"
#include "app/startup.h"

namespace qvx::gui {

TransactionResult PromptsRelay::CommunicationError(const CommunicationErrorReport& report) {
    record("Communication error...", report.error_text);
    return target_ ? target_->CommunicationError(report) : TransactionResult::Ignore;
}

bool PromptsRelay::Message(const MessageRequest& request) {
    record(request.caption, request.text);
    return target_ ? target_->Message(request) : true;
}

bool PromptsRelay::Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
                       const std::string& no_label) {
    record(caption, text);
    return target_ ? target_->Ask(caption, text, yes_label, no_label) : false;
}

std::vector<std::string> PromptsRelay::asked() const {
    std::lock_guard lock(mutex_);
    return asked_;
}

void PromptsRelay::record(const std::string& caption, const std::string& text) {
    std::lock_guard lock(mutex_);
    asked_.push_back(caption + "|" + text);
}

Application::Application(const MainWindowOptions& options)
    : context_(relay_),
      gui_prompts_(context_.state),
      operations_(context_.protocol, context_.objects.SyncData()) {
    relay_.setTarget(&gui_prompts_);
    EnsureLogsKey(context_.registry);
    window_ = std::make_unique<MainWindow>(context_, operations_, options);
}

Application::~Application() {
    window_.reset();
    relay_.setTarget(nullptr);
}

int StartApplication(int argc, char** argv) {
    QApplication qt(argc, argv);
    std::vector<std::string> args;
    // QApplication has taken its own options out of the arguments.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype k = 1; k < arguments.size(); ++k)
        args.push_back(arguments[k].toStdString());
    MainWindowOptions options;
    if (const auto file = PendingAddressFromArgs(args))
        options.pending_address = QString::fromStdString(*file);
    options.auto_connect = AutoConnectFromArgs(args);
    InstallPlatformNotices();
    Application application(options);
    application.window().show();
    ShowStartupNotices(&application.window());
    return QApplication::exec();
}

}  // namespace qvx::gui
