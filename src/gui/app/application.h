#pragma once
// The desktop program: one application context (connection state, link, registry, named
// objects) with the prompts that answer on the user-interface thread, and the main window.

#include <QString>
#include <memory>

#include "context/app_context.h"
#include "protocol/gui_prompts.h"
#include "protocol/sensor_operations.h"

namespace qvx::gui {

class MainWindow;
struct MainWindowOptions;

// Hands every question to the prompts set later (the GUI prompts need the context's connection
// state, which does not exist before the context), and keeps the captions and texts of the
// messages for the tests.
class PromptsRelay : public UserPrompts {
  public:
    void setTarget(UserPrompts* target) { target_ = target; }
    TransactionResult CommunicationError(const CommunicationErrorReport& report) override;
    bool Message(const MessageRequest& request) override;
    bool Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
             const std::string& no_label) override;

    // "caption|text" of every message and question, in order.
    std::vector<std::string> asked() const;

  private:
    UserPrompts* target_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::string> asked_;
    void record(const std::string& caption, const std::string& text);
};

class Application {
  public:
    explicit Application(const MainWindowOptions& options);
    ~Application();

    AppContext& context() { return context_; }
    MainWindow& window() { return *window_; }
    PromptsRelay& prompts() { return relay_; }

  private:
    PromptsRelay relay_;
    AppContext context_;
    GuiPrompts gui_prompts_;
    SensorOperations operations_;
    std::unique_ptr<MainWindow> window_;
};

// Creates the logs key, reads the command line, builds the main window and runs it.
int StartApplication(int argc, char** argv);

}  // namespace qvx::gui
