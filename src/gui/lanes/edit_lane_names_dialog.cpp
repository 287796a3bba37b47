#include "lanes/edit_lane_names_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace qvx::gui {

namespace {

constexpr int kNameLength = 8;

QString Title(int lanes) {
    if (lanes == 1) {
        return "Edit Lane Name";
    }
    return lanes == 0 ? "Edit Lane Names (0 lanes)" : "Edit Lane Names";
}

}  // namespace

EditLaneNamesDialog::EditLaneNamesDialog(const QStringList& names, int lanes, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(Title(lanes));
    setObjectName("editLaneNamesDialog");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    // The sensor keeps 8 characters of printable text per name.
    auto* printable = new QRegularExpressionValidator(QRegularExpression("[\\x20-\\x7E]{0,8}"), this);
    for (int lane = 0; lane < lanes; ++lane) {
        auto* field = new QLineEdit(lane < names.size() ? names.at(lane).trimmed() : QString(), this);
        field->setMaxLength(kNameLength);
        field->setValidator(printable);
        form->addRow(QString("Lane %1:").arg(lane + 1), field);
        fields_.push_back(field);
    }
    if (lanes == 0) {
        form->addRow(new QLabel("There are no lanes to name.", this));
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QStringList EditLaneNamesDialog::names() const {
    QStringList result;
    for (const QLineEdit* field : fields_) {
        result << field->text();
    }
    return result;
}

}  // namespace qvx::gui
