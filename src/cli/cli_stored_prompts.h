#pragma once
// The answers qvx gives to the stored-data questions, in front of the --on-error policy.

#include <cstdint>
#include <ostream>
#include <string>

#include "cli_prompts.h"
#include "stored/download.h"
#include "stored/study_setup.h"

namespace qvx::cli {

inline constexpr int kRetriesPerRecord = 5;

// Answers the stored-data questions the way that keeps the data: a record that fails is asked for
// again a few times before it is skipped; data fetched before a stop is saved; a journal found
// is saved; the study's erase warning is taken as given (the command asked for it). Everything
// else goes to the --on-error policy.
class StoredPrompts : public UserPrompts {
  public:
    StoredPrompts(UserPrompts& base, std::ostream& err) : base_(base), err_(err) {}
    void Watch(const DownloadJob* job) { job_ = job; }

    TransactionResult CommunicationError(const CommunicationErrorReport& report) override {
        return base_.CommunicationError(report);
    }
    bool Message(const MessageRequest& request) override { return base_.Message(request); }
    bool Ask(const std::string& caption, const std::string& text, const std::string& yes_label,
             const std::string& no_label) override {
        if (text == kSkipRetryText) {
            return Answer(caption, text, SkipAfterRetries() ? yes_label : no_label) == yes_label;
        }
        if (caption == kSaveAnywayCaption || caption == kJournalQuestionCaption ||
            text == kStudyEraseWarningText) {
            return Answer(caption, text, yes_label) == yes_label;
        }
        return base_.Ask(caption, text, yes_label, no_label);
    }

  private:
    bool SkipAfterRetries() {
        const std::uint32_t index = job_ != nullptr ? job_->index : 0;
        retries_ = index == retry_index_ ? retries_ + 1 : 1;
        retry_index_ = index;
        return retries_ > kRetriesPerRecord;
    }
    const std::string& Answer(const std::string& caption, const std::string& text,
                              const std::string& answer) {
        err_ << "qvx: " << OneLine(caption) << " " << OneLine(text) << " -> " << answer << "\n";
        return answer;
    }

    UserPrompts& base_;
    std::ostream& err_;
    const DownloadJob* job_ = nullptr;
    std::uint32_t retry_index_ = 0;
    int retries_ = 0;
};

}  // namespace qvx::cli
