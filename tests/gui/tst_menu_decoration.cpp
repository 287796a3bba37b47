// The menu labels' mnemonics and the IP address boxes that act as one field.

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QtTest>

#include "app/menu_decoration.h"
#include "connect/ip_octet_fields.h"

using namespace qvx;
using namespace qvx::gui;

class TstMenuDecoration : public QObject {
    Q_OBJECT
  private slots:
    void mnemonicsPreferWordInitialsAndSkipTakenLetters() {
        QString used;
        QCOMPARE(WithMnemonic("Sensor Info...", used), QString("&Sensor Info..."));
        QCOMPARE(WithMnemonic("Serial", used), QString("S&erial"));
        QCOMPARE(WithMnemonic("Sensor Date && Time", used), QString("Sensor &Date && Time"));
        QCOMPARE(WithMnemonic("Close Connection", used), QString("&Close Connection"));
        QCOMPARE(WithMnemonic("Already &Marked", used), QString("Already &Marked"));
        QVERIFY(used.contains('M'));
        // Nothing left: the label stays as it was.
        QString all = "AB";
        QCOMPARE(WithMnemonic("ab", all), QString("ab"));
    }

    void dialogItemsEndInDots() {
        QCOMPARE(MenuItemLabel(MenuItem::NewSerial, "Serial"), QString("Serial..."));
        QCOMPARE(MenuItemLabel(MenuItem::Exit, "Exit"), QString("Exit"));
        QCOMPARE(MenuItemLabel(MenuItem::ChartLog, "Chart of a Log..."), QString("Chart of a Log..."));
        QCOMPARE(MenuItemLabel(MenuItem::SensorDateTime, "Sensor Date & Time"),
                 QString("Sensor Date && Time"));
    }

    void dottedAddresses() {
        QCOMPARE(SplitDottedAddress(" 192.168.1.20\n"), (std::array<QString, 4>{"192", "168", "1", "20"}));
        QVERIFY(!SplitDottedAddress("192.168.1"));
        QVERIFY(!SplitDottedAddress("192.168.1.256"));
        QVERIFY(!SplitDottedAddress("a.b.c.d"));
        QVERIFY(!SplitDottedAddress("1.2.3.4.5"));
    }

    void dotMovesOnAndPasteFillsAllFour() {
        QWidget holder;
        std::array<QLineEdit*, 4> boxes{};
        for (auto& box : boxes)
            box = new QLineEdit(&holder);
        IpOctetFields::Link(boxes);
        holder.show();
        boxes[0]->setFocus();
        QTest::keyClicks(boxes[0], "10");
        QTest::keyClick(boxes[0], Qt::Key_Period, Qt::NoModifier, '.');
        QCOMPARE(boxes[0]->text(), QString("10"));
        QTRY_VERIFY(boxes[1]->hasFocus());
        // "." in an empty box stays put.
        QTest::keyClick(boxes[1], Qt::Key_Period, Qt::NoModifier, '.');
        QVERIFY(boxes[1]->hasFocus());

        QApplication::clipboard()->setText("172.16.0.9");
        QTest::keySequence(boxes[1], QKeySequence::Paste);
        QCOMPARE(boxes[0]->text() + "." + boxes[1]->text() + "." + boxes[2]->text() + "." + boxes[3]->text(),
                 QString("172.16.0.9"));
    }
};

QTEST_MAIN(TstMenuDecoration)
#include "tst_menu_decoration.moc"
