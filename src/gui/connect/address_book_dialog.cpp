#include "connect/address_book_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "connect/address_book_entry_dialog.h"
#include "connect/dialog_prompts.h"
#include "connect/dialog_widgets.h"
#include "platform/registry_store.h"

namespace qvx::gui {

namespace {

constexpr const char* kNoEntrySelectedTitle = "No entry was selected...";

}  // namespace

AddressBookDialog::AddressBookDialog(AddressBookKind kind, Mode mode, RegistryStore& registry,
                                     DialogPrompts& prompts, QWidget* parent)
    : QDialog(parent), kind_(kind), mode_(mode), registry_(registry), prompts_(prompts) {
    setWindowTitle(kind == AddressBookKind::Internet ? "IP Address Book" : "Modem Address Book");
    buildWidgets();
    updateWidgets();
}

AddressBookDialog::~AddressBookDialog() = default;

void AddressBookDialog::buildWidgets() {
    const std::vector<std::string>& columns = AddressBookColumns(kind_);
    table_ = new QTableWidget(0, static_cast<int>(columns.size()));
    table_->setObjectName("entryTable");
    QStringList headings;
    for (const std::string& column : columns) {
        headings << Qs(column);
    }
    table_->setHorizontalHeaderLabels(headings);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setTabKeyNavigation(false);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &AddressBookDialog::updateWidgets);
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this] { mode_ == Mode::Select ? selectEntry() : editEntry(); });

    new_button_ = new QPushButton("&New...");
    edit_button_ = new QPushButton("&Edit...");
    delete_button_ = new QPushButton("&Delete");
    select_button_ = new QPushButton("&Select");
    close_button_ = new QPushButton(mode_ == Mode::Select ? "Cancel" : "&Close");
    new_button_->setObjectName("newButton");
    edit_button_->setObjectName("editButton");
    delete_button_->setObjectName("deleteButton");
    select_button_->setObjectName("selectButton");
    close_button_->setObjectName("closeButton");
    select_button_->setVisible(mode_ == Mode::Select);
    select_button_->setDefault(mode_ == Mode::Select);
    close_button_->setDefault(mode_ == Mode::Browse);
    connect(new_button_, &QPushButton::clicked, this, &AddressBookDialog::newEntry);
    connect(edit_button_, &QPushButton::clicked, this, &AddressBookDialog::editEntry);
    connect(delete_button_, &QPushButton::clicked, this, &AddressBookDialog::deleteEntry);
    connect(select_button_, &QPushButton::clicked, this, &AddressBookDialog::selectEntry);
    connect(close_button_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {select_button_, new_button_, edit_button_, delete_button_}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    buttons->addWidget(close_button_);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    resize(kind_ == AddressBookKind::Internet ? 720 : 520, 320);
}

void AddressBookDialog::updateWidgets() {
    bool open = book_ != nullptr;
    // Edit, Delete and Select stay available without a selection: they say what is missing.
    for (QPushButton* button : {new_button_, edit_button_, delete_button_, select_button_}) {
        button->setEnabled(open);
    }
}

bool AddressBookDialog::openBook() {
    AddressBookLocation location = LocateAddressBook(registry_);
    std::string path = location.path;
    if (!location.ready) {
        if (!prompts_.confirm(this, kChooseBookTitle, Qs(location.message)) || !chooseBookFile()) {
            return false;
        }
        path = registry_.GetString(kKeyAddressBook, kAddressBookPathValue).value_or("");
    }
    auto book = std::make_unique<AddressBookFile>(path, kind_);
    if (!book->Load()) {
        const std::string why = book->load_problem();
        prompts_.warn(this, kBookErrorTitle,
                      Qs(why.empty() ? kBookNotOpenedText : std::string(kBookNotOpenedText) + "\n" + why));
        return false;
    }
    book_ = std::move(book);
    fillTable();
    updateWidgets();
    return true;
}

bool AddressBookDialog::chooseBookFile() {
    QString file = prompts_.chooseFile(this, kChooseBookTitle, kBookFileFilter, kBookDefaultSuffix);
    if (file.isEmpty()) {
        return false;
    }
    if (auto error = AdoptAddressBookFile(registry_, file.toStdString())) {
        prompts_.warn(this, kBookErrorTitle, Qs(*error));
        return false;
    }
    return true;
}

int AddressBookDialog::run() {
    return openBook() ? exec() : QDialog::Rejected;
}

bool AddressBookDialog::openNewBook() {
    return chooseBookFile() && openBook();
}

int AddressBookDialog::runNew() {
    return openNewBook() ? exec() : QDialog::Rejected;
}

void AddressBookDialog::fillTable() {
    table_->setRowCount(0);
    for (const AddressBookEntry& entry : book_->entries()) {
        int row = table_->rowCount();
        table_->insertRow(row);
        std::vector<std::string> cells = AddressBookRow(kind_, entry);
        for (std::size_t column = 0; column < cells.size(); ++column) {
            table_->setItem(row, static_cast<int>(column), new QTableWidgetItem(Qs(cells[column])));
        }
    }
    table_->resizeColumnsToContents();
}

int AddressBookDialog::currentRow() const {
    QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? -1 : items.first()->row();
}

std::optional<AddressBookEntry> AddressBookDialog::runEntryDialog(const AddressBookEntry* existing) {
    if (entry_editor_) {
        return entry_editor_(existing);
    }
    AddressBookEntryDialog dialog(kind_, existing, prompts_, this);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.entry();
}

void AddressBookDialog::reportWriteResult(bool written) {
    fillTable();
    if (!written) {
        prompts_.warn(this, kBookErrorTitle,
                      QString("The address book %1 could not be written; the file is unchanged.")
                          .arg(Qs(book_->path())));
        book_->Load();
        fillTable();
    }
    updateWidgets();
}

void AddressBookDialog::newEntry() {
    if (!book_) {
        return;
    }
    if (auto entry = runEntryDialog(nullptr)) {
        bool written = book_->Add(*entry);
        reportWriteResult(written);
        if (written) {
            table_->selectRow(table_->rowCount() - 1);
        }
    }
}

void AddressBookDialog::editEntry() {
    int row = currentRow();
    if (!book_ || row < 0) {
        prompts_.inform(this, kNoEntrySelectedTitle, "You must select an entry to modify!");
        return;
    }
    AddressBookEntry existing = book_->entries()[static_cast<std::size_t>(row)];
    if (auto entry = runEntryDialog(&existing)) {
        bool written = book_->Replace(static_cast<std::size_t>(row), *entry);
        reportWriteResult(written);
        table_->selectRow(row);
    }
}

void AddressBookDialog::deleteEntry() {
    int row = currentRow();
    if (!book_ || row < 0) {
        prompts_.inform(this, kNoEntrySelectedTitle, "You must select an entry to remove!");
        return;
    }
    reportWriteResult(book_->Remove(static_cast<std::size_t>(row)));
}

void AddressBookDialog::selectEntry() {
    int row = currentRow();
    if (!book_ || row < 0) {
        prompts_.inform(this, "No entry selected...", "You must select an entry!");
        return;
    }
    selected_ = book_->entries()[static_cast<std::size_t>(row)];
    accept();
}

}  // namespace qvx::gui
