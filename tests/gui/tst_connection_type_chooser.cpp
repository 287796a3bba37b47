#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

#include "connect/connection_type_chooser.h"
#include "support/find_child.h"
#include "support/scripted_dialog_prompts.h"

using namespace qvx;
using namespace qvx::gui;

class TstConnectionTypeChooser : public QObject {
    Q_OBJECT
  private slots:
    void offersTheThreeKinds() {
        ConnectionTypeChooser chooser;
        QCOMPARE(chooser.findChild<QRadioButton*>("serialButton")->text().remove('&'),
                 QString(" Serial (COM Port)"));
        QCOMPARE(chooser.findChild<QRadioButton*>("modemButton")->text().remove('&'),
                 QString(" Modem (Phone #)"));
        QCOMPARE(chooser.findChild<QRadioButton*>("internetButton")->text().remove('&'),
                 QString(" Internet (TCP/IP)"));
        QVERIFY(chooser.findChild<QRadioButton*>("serialButton")->isChecked());
        chooser.resize(420, 220);
        chooser.show();
        gui::test::SaveScreenshot(chooser, "connection_type_chooser");
    }

    void okEmitsTheChosenKind() {
        ConnectionTypeChooser chooser;
        QSignalSpy spy(&chooser, &ConnectionTypeChooser::connectionChosen);
        const LinkKind kinds[] = {LinkKind::Serial, LinkKind::Modem, LinkKind::Internet};
        for (LinkKind kind : kinds) {
            chooser.setChosenKind(kind);
            qvx::test::Child<QPushButton>(&chooser, "okButton")->click();
        }
        QCOMPARE(spy.count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(spy.at(i).at(0).value<LinkKind>(), kinds[i]);
        }
    }

    void enterOnAChoicePressesOk() {
        ConnectionTypeChooser chooser;
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QSignalSpy spy(&chooser, &ConnectionTypeChooser::connectionChosen);
        chooser.findChild<QRadioButton*>("internetButton")->setFocus();
        QTest::keyClick(chooser.findChild<QRadioButton*>("internetButton"), Qt::Key_Space);
        QTest::keyClick(chooser.findChild<QRadioButton*>("internetButton"), Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).value<LinkKind>(), LinkKind::Internet);
    }
};

QTEST_MAIN(TstConnectionTypeChooser)
#include "tst_connection_type_chooser.moc"
