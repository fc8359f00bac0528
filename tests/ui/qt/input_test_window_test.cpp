// The Qt input test window on the simulated bus, with device calls on workers as the program runs
// them: the menu opens it, a turned encoder is counted with its pulses, and nothing is written.
#include "ui/qt/input_test_window.h"
#include "app/configurator.h"
#include "app/run_configurator.h"
#include "simulation/simulated_bus.h"
#include "ui/qt/main_window.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace korvex::ui {
namespace {

SimDeviceInfo encoderBoard() {
    SimDeviceInfo info;
    info.serial = u"KXT0001";
    info.version = 0x0114;
    info.settings = {0x04, 0x00, 5, 0};  // pair 5-6 at 1:1, pulses of 20 ms
    return info;
}

std::size_t writesSent(const SimulatedBus& bus) {
    std::size_t writes = 0;
    for (const SimCall& call : bus.calls())
        if (call.op == SimOp::SetFeature && call.bytes.size() > 1 && (call.bytes[1] == 0xEE || call.bytes[1] == 0xB0))
            ++writes;
    return writes;
}

TEST(InputTestWindow, CountsATurnedEncoderWithItsPulsesAndWritesNothing) {
    SimulatedBus bus;
    bus.addDevice(encoderBoard());
    bus.setRealWaits(true);  // the board reports when its buttons change, as a board does
    MainWindow window;
    {
        app::Configurator logic(bus, window.controls(), app::DeviceThreads::Worker, [&window] { window.wake(); });
        window.onWake([&logic] { logic.deliverResults(); });
        window.setOpenInputTest([&window, &logic] { window.showInputTest(logic); });
        logic.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* enc3 = window.findChild<QComboBox*>("Enc3");
        ASSERT_TRUE(QTest::qWaitFor([&] { return enc3->currentText() == "1:1"; }, 2000));

        // The menu's first entry opens it, titled with the board's serial.
        window.menu()->actions().at(0)->trigger();
        auto* test = qobject_cast<InputTestWindow*>(window.inputTest());
        ASSERT_NE(test, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(test));
        EXPECT_EQ(test->windowTitle(), "Test inputs - KXT0001");
        auto label = [test](const char* name) { return test->findChild<QLabel*>(name)->text().toStdString(); };
        EXPECT_EQ(test->findChild<QGroupBox*>("Pair3")->title(), "Buttons 5-6: 1:1");
        EXPECT_EQ(test->findChild<QGroupBox*>("Pair1")->title(), "Buttons 1-2: OFF");
        EXPECT_EQ(label("Pulses1"), "Plain buttons");
        EXPECT_FALSE(test->findChild<QLabel*>("Forward1")->isVisible());  // no arrows for plain buttons
        EXPECT_EQ(label("Count3"), "0");

        // Five steps one way, three the other, at 20 steps a second: every one is read.
        const std::size_t writesBefore = writesSent(bus);
        bus.firmware(0).turn(3, 5, 20);
        bus.firmware(0).turn(3, -3, 20);
        auto* logBox = test->findChild<QPlainTextEdit*>("txtLog");
        const auto log = [logBox] { return logBox->toPlainText().toStdString(); };
        // The last step back, and its button let go.
        const auto turned = [&] {
            const auto last = log().find("step 5-6 -1 (button 6), count +2");
            return last != std::string::npos && log().find("release 6", last) != std::string::npos;
        };
        ASSERT_TRUE(QTest::qWaitFor(turned, 3000)) << log();
        QTest::qWait(100);  // nothing more arrives
        EXPECT_EQ(label("Count3"), "+2");
        EXPECT_EQ(label("Glitches3"), "Glitches: 0");
        EXPECT_NE(label("Pulses3").find("ms, set 20 ms"), std::string::npos) << label("Pulses3");
        EXPECT_NE(log().find("step 5-6 +1 (button 5), count +5"), std::string::npos) << log();
        // The widest texts a part can hold fit it whole: pulses of 100 ms, the longest status.
        for (const auto& [name, widest] :
             {std::pair{"Pulses3", "Pulses 100.0 / 100.0 / 100.0 ms, set 100 ms"},
              std::pair{"lblStatus", "The board's settings were not read: every button shows as a button."},
              std::pair{"Count3", "-2147483648"}}) {
            auto* part = test->findChild<QLabel*>(name);
            EXPECT_LE(part->fontMetrics().horizontalAdvance(widest), part->contentsRect().width()) << name;
        }
        EXPECT_EQ(writesSent(bus), writesBefore);

        // A held button lights its lamp, and a screen reader hears it.
        bus.firmware(0).holdButtons(0x0100);
        auto* lamp = test->findChild<QLabel*>("Lamp9");
        ASSERT_TRUE(QTest::qWaitFor([&] { return lamp->backgroundRole() == QPalette::Highlight; }, 2000));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(lamp)->text(QAccessible::Name), "Button 9, down");

        // Copy log puts the log on the clipboard; Reset starts the count again.
        QTest::mouseClick(test->findChild<QPushButton*>("cmdCopyLog"), Qt::LeftButton);
        EXPECT_TRUE(QGuiApplication::clipboard()->text().contains("count +5"));
        QTest::mouseClick(test->findChild<QPushButton*>("cmdReset"), Qt::LeftButton);
        EXPECT_EQ(label("Count3"), "0");

        // Unplugged: the window clears and says so.
        bus.unplug(0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return test->windowTitle() == "Test inputs"; }, 3000));
        EXPECT_EQ(label("Count3"), "");
        window.closeInputTest();
        EXPECT_EQ(window.inputTest(), nullptr);
        logic.stop();
    }
}

}  // namespace
}  // namespace korvex::ui
