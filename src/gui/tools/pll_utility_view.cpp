#include "tools/pll_utility_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <deque>

#include "context/app_context.h"
#include "protocol/transaction_result.h"

namespace qvx::gui {

namespace {

constexpr int kMutexWaitMs = 1000;
constexpr const char* kBusyText = "The link is busy with another window; try again.";
constexpr const char* kLatchBoxNames[] = {"Counter Reset", "Power Down", "Phase Detector Polarity",
                                          "CP TRI_STATE", "Power Down Mode"};

// The bits a choice index is written as, so the list shows what goes to the register.
QString ChoiceText(int index, std::uint32_t bits, int width) {
    return QString("%1  (%2)").arg(index).arg(bits, width, 2, QChar('0'));
}

QComboBox* Choices(const char* name, int count, const std::function<std::uint32_t(int)>& bits, int width) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    for (int index = 0; index < count; ++index) {
        combo->addItem(ChoiceText(index, bits(index), width));
    }
    return combo;
}

QString ResultText(PllRegister reg, const PllRead& read) {
    if (read.result == TransactionResult::Ok && !read.value) {
        return QString("The %1 reply carried no register value.").arg(PllRegisterName(reg));
    }
    return QString();
}

}  // namespace

PllUtilityView::PllUtilityView(AppContext& app, QWidget* parent) : WorkingView(parent), app_(app) {
    setObjectName("pllUtilityView");
    auto* title = new QLabel("PLL Utility");
    QFont title_font = title->font();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
    title_font.setBold(true);
    title->setFont(title_font);

    tabs_ = new QTabWidget;
    tabs_->setObjectName("pllTabs");
    tabs_->addTab(buildTab(PllRegister::FunctionLatch, buildLatchFields()), "Latches");
    tabs_->addTab(buildTab(PllRegister::RCounter, buildDividerFields(PllRegister::RCounter)), "R Counter");
    tabs_->addTab(buildTab(PllRegister::NCounter, buildDividerFields(PllRegister::NCounter)), "N Counter");

    status_ = new QLabel;
    status_->setObjectName("statusLabel");
    status_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addWidget(title);
    layout->addWidget(tabs_, 1);
    layout->addWidget(status_);

    connect(&work_, &ToolWork::busyChanged, this, &PllUtilityView::updateWidgets);
    for (PllRegister reg : {PllRegister::FunctionLatch, PllRegister::RCounter, PllRegister::NCounter}) {
        updateDisplays(reg);
    }
    updateWidgets();
    QTimer::singleShot(0, this, &PllUtilityView::refreshAll);
}

PllUtilityView::~PllUtilityView() {
    shutdown();
}

bool PllUtilityView::shutdown() {
    if (!stopped_) {
        stopped_ = true;
        work_.finish();
    }
    return true;
}

QWidget* PllUtilityView::buildTab(PllRegister reg, QWidget* fields_box) {
    Tab& tab = tabs_of_[Index(reg)];
    tab.reg = reg;
    tab.page = new QWidget;
    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    tab.binary = new QLabel;
    tab.binary->setObjectName("binaryDisplay");
    tab.binary->setFont(mono);
    tab.binary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tab.hex = new QLabel;
    tab.hex->setObjectName("hexDisplay");
    tab.hex->setFont(mono);
    tab.hex->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* value_box = new QGroupBox("Register value");
    auto* value_form = new QFormLayout(value_box);
    value_form->addRow("Binary:", tab.binary);
    value_form->addRow("Hexadecimal:", tab.hex);

    tab.left = new QPushButton("Refresh");
    tab.left->setObjectName("refreshButton");
    tab.right = new QPushButton("Edit");
    tab.right->setObjectName("editButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(tab.left);
    buttons->addWidget(tab.right);

    auto* layout = new QVBoxLayout(tab.page);
    layout->addWidget(fields_box);
    layout->addWidget(value_box);
    layout->addStretch(1);
    layout->addLayout(buttons);

    connect(tab.left, &QPushButton::clicked, this,
            [this, reg] { tabs_of_[Index(reg)].editing ? cancel(reg) : refresh(reg); });
    connect(tab.right, &QPushButton::clicked, this,
            [this, reg] { tabs_of_[Index(reg)].editing ? submit(reg) : edit(reg); });
    return tab.page;
}

QWidget* PllUtilityView::buildLatchFields() {
    auto* box = new QGroupBox("Function latch");
    auto* grid = new QGridLayout(box);
    Tab& tab = tabs_of_[Index(PllRegister::FunctionLatch)];
    for (std::size_t k = 0; k < latch_boxes_.size(); ++k) {
        latch_boxes_[k] = new QCheckBox(kLatchBoxNames[k]);
        latch_boxes_[k]->setObjectName(QString("latchBox%1").arg(k));
        grid->addWidget(latch_boxes_[k], static_cast<int>(k), 0);
        tab.fields << latch_boxes_[k];
        connect(latch_boxes_[k], &QCheckBox::toggled, this,
                [this] { updateDisplays(PllRegister::FunctionLatch); });
    }
    fold_ = Choices(
        "foldCombo", 8, [](int i) { return (EncodeFunctionLatch({.fold_output = i}) >> 4) & 7u; }, 3);
    fastlock_ = Choices(
        "fastLockCombo", 5, [](int i) { return (EncodeFunctionLatch({.fastlock_mode = i}) >> 9) & 7u; }, 3);
    timeout_ = Choices(
        "timeoutCombo", 16, [](int i) { return static_cast<std::uint32_t>(i); }, 4);
    const std::pair<const char*, QComboBox*> combos[] = {
        {"Fo/LD Output State", fold_}, {"FastLock Modes", fastlock_}, {"FastLock Timeout Counter", timeout_}};
    int row = 0;
    for (const auto& [label, combo] : combos) {
        grid->addWidget(new QLabel(label), row, 1);
        grid->addWidget(combo, row++, 2);
        tab.fields << combo;
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this] { updateDisplays(PllRegister::FunctionLatch); });
    }
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* PllUtilityView::buildDividerFields(PllRegister reg) {
    const bool n = reg == PllRegister::NCounter;
    auto* box = new QGroupBox(n ? "Main divider" : "Reference divider");
    auto* form = new QFormLayout(box);
    auto* ratio = new QLineEdit;
    ratio->setObjectName(n ? "nRatioField" : "rRatioField");
    ratio->setMaxLength(n ? 6 : 9);
    ratio->setValidator(new QIntValidator(0, 999999999, ratio));
    ratio->setFixedWidth(120);
    auto* flag = new QCheckBox(n ? "Toggle Go Bit" : "Toggle LD Precision Bit");
    flag->setObjectName(n ? "goBitBox" : "precisionBox");
    form->addRow(n ? "Divide Ratio (992 - 262143)" : "Divide Ratio (3 - 16383)", ratio);
    form->addRow(QString(), flag);
    (n ? n_ratio_ : r_ratio_) = ratio;
    (n ? go_bit_ : ld_precision_) = flag;
    tabs_of_[Index(reg)].fields << ratio << flag;
    connect(ratio, &QLineEdit::textChanged, this, [this, reg] { updateDisplays(reg); });
    connect(ratio, &QLineEdit::editingFinished, this, [this, reg] { clampRatioField(reg); });
    connect(flag, &QCheckBox::toggled, this, [this, reg] { updateDisplays(reg); });
    return box;
}

std::uint32_t PllUtilityView::fieldsValue(PllRegister reg) {
    switch (reg) {
        case PllRegister::FunctionLatch: {
            FunctionLatch latch;
            latch.counter_reset = latch_boxes_[0]->isChecked();
            latch.power_down = latch_boxes_[1]->isChecked();
            latch.phase_detector_polarity = latch_boxes_[2]->isChecked();
            latch.cp_tristate = latch_boxes_[3]->isChecked();
            latch.power_down_mode = latch_boxes_[4]->isChecked();
            latch.fold_output = fold_->currentIndex();
            latch.fastlock_mode = fastlock_->currentIndex();
            latch.fastlock_timeout = timeout_->currentIndex();
            return EncodeFunctionLatch(latch);
        }
        case PllRegister::NCounter:
            return EncodeNCounter(
                {ParseDivideRatio(n_ratio_->text().toStdString(), kNRatioMin, kNRatioMax).value,
                 go_bit_->isChecked()});
        case PllRegister::RCounter:
        default:
            return EncodeRCounter(
                {ParseDivideRatio(r_ratio_->text().toStdString(), kRRatioMin, kRRatioMax).value,
                 ld_precision_->isChecked()});
    }
}

void PllUtilityView::showValue(PllRegister reg, std::uint32_t value) {
    Tab& tab = tabs_of_[Index(reg)];
    std::deque<QSignalBlocker> blockers;
    for (QWidget* field : tab.fields) {
        blockers.emplace_back(field);
    }
    if (reg == PllRegister::FunctionLatch) {
        const FunctionLatch latch = DecodeFunctionLatch(value);
        const bool flags[] = {latch.counter_reset, latch.power_down, latch.phase_detector_polarity,
                              latch.cp_tristate, latch.power_down_mode};
        for (std::size_t k = 0; k < latch_boxes_.size(); ++k) {
            latch_boxes_[k]->setChecked(flags[k]);
        }
        fold_->setCurrentIndex(latch.fold_output);
        fastlock_->setCurrentIndex(latch.fastlock_mode);
        timeout_->setCurrentIndex(latch.fastlock_timeout);
    } else {
        const bool n = reg == PllRegister::NCounter;
        const Divider divider = n ? DecodeNCounter(value) : DecodeRCounter(value);
        (n ? n_ratio_ : r_ratio_)->setText(QString::number(divider.ratio));
        (n ? go_bit_ : ld_precision_)->setChecked(divider.flag);
    }
    tab.binary->setText(QString::fromStdString(PllBinaryText(value)));
    tab.hex->setText(QString::fromStdString(PllHexText(value)));
}

void PllUtilityView::updateDisplays(PllRegister reg) {
    const std::uint32_t value = fieldsValue(reg);
    Tab& tab = tabs_of_[Index(reg)];
    tab.binary->setText(QString::fromStdString(PllBinaryText(value)));
    tab.hex->setText(QString::fromStdString(PllHexText(value)));
}

void PllUtilityView::clampRatioField(PllRegister reg) {
    const bool n = reg == PllRegister::NCounter;
    QLineEdit* field = n ? n_ratio_ : r_ratio_;
    const RatioEntry entry = ParseDivideRatio(field->text().toStdString(), n ? kNRatioMin : kRRatioMin,
                                              n ? kNRatioMax : kRRatioMax);
    if (entry.corrected) {
        field->setText(QString::number(entry.value));
    }
}

void PllUtilityView::refreshAll() {
    work_.start(
        [this] {
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            busy_link_ = !lock.held();
            for (std::size_t k = 0; k < reads_.size() && !busy_link_; ++k) {
                reads_[k] = ReadPllRegister(app_.protocol, static_cast<PllRegister>(k));
                if (reads_[k].result == TransactionResult::Cancel) {
                    break;
                }
            }
        },
        [this] {
            status_->setText(busy_link_ ? kBusyText : QString());
            for (std::size_t k = 0; k < reads_.size() && !busy_link_; ++k) {
                finishRead(static_cast<PllRegister>(k), reads_[k]);
            }
        });
}

void PllUtilityView::refresh(PllRegister reg) {
    reads_[Index(reg)] = PllRead{};
    work_.start(
        [this, reg] {
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            busy_link_ = !lock.held();
            if (!busy_link_) {
                reads_[Index(reg)] = ReadPllRegister(app_.protocol, reg);
            }
        },
        [this, reg] {
            status_->setText(busy_link_ ? kBusyText : QString());
            if (!busy_link_) {
                finishRead(reg, reads_[Index(reg)]);
            }
        });
}

void PllUtilityView::finishRead(PllRegister reg, const PllRead& read) {
    if (read.value) {
        showValue(reg, *read.value);
    }
    if (const QString text = ResultText(reg, read); !text.isEmpty()) {
        status_->setText(text);
    }
}

void PllUtilityView::edit(PllRegister reg) {
    tabs_of_[Index(reg)].editing = true;
    updateWidgets();
}

void PllUtilityView::cancel(PllRegister reg) {
    tabs_of_[Index(reg)].editing = false;
    updateWidgets();
}

void PllUtilityView::submit(PllRegister reg) {
    if (reg != PllRegister::FunctionLatch) {
        clampRatioField(reg);
    }
    const std::uint32_t value = fieldsValue(reg);
    updateDisplays(reg);
    reads_[Index(reg)] = PllRead{};
    write_result_ = TransactionResult::NoResponse;
    work_.start(
        [this, reg, value] {
            ScopedTryLock lock(app_.objects.SyncData(), kMutexWaitMs);
            busy_link_ = !lock.held();
            if (busy_link_) {
                return;
            }
            write_result_ = WritePllRegister(app_.protocol, reg, value);
            // Cancel in the communication-error dialog abandons the read-back too.
            if (write_result_ != TransactionResult::Cancel) {
                reads_[Index(reg)] = ReadPllRegister(app_.protocol, reg);
            }
        },
        [this, reg, value] {
            status_->setText(busy_link_ ? kBusyText : QString());
            if (busy_link_) {
                return;
            }
            tabs_of_[Index(reg)].editing = false;
            finishRead(reg, reads_[Index(reg)]);
            const PllRead& back = reads_[Index(reg)];
            if (back.value && *back.value != value) {
                status_->setText(QString("The sensor reads the %1 register back as %2, not %3.")
                                     .arg(PllRegisterName(reg),
                                          QString::fromStdString(PllHexText(*back.value)),
                                          QString::fromStdString(PllHexText(value))));
            }
            updateWidgets();
        });
}

void PllUtilityView::updateWidgets() {
    const bool idle = !work_.running();
    for (Tab& tab : tabs_of_) {
        tab.left->setText(tab.editing ? "Cancel" : "Refresh");
        tab.right->setText(tab.editing ? "Submit" : "Edit");
        tab.left->setEnabled(idle);
        tab.right->setEnabled(idle);
        for (QWidget* field : tab.fields) {
            field->setEnabled(tab.editing && idle);
        }
    }
}

}  // namespace qvx::gui
