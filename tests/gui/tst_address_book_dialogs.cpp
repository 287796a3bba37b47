#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>

#include "connect/address_book_dialog.h"
#include "connect/address_book_entry_dialog.h"
#include "platform/registry_store.h"
#include "support/find_child.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

namespace {

std::string ReadAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteAll(const QString& path, const std::string& content) {
    std::ofstream(path.toStdString(), std::ios::binary) << content;
}

const std::string kBook =
    "Internet?sensor-north?10.0.0.5?4001?0012?North approach?\n"
    "Modem?5551234?0001?Depot?\n"
    "Internet??192.168.1.20?10001??Unnamed unit?\n";

QLineEdit* Octet(const AddressBookEntryDialog& dialog, int index) {
    return qvx::test::Child<QLineEdit>(&dialog, qPrintable(QString("octetField%1").arg(index)));
}

}  // namespace

class TstAddressBookDialogs : public QObject {
    Q_OBJECT
  private:
    QTemporaryDir dir_;
    std::unique_ptr<RegistryStore> registry_;
    gui::test::ScriptedDialogPrompts prompts_;
    QString book_path_;

  private slots:
    void init() {
        registry_ = std::make_unique<RegistryStore>(dir_.filePath("registry").toStdString());
        prompts_ = gui::test::ScriptedDialogPrompts();
        book_path_ = dir_.filePath("book.abf");
        WriteAll(book_path_, kBook);
        registry_->CreateKey(kKeyAddressBook);
        registry_->SetString(kKeyAddressBook, kAddressBookPathValue, book_path_.toStdString());
        qunsetenv("QVX_HOSTS_FILE");
    }
    void cleanup() { QFile::remove(dir_.filePath("registry")); }

    void firstUseAsksForABookAndCancelClosesIt() {
        RegistryStore fresh(dir_.filePath("fresh-registry").toStdString());
        prompts_.confirm_answer = false;
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, fresh, prompts_);
        QVERIFY(!dialog.openBook());
        QCOMPARE(prompts_.asked,
                 QStringList{"Open/create Quorvix address book...|You must open/create a Quorvix "
                             "address book file (*.abf)..."});
    }

    void chosenFileIsCreatedAndRemembered() {
        RegistryStore fresh(dir_.filePath("fresh-registry2").toStdString());
        prompts_.chosen_file = dir_.filePath("created.abf");
        AddressBookDialog dialog(AddressBookKind::Modem, AddressBookDialog::Mode::Browse, fresh, prompts_);
        QVERIFY(dialog.openBook());
        QVERIFY(QFile::exists(prompts_.chosen_file));
        QCOMPARE(prompts_.asked.last(),
                 QString("Open/create Quorvix address book...|Address book files (*.abf*)|abf"));
        QCOMPARE(fresh.GetString(kKeyAddressBook, kAddressBookPathValue).value_or(""),
                 prompts_.chosen_file.toStdString());
        QCOMPARE(qvx::test::Child<QTableWidget>(&dialog, "entryTable")->rowCount(), 0);
    }

    // New chooses another book even while one is in use, and opens it.
    void newCreatesAndSwitchesToAnotherBook() {
        prompts_.chosen_file = dir_.filePath("second.abf");
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, *registry_,
                                 prompts_);
        QVERIFY(dialog.openNewBook());
        QVERIFY(QFile::exists(prompts_.chosen_file));
        QCOMPARE(prompts_.asked,
                 QStringList{"Open/create Quorvix address book...|Address book files (*.abf*)|abf"});
        QCOMPARE(registry_->GetString(kKeyAddressBook, kAddressBookPathValue).value_or(""),
                 prompts_.chosen_file.toStdString());
        QCOMPARE(qvx::test::Child<QTableWidget>(&dialog, "entryTable")->rowCount(), 0);
        QCOMPARE(ReadAll(book_path_), kBook);  // the old book is untouched

        prompts_.chosen_file.clear();  // Cancel in the file chooser keeps the book in use
        AddressBookDialog cancelled(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, *registry_,
                                    prompts_);
        QVERIFY(!cancelled.openNewBook());
        QCOMPARE(registry_->GetString(kKeyAddressBook, kAddressBookPathValue).value_or(""),
                 dir_.filePath("second.abf").toStdString());
    }

    // A device or pipe chosen as the book is refused with the reason, never read.
    void deviceAsBookSaysWhy() {
        registry_->SetString(kKeyAddressBook, kAddressBookPathValue, "/dev/zero");
        prompts_.confirm_answer = false;
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, *registry_,
                                 prompts_);
        QVERIFY(!dialog.openBook());
        QCOMPARE(prompts_.asked.first(), QString("Open/create Quorvix address book...|Could not open address "
                                                 "book!\nClick <OK> to open or create an [*abf] file."));
    }

    void vanishedBookSaysSoBeforeAskingForAFile() {
        registry_->SetString(kKeyAddressBook, kAddressBookPathValue, dir_.filePath("gone.abf").toStdString());
        prompts_.confirm_answer = false;
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, *registry_,
                                 prompts_);
        QVERIFY(!dialog.openBook());
        QCOMPARE(prompts_.asked.first(), QString("Open/create Quorvix address book...|Could not open address "
                                                 "book!\nClick <OK> to open or create an [*abf] file."));
    }

    void internetBookListsItsRows() {
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Browse, *registry_,
                                 prompts_);
        QVERIFY(dialog.openBook());
        QTableWidget* table = qvx::test::Child<QTableWidget>(&dialog, "entryTable");
        QCOMPARE(table->columnCount(), 5);
        QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("IP Alias"));
        QCOMPARE(table->horizontalHeaderItem(4)->text(), QString("Description"));
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 0)->text(), QString("[Unknown]"));
        QCOMPARE(table->item(1, 1)->text(), QString("192.168.1.20"));
        QVERIFY(!qvx::test::Child<QPushButton>(&dialog, "selectButton")->isVisible());
        dialog.show();
        table->selectRow(0);
        gui::test::SaveScreenshot(dialog, "address_book_dialog");
    }

    void actionsWithoutSelectionSayWhatIsMissing() {
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Select, *registry_,
                                 prompts_);
        QVERIFY(dialog.openBook());
        qvx::test::Child<QPushButton>(&dialog, "editButton")->click();
        qvx::test::Child<QPushButton>(&dialog, "deleteButton")->click();
        qvx::test::Child<QPushButton>(&dialog, "selectButton")->click();
        QCOMPARE(prompts_.asked, (QStringList{"No entry was selected...|You must select an entry to modify!",
                                              "No entry was selected...|You must select an entry to remove!",
                                              "No entry selected...|You must select an entry!"}));
        QCOMPARE(ReadAll(book_path_), kBook);
    }

    void selectHandsTheEntryBack() {
        AddressBookDialog dialog(AddressBookKind::Internet, AddressBookDialog::Mode::Select, *registry_,
                                 prompts_);
        QVERIFY(dialog.openBook());
        qvx::test::Child<QTableWidget>(&dialog, "entryTable")->selectRow(0);
        qvx::test::Child<QPushButton>(&dialog, "selectButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.selectedEntry().has_value());
        QCOMPARE(dialog.selectedEntry()->alias, std::string("sensor-north"));
        QCOMPARE(dialog.selectedEntry()->tcp_port, std::string("4001"));
    }

    void newEditAndDeleteWriteTheBookBack() {
        AddressBookDialog dialog(AddressBookKind::Modem, AddressBookDialog::Mode::Browse, *registry_,
                                 prompts_);
        QVERIFY(dialog.openBook());
        AddressBookEntry typed;
        typed.phone_number = "5550000";
        dialog.setEntryEditor(
            [&](const AddressBookEntry*) { return std::optional<AddressBookEntry>(typed); });
        qvx::test::Child<QPushButton>(&dialog, "newButton")->click();
        QCOMPARE(ReadAll(book_path_), std::string("Internet?sensor-north?10.0.0.5?4001?0012?North approach?\n"
                                                  "Internet??192.168.1.20?10001??Unnamed unit?\n"
                                                  "Modem?5551234?0001?Depot?\n"
                                                  "Modem?5550000???\n"));
        auto* entry_table = qvx::test::Child<QTableWidget>(&dialog, "entryTable");
        entry_table->selectRow(0);
        typed.description = "Depot 2";
        qvx::test::Child<QPushButton>(&dialog, "editButton")->click();
        QCOMPARE(entry_table->item(0, 2)->text(), QString("Depot 2"));
        entry_table->selectRow(1);
        qvx::test::Child<QPushButton>(&dialog, "deleteButton")->click();
        QCOMPARE(entry_table->rowCount(), 1);
        QVERIFY(ReadAll(book_path_).find("Modem?5550000??Depot 2?\n") != std::string::npos);
        QVERIFY(ReadAll(book_path_).find("5551234") == std::string::npos);
    }

    void entryFieldsCorrectTypingAndGateOk() {
        AddressBookEntryDialog dialog(AddressBookKind::Internet, nullptr, prompts_);
        QCOMPARE(dialog.windowTitle(), QString("New Entry"));
        auto* ok_button = qvx::test::Child<QPushButton>(&dialog, "okButton");
        QVERIFY(!ok_button->isEnabled());
        auto* alias_field = qvx::test::Child<QLineEdit>(&dialog, "aliasField");
        QTest::keyClicks(alias_field, "sensor north#1");
        QCOMPARE(alias_field->text(), QString("sensornorth1"));
        QVERIFY(!ok_button->isEnabled());
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "portField"), "70000");
        QCOMPARE(qvx::test::Child<QLineEdit>(&dialog, "portField")->text(), QString("65535"));
        QVERIFY(ok_button->isEnabled());
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "sensorIdField"), "001234");
        QCOMPARE(qvx::test::Child<QLineEdit>(&dialog, "sensorIdField")->text(), QString("0012"));

        alias_field->clear();
        QVERIFY(!ok_button->isEnabled());
        const char* octets[] = {"10", "0", "0", "300"};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!ok_button->isEnabled());
            QTest::keyClicks(Octet(dialog, i), octets[i]);
        }
        QCOMPARE(Octet(dialog, 3)->text(), QString("255"));
        QVERIFY(ok_button->isEnabled());
        QCOMPARE(dialog.entry().ip_address, std::string("10.0.0.255"));
        dialog.show();
        gui::test::SaveScreenshot(dialog, "address_book_entry_dialog");
    }

    void modemEntryNeedsOnlyTheNumber() {
        AddressBookEntry existing;
        existing.phone_number = "5551234";
        AddressBookEntryDialog dialog(AddressBookKind::Modem, &existing, prompts_);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Edit Entry"));
        QVERIFY(!qvx::test::Child<QLineEdit>(&dialog, "portField")->isVisible());
        QVERIFY(!Octet(dialog, 0)->isVisible());
        QVERIFY(qvx::test::Child<QPushButton>(&dialog, "okButton")->isEnabled());
        // Phone numbers are not aliases: their characters are kept.
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "aliasField"), " #9");
        QCOMPARE(qvx::test::Child<QLineEdit>(&dialog, "aliasField")->text(), QString("5551234 #9"));
        gui::test::SaveScreenshot(dialog, "address_book_entry_dialog_modem");
    }

    void editingUnknownAliasStartsEmpty() {
        AddressBookEntry existing;
        existing.alias = "[Unknown]";
        existing.ip_address = "192.168.1.20";
        existing.tcp_port = "10001";
        AddressBookEntryDialog dialog(AddressBookKind::Internet, &existing, prompts_);
        QCOMPARE(qvx::test::Child<QLineEdit>(&dialog, "aliasField")->text(), QString());
        QCOMPARE(Octet(dialog, 2)->text(), QString("1"));
        QVERIFY(qvx::test::Child<QPushButton>(&dialog, "okButton")->isEnabled());
    }

    void okRegistersTheAliasInTheHostsFile() {
        QString hosts = dir_.filePath("hosts");
        WriteAll(hosts, "127.0.0.1\tlocalhost\n192.168.9.9 north\n");
        qputenv("QVX_HOSTS_FILE", hosts.toLocal8Bit());
        AddressBookEntryDialog dialog(AddressBookKind::Internet, nullptr, prompts_);
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "aliasField"), "north");
        const char* octets[] = {"10", "0", "0", "5"};
        for (int i = 0; i < 4; ++i) {
            QTest::keyClicks(Octet(dialog, i), octets[i]);
        }
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "portField"), "4001");
        qvx::test::Child<QPushButton>(&dialog, "okButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.hostsUpdate(), HostsUpdate::Replaced);
        QCOMPARE(ReadAll(hosts), std::string("127.0.0.1\tlocalhost\n10.0.0.5\tnorth\n"));
        QVERIFY(prompts_.asked.isEmpty());
    }

    // /proc/version can be read but never written, whatever the privileges of the test.
    void unwritableHostsFileIsReportedButTheEntryStays() {
        qputenv("QVX_HOSTS_FILE", "/proc/version");
        AddressBookEntryDialog dialog(AddressBookKind::Internet, nullptr, prompts_);
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "aliasField"), "qvx-sensor-alias");
        const char* octets[] = {"10", "0", "0", "5"};
        for (int i = 0; i < 4; ++i) {
            QTest::keyClicks(Octet(dialog, i), octets[i]);
        }
        QTest::keyClicks(qvx::test::Child<QLineEdit>(&dialog, "portField"), "4001");
        qvx::test::Child<QPushButton>(&dialog, "okButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.hostsUpdate(), HostsUpdate::WriteFailed);
        QCOMPARE(prompts_.asked.size(), 1);
        QVERIFY(prompts_.asked.first().contains("could not be written"));
        QCOMPARE(dialog.entry().alias, std::string("qvx-sensor-alias"));
    }
};

QTEST_MAIN(TstAddressBookDialogs)
#include "tst_address_book_dialogs.moc"
