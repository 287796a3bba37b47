#pragma once
// The Internet or modem address book: the book's entries in a table, with New, Edit and Delete,
// and Select when a connection dialog opens it to pick a sensor. The book is written back after
// every change.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "connect/address_book.h"

class QPushButton;
class QTableWidget;

namespace qvx {
class RegistryStore;
}

namespace qvx::gui {

class DialogPrompts;

class AddressBookDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { Browse, Select };

    AddressBookDialog(AddressBookKind kind, Mode mode, RegistryStore& registry, DialogPrompts& prompts,
                      QWidget* parent = nullptr);
    ~AddressBookDialog() override;

    // Finds the book file (asking the user to choose or create one when needed) and loads it.
    // False when the user declined to choose a file or the file could not be opened.
    bool openBook();
    // openBook() and then the dialog; Rejected when the book could not be opened.
    int run();
    // File > Address Book > New: asks for a book file (a new name creates it, an existing one
    // is taken as it is), remembers it as the book in use and opens it.
    bool openNewBook();
    int runNew();

    // The entry chosen with Select.
    std::optional<AddressBookEntry> selectedEntry() const { return selected_; }
    const AddressBookFile* book() const { return book_.get(); }

    // The entry dialog for New and Edit; tests replace it to fill the fields without a person.
    using EntryEditor = std::function<std::optional<AddressBookEntry>(const AddressBookEntry* existing)>;
    void setEntryEditor(EntryEditor editor) { entry_editor_ = std::move(editor); }

  public slots:
    void newEntry();
    void editEntry();
    void deleteEntry();
    void selectEntry();

  private:
    void buildWidgets();
    void updateWidgets();
    void fillTable();
    bool chooseBookFile();
    int currentRow() const;
    std::optional<AddressBookEntry> runEntryDialog(const AddressBookEntry* existing);
    void reportWriteResult(bool written);

    AddressBookKind kind_;
    Mode mode_;
    RegistryStore& registry_;
    DialogPrompts& prompts_;
    std::unique_ptr<AddressBookFile> book_;
    std::optional<AddressBookEntry> selected_;
    EntryEditor entry_editor_;
    QTableWidget* table_ = nullptr;
    QPushButton* new_button_ = nullptr;
    QPushButton* edit_button_ = nullptr;
    QPushButton* delete_button_ = nullptr;
    QPushButton* select_button_ = nullptr;
    QPushButton* close_button_ = nullptr;
};

}  // namespace qvx::gui
