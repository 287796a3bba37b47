// "Sensor Date and Time" against the simulated sensor: the running display, saving with and
// without the UTC option in a UTC+2 zone, month names typed in part, and the settings.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <cstdlib>
#include <ctime>

#include "app/clock_entry.h"
#include "app/clock_view.h"
#include "app/main_window.h"
#include "modal_driver.h"
#include "support/find_child.h"
#include "support/main_window_harness.h"

using namespace qvx;
using namespace qvx::gui;
using qvx::test::MainWindowHarness;

namespace {

// Seconds since 2000-01-01 00:00:00 of a wall-clock date, worked out without the program's code.
std::int64_t WallClockSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&tm)) - 946684800;
}

void TypeDateTime(ClockView& view) {
    test::Child<QSpinBox>(&view, "yearField")->setValue(2012);
    test::Child<QComboBox>(&view, "monthField")->setCurrentIndex(2);
    test::Child<QSpinBox>(&view, "dayField")->setValue(15);
    test::Child<QSpinBox>(&view, "hourField")->setValue(8);
    test::Child<QSpinBox>(&view, "minuteField")->setValue(30);
    test::Child<QSpinBox>(&view, "secondField")->setValue(0);
}

}  // namespace

class TstClockView : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainWindowHarness> harness_;

    ClockView* openClock() {
        harness_ = std::make_unique<MainWindowHarness>();
        harness_->open();
        if (!harness_->waitConnected())
            return nullptr;
        harness_->window().openView(ViewCode::SensorDateTime);
        return qobject_cast<ClockView*>(harness_->window().currentView());
    }

  private slots:
    void initTestCase() {
        // A zone two hours east of UTC without daylight saving.
        qputenv("TZ", "QVX-2");
        tzset();
    }

    void cleanup() { harness_.reset(); }

    void followsTheRunningSensorClock() {
        ClockView* view = openClock();
        QVERIFY(view);
        QTRY_VERIFY(view->poller().reads() > 0);
        // The fields show the sensor clock in local time, to within the display's step.
        const auto follows = [&] {
            const auto shown = LocalToSensorSeconds(view->fieldsTime(), true);
            const std::int64_t sensor = harness_->sensor().SensorSeconds();
            return shown && sensor - static_cast<std::int64_t>(*shown) >= 0 && sensor - *shown <= 2;
        };
        QTRY_VERIFY(follows());
        QVERIFY(!view->editing());
        QVERIFY(!test::Child<QPushButton>(view, "saveButton")->isEnabled());
        QVERIFY(!harness_->window().menuAction(MenuItem::SensorDateTime)->isEnabled());
        QTest::qWait(300);
        test::SaveScreenshot(&harness_->window(), "clock_view_in_main_window");
        test::SaveScreenshot(view, "clock_view");
    }

    void saveWithAndWithoutUtc_data() {
        QTest::addColumn<bool>("utc");
        QTest::addColumn<int>("shift");
        QTest::newRow("sensor keeps wall-clock time") << false << 0;
        QTest::newRow("sensor keeps UTC, PC at UTC+2") << true << -7200;
    }

    void saveWithAndWithoutUtc() {
        QFETCH(bool, utc);
        QFETCH(int, shift);
        ClockView* view = openClock();
        QVERIFY(view);
        test::Child<QCheckBox>(view, "utcBox")->setChecked(utc);
        TypeDateTime(*view);
        QVERIFY(view->editing());
        QCOMPARE(view->saveChanges(), ClockSave::Saved);
        const std::int64_t written = harness_->sensor().SensorSeconds();
        const std::int64_t expected = WallClockSeconds(2012, 3, 15, 8, 30, 0) + shift;
        QVERIFY2(written >= expected && written <= expected + 2,
                 qPrintable(QString::number(written - expected)));
        QVERIFY(!view->editing());
    }

    void monthTypedInPart_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("month");
        QTest::newRow("SE") << "SE" << 9;
        QTest::newRow("ja") << "ja" << 1;
        QTest::newRow("JUL") << "JUL" << 7;
        QTest::newRow("jun") << "jun" << 6;
        QTest::newRow("MAY") << "MAY" << 5;
        QTest::newRow("Decem") << "Decem" << 12;
        QTest::newRow("JU stays") << "JU" << 3;
        QTest::newRow("MA stays") << "MA" << 3;
        QTest::newRow("nonsense stays") << "Xyz" << 3;
    }

    void monthTypedInPart() {
        QFETCH(QString, typed);
        QFETCH(int, month);
        ClockView* view = openClock();
        QVERIFY(view);
        TypeDateTime(*view);  // March
        QLineEdit* edit = test::Child<QComboBox>(view, "monthField")->lineEdit();
        edit->setText(typed);
        emit edit->editingFinished();
        QCOMPARE(view->fieldsTime().month, month);
        QCOMPARE(edit->text(), QString(kMonthNames[month - 1]));
    }

    void ignoreResumesAndSettingsApply() {
        ClockView* view = openClock();
        QVERIFY(view);
        TypeDateTime(*view);
        QVERIFY(test::Child<QPushButton>(view, "ignoreButton")->isEnabled());
        test::Child<QPushButton>(view, "ignoreButton")->click();
        QVERIFY(!view->editing());
        QTRY_VERIFY(view->fieldsTime().year != 2012);

        test::Child<QCheckBox>(view, "synchronizeBox")->setChecked(false);
        auto* period_field = test::Child<QSpinBox>(view, "periodField");
        QVERIFY(!period_field->isEnabled());
        QVERIFY(!harness_->context().state.synchronize_clock);
        test::Child<QCheckBox>(view, "synchronizeBox")->setChecked(true);
        QVERIFY(period_field->isEnabled());
        period_field->setValue(5);
        QCOMPARE(harness_->context().state.sync_interval, 5 * 60000);
        period_field->setValue(0);
        QCOMPARE(harness_->context().state.sync_interval, 0);
        // The longest period the timer can run is the field's top; more is corrected in place
        // instead of overflowing into a period of seconds.
        period_field->setValue(99999);
        QCOMPARE(period_field->value(), kMaxSyncPeriodMinutes);
        QCOMPARE(harness_->context().state.sync_interval, kMaxSyncPeriodMinutes * 60000);
        QVERIFY(harness_->context().state.sync_interval > 0);
    }

    // 30 February is refused with the reason, and nothing is written.
    void anImpossibleDateSaysWhy() {
        ClockView* view = openClock();
        QVERIFY(view);
        TypeDateTime(*view);
        test::Child<QComboBox>(view, "monthField")->setCurrentIndex(1);
        test::Child<QSpinBox>(view, "dayField")->setValue(30);
        const std::size_t asked_before = harness_->application().prompts().asked().size();
        harness_->takeRequests();
        test::ModalDriver ok("okButton");
        ok.before_click = [](QWidget* box) { test::SaveScreenshot(box, "clock_view_impossible_date"); };
        QCOMPARE(view->saveChanges(), ClockSave::Invalid);
        QVERIFY(ok.clicked());
        const auto asked = harness_->application().prompts().asked();
        QCOMPARE(asked.size(), asked_before + 1);
        QCOMPARE(QString::fromStdString(asked.back()),
                 QString("Invalid date...|February 2012 has 29 days; there is no 30 February."));
        for (const std::string& code : harness_->takeRequests())
            QVERIFY2(code.rfind("S4", 0) != 0, code.c_str());
        QVERIFY(view->editing());
    }

    void synchronizeToPcSetsTheSensorClock() {
        ClockView* view = openClock();
        QVERIFY(view);
        harness_->sensor().AdvanceClock(std::chrono::hours(5));
        harness_->takeRequests();
        test::Child<QPushButton>(view, "synchronizeButton")->click();
        const auto requests = harness_->takeRequests();
        QVERIFY(std::find_if(requests.begin(), requests.end(), [](const std::string& r) {
                    return r.find("S4") != std::string::npos;
                }) != requests.end());
        const std::int64_t pc = static_cast<std::int64_t>(std::time(nullptr)) - 946684800;
        QVERIFY(std::abs(static_cast<std::int64_t>(harness_->sensor().SensorSeconds()) - pc) <= 2);
    }
};

QTEST_MAIN(TstClockView)
#include "tst_clock_view.moc"
