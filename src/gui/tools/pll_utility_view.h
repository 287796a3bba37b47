#pragma once
// "PLL Utility": the frequency synthesizer's three registers, one tab each ("Latches",
// "R Counter", "N Counter"), as named fields, a binary string and hexadecimal; "Refresh" reads a
// register, "Edit" opens its fields and "Submit" writes and reads it back, "Cancel" leaves editing.

#include <array>
#include <optional>

#include "app/working_view.h"
#include "tools/pll_registers.h"
#include "tools/tool_work.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace qvx {
class AppContext;
}

namespace qvx::gui {

class PllUtilityView : public WorkingView {
    Q_OBJECT
  public:
    explicit PllUtilityView(AppContext& app, QWidget* parent = nullptr);
    ~PllUtilityView() override;
    ViewCode viewCode() const override { return ViewCode::PllUtility; }
    bool shutdown() override;

    struct Tab {
        PllRegister reg;
        QWidget* page = nullptr;
        QLabel* binary = nullptr;
        QLabel* hex = nullptr;
        QPushButton* left = nullptr;   // "Refresh" / "Cancel"
        QPushButton* right = nullptr;  // "Edit" / "Submit"
        bool editing = false;
        QList<QWidget*> fields;
    };

    const Tab& tab(PllRegister reg) const { return tabs_of_[Index(reg)]; }
    bool busy() const { return work_.running(); }

    // The value the tab's fields give now.
    std::uint32_t fieldsValue(PllRegister reg);

  public slots:
    void refresh(PllRegister reg);
    void edit(PllRegister reg);
    void submit(PllRegister reg);
    void cancel(PllRegister reg);

  private:
    static std::size_t Index(PllRegister reg) { return static_cast<std::size_t>(reg); }
    QWidget* buildTab(PllRegister reg, QWidget* fields_box);
    QWidget* buildLatchFields();
    QWidget* buildDividerFields(PllRegister reg);
    void showValue(PllRegister reg, std::uint32_t value);
    void updateDisplays(PllRegister reg);
    void clampRatioField(PllRegister reg);
    void refreshAll();
    void finishRead(PllRegister reg, const PllRead& read);
    void updateWidgets();

    AppContext& app_;
    ToolWork work_;
    std::array<Tab, 3> tabs_of_;
    std::array<PllRead, 3> reads_{};
    TransactionResult write_result_ = TransactionResult::NoResponse;
    bool busy_link_ = false;
    bool stopped_ = false;

    QTabWidget* tabs_ = nullptr;
    QLineEdit* n_ratio_ = nullptr;
    QCheckBox* go_bit_ = nullptr;
    QLineEdit* r_ratio_ = nullptr;
    QCheckBox* ld_precision_ = nullptr;
    std::array<QCheckBox*, 5> latch_boxes_{};
    QComboBox* fold_ = nullptr;
    QComboBox* fastlock_ = nullptr;
    QComboBox* timeout_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace qvx::gui
