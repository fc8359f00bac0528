// The whole window on the simulated bus: its layout and initial state, and what reaches a board
// when a person uses it.
#include "ui/qt/main_window.h"
#include "app/configurator.h"
#include "app/control_texts.h"
#include "device/simulated_bus.h"
#include "ui/qt/caption_frame.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

namespace korvex::ui {
namespace {

SimDeviceInfo board(const char16_t* serial, BoardSettings settings) {
    SimDeviceInfo info;
    info.serial = serial;
    info.settings = settings;
    return info;
}

class Window : public testing::Test {
protected:
    void load() {
        logic = std::make_unique<Configurator>(bus, window.controls());
        window.onUnload([this] { logic->stop(); });
        logic->start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void loadTwoBoards() {
        bus.addDevice(board(u"KX000001", {0x00, 0x00, 1, 0}));
        // Loaded last: pair 1-2 at 1:1, 3-4 at 1:4, 9-10 at 1:1; 24 ms; hidden.
        bus.addDevice(board(u"KX000002", {0x13, 0x02, 6, 1}));
        load();
    }
    template <class T>
    T* child(const char* name) {
        T* widget = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QComboBox* list(const char* name) { return child<QComboBox>(name); }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
    std::vector<SimCall> featureCalls() const {
        std::vector<SimCall> out;
        for (const SimCall& call : bus.calls())
            if (call.op == SimOp::SetFeature || call.op == SimOp::GetFeature) out.push_back(call);
        return out;
    }

    SimulatedBus bus;
    MainWindow window;
    std::unique_ptr<Configurator> logic;
};

const char* const kLists[] = {"SerNo", "Enc1", "Enc2", "Enc3", "Enc4", "Enc5", "Enc6", "Enc7", "Enc8", "ModeCh1"};

TEST_F(Window, StartsWithNoBoardInItsInitialState) {
    load();
    EXPECT_EQ(window.windowTitle(), "Korvex Rotary Encoders Configuration");
    EXPECT_EQ(window.size(), QSize(297, 385));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.font().pointSizeF(), 9.75);
    EXPECT_FALSE(window.windowIcon().isNull());

    auto* frame1 = child<CaptionFrame>("Frame1");
    auto* frame3 = child<CaptionFrame>("Frame3");
    EXPECT_EQ(frame1->caption(), "Device details");
    EXPECT_EQ(frame3->caption(), "Rotary encoder type for button pairs:");
    EXPECT_FALSE(frame1->inputEnabled());
    EXPECT_FALSE(frame3->inputEnabled());

    // The static labels of the details frame read in normal text; the value boxes are empty.
    for (const char* name : {"Label2", "Label3", "Label4", "Label5"})
        EXPECT_TRUE(child<QLabel>(name)->isEnabled()) << name;
    EXPECT_EQ(text("Label3"), "Serial Number");
    for (const char* name : {"lblSerialNumber", "lblManuf", "lblProduct", "lblVersion"}) {
        auto* value = child<QLabel>(name);
        EXPECT_TRUE(value->text().isEmpty()) << name;
        EXPECT_TRUE(value->autoFillBackground()) << name;
        EXPECT_EQ(value->backgroundRole(), QPalette::Base) << name;
    }
    for (const char* name : kLists) {
        EXPECT_EQ(list(name)->count(), 0) << name;
        EXPECT_EQ(list(name)->currentIndex(), -1) << name;
        EXPECT_FALSE(list(name)->isEnabled()) << name;
    }
    EXPECT_EQ(list("SerNo")->placeholderText(), "No board found");
    for (const char* name : {"Label1", "Label6", "Label10", "Label13"})
        EXPECT_FALSE(child<QLabel>(name)->isEnabled()) << name;
    EXPECT_EQ(text("Label12"), "13-14");
    auto* noJoy = child<QCheckBox>("NoJoy");
    EXPECT_EQ(noJoy->text(), "Hide Korvex from gaming devices list ");
    EXPECT_EQ(noJoy->checkState(), Qt::Unchecked);
    EXPECT_FALSE(noJoy->isEnabled());
    EXPECT_TRUE(window.controls().pollTimer->enabled());
    EXPECT_EQ(window.controls().pollTimer->interval(), 50);
}

TEST_F(Window, EveryControlSitsOnItsPixelRectangle) {
    struct Placed {
        const char* name;
        QRect rect;  // in the client area
    };
    const Placed expected[] = {
        {"Frame1", {8, 0, 281, 129}},       {"Frame3", {8, 136, 281, 209}},   {"NoJoy", {24, 352, 265, 25}},
        {"Label3", {24, 24, 121, 19}},      {"SerNo", {120, 20, 88, 24}},     {"lblSerialNumber", {120, 24, 220, 22}},
        {"Label4", {24, 48, 81, 19}},       {"lblManuf", {120, 48, 220, 22}}, {"Label5", {24, 72, 81, 19}},
        {"lblProduct", {120, 72, 220, 22}}, {"Label2", {24, 96, 97, 19}},     {"lblVersion", {120, 96, 220, 22}},
        {"Enc1", {24, 168, 60, 24}},        {"Label6", {92, 172, 73, 25}},    {"Enc2", {24, 200, 60, 24}},
        {"Label7", {92, 204, 73, 25}},      {"Enc3", {24, 232, 60, 24}},      {"Label8", {92, 236, 73, 25}},
        {"Enc4", {24, 264, 60, 24}},        {"Label9", {92, 268, 73, 25}},    {"Enc5", {168, 168, 60, 24}},
        {"Label10", {236, 173, 41, 25}},    {"Enc6", {168, 200, 60, 24}},     {"Label11", {236, 205, 41, 25}},
        {"Enc7", {168, 232, 60, 24}},       {"Label12", {236, 237, 49, 25}},  {"Enc8", {168, 264, 60, 24}},
        {"Label13", {236, 269, 41, 25}},    {"Line1", {16, 288, 288, 1}},     {"ModeCh1", {24, 304, 84, 24}},
        {"Label1", {112, 308, 137, 25}},
    };
    load();
    for (const Placed& p : expected) {
        QWidget* widget = child<QWidget>(p.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size()), p.rect) << p.name;
    }
    // The frames cut off what runs past their right edge at x = 289.
    EXPECT_EQ(child<QLabel>("lblVersion")->visibleRegion().boundingRect().width(), 169);
    EXPECT_EQ(child<QWidget>("Line1")->visibleRegion().boundingRect().width(), 273);
    // The serial-number list is drawn over the box it covers.
    EXPECT_EQ(window.childAt(130, 30), child<QComboBox>("SerNo"));
}

TEST_F(Window, ListsTwoBoardsAndLoadsTheLastOne) {
    loadTwoBoards();
    QComboBox* serNo = list("SerNo");
    ASSERT_EQ(serNo->count(), 2);
    EXPECT_EQ(serNo->itemText(0), "KX000001");
    EXPECT_EQ(serNo->currentText(), "KX000002");
    EXPECT_TRUE(serNo->isEnabled());
    EXPECT_TRUE(child<CaptionFrame>("Frame1")->inputEnabled());
    EXPECT_TRUE(child<CaptionFrame>("Frame3")->inputEnabled());
    EXPECT_EQ(text("lblManuf"), " Korvex");
    EXPECT_EQ(text("lblProduct"), " Rotary Encoders Interface");
    EXPECT_EQ(text("lblVersion"), " 1.14");
    EXPECT_TRUE(text("lblSerialNumber").isEmpty());
    EXPECT_EQ(list("Enc1")->currentText(), "1:1");
    EXPECT_EQ(list("Enc2")->currentText(), "1:4");
    EXPECT_EQ(list("Enc5")->currentText(), "1:1");
    EXPECT_EQ(list("Enc8")->currentText(), "OFF");
    EXPECT_EQ(list("Enc8")->count(), 4);
    EXPECT_EQ(list("ModeCh1")->count(), 25);
    EXPECT_EQ(list("ModeCh1")->currentText(), "24 ms");
    EXPECT_EQ(child<QCheckBox>("NoJoy")->checkState(), Qt::Checked);
    EXPECT_TRUE(child<QLabel>("Label10")->isEnabled());
    // Showing the board's settings wrote nothing back.
    for (const SimCall& call : featureCalls()) {
        if (call.op == SimOp::SetFeature) {
            EXPECT_NE(call.bytes.at(1), 0xEE);
        }
    }
}

TEST_F(Window, ChoosingAModeByKeyboardWritesAllEightPairs) {
    loadTwoBoards();
    QComboBox* enc5 = list("Enc5");
    enc5->setFocus();
    bus.clearCalls();
    QTest::keyClick(enc5, Qt::Key_Down);
    EXPECT_EQ(enc5->currentText(), "1:2");
    const std::vector<SimCall> sent = featureCalls();
    ASSERT_EQ(sent.size(), 2u);
    // 1-2 at 1:1, 3-4 at 1:4, 9-10 now at 1:2: low bits 0b011, high bits 0b10010.
    const std::vector<std::uint8_t> low{0x00, 0xEE, 8, 0x03, 0, 0, 0, 0, 0};
    const std::vector<std::uint8_t> high{0x00, 0xEE, 9, 0x12, 0, 0, 0, 0, 0};
    EXPECT_EQ(sent[0].op, SimOp::SetFeature);
    EXPECT_EQ(sent[0].bytes, low);
    EXPECT_EQ(sent[1].bytes, high);
    EXPECT_EQ(sent[1].device, 1u);
    EXPECT_EQ(bus.firmware(1).settings(), (BoardSettings{0x03, 0x12, 6, 1}));
    EXPECT_EQ(bus.firmware(0).settings(), (BoardSettings{0x00, 0x00, 1, 0}));
}

TEST_F(Window, TabVisitsOnlyTheListsAndTheCheckBoxInOrder) {
    loadTwoBoards();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list("ModeCh1")->setFocus();
    QStringList visited;
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited.join(' ').toStdString(), "Enc1 Enc2 Enc3 Enc4 Enc5 Enc6 Enc7 Enc8 SerNo NoJoy ModeCh1");
    const QStringList takesFocus{"ModeCh1", "Enc1", "Enc2", "Enc3",  "Enc4", "Enc5",
                                 "Enc6",    "Enc7", "Enc8", "SerNo", "NoJoy"};
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || takesFocus.contains(widget->objectName())) continue;
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << widget->objectName().toStdString();
    }
}

TEST_F(Window, PickingTheOtherSerialReopensThatBoardWithoutRescanning) {
    loadTwoBoards();
    const HidHandle before = logic->session().deviceHandle;
    QComboBox* serNo = list("SerNo");
    serNo->setFocus();
    bus.clearCalls();
    QTest::keyClick(serNo, Qt::Key_Up);
    EXPECT_EQ(serNo->currentText(), "KX000001");
    ASSERT_TRUE(logic->session().boardOpen());
    EXPECT_EQ(bus.deviceOf(logic->session().deviceHandle), 0u);
    EXPECT_EQ(bus.openHandleCount(), 1u);
    // One walk to find the chosen board; a rescan would have walked once more first.
    int walks = 0;
    bool closedOld = false;
    for (const SimCall& call : bus.calls()) {
        walks += call.op == SimOp::Walk ? 1 : 0;
        closedOld = closedOld || (call.op == SimOp::Close && call.handle == before);
    }
    EXPECT_EQ(walks, 1);
    EXPECT_TRUE(closedOld);
    EXPECT_EQ(list("Enc1")->currentText(), "OFF");
    EXPECT_EQ(list("ModeCh1")->currentText(), "4 ms");
    EXPECT_EQ(child<QCheckBox>("NoJoy")->checkState(), Qt::Unchecked);
    EXPECT_EQ(serNo->count(), 2);
}

TEST_F(Window, TheEmptyListSaysABoardIsThereButMayNotBeOpenedAndHowToFixIt) {
    SimDeviceInfo locked = board(u"KX000001", {});
    locked.openable = false;
    bus.addDevice(locked);
    load();
    QComboBox* serNo = list("SerNo");
    EXPECT_EQ(serNo->placeholderText(), "Board found - no access");
    EXPECT_EQ(serNo->count(), 0);
    EXPECT_FALSE(serNo->isEnabled());
    EXPECT_TRUE(serNo->toolTip().contains("udevadm trigger"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(serNo)->text(QAccessible::Description).contains("udev rule"));

    bus.addDevice(board(u"KX000002", {}));
    window.controls().pollTimer->raiseTick();
    EXPECT_EQ(serNo->currentText(), "KX000002");
    EXPECT_EQ(serNo->toolTip().toStdString(), app::texts::kSerial.tip);  // its own tooltip again
}

// The wheel over a list changes it only once the user has put the focus there.
TEST_F(Window, TheWheelOverAnUnfocusedListChangesAndWritesNothing) {
    loadTwoBoards();
    QComboBox* enc5 = list("Enc5");
    auto turn = [enc5] {
        const QPointF at(enc5->width() / 2.0, enc5->height() / 2.0);
        QWheelEvent wheel(at, enc5->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(enc5, &wheel);
    };
    list("ModeCh1")->setFocus();
    bus.clearCalls();
    turn();
    EXPECT_EQ(enc5->currentText(), "1:1");
    EXPECT_TRUE(featureCalls().empty());
    // A real wheel would first hand a wheel-focus widget the focus: the lists take it only by Tab or click.
    EXPECT_NE(enc5->focusPolicy() & Qt::WheelFocus, Qt::WheelFocus);

    enc5->setFocus();
    turn();
    EXPECT_EQ(enc5->currentText(), "1:2");
    EXPECT_EQ(featureCalls().size(), 2u);  // commands 8 and 9
}

// What a screen reader gets: a name and a description for every control, captions tied to what
// they label, and the frames as named groups.
TEST_F(Window, EveryControlIsNamedAndExplainedForAScreenReader) {
    load();
    auto accessible = [this](const char* name) { return QAccessible::queryAccessibleInterface(child<QWidget>(name)); };
    const std::pair<const char*, const char*> named[] = {
        {"Enc1", "Encoder mode, buttons 1-2"},
        {"Enc5", "Encoder mode, buttons 9-10"},
        {"Enc8", "Encoder mode, buttons 15-16"},
        {"ModeCh1", "Encoder pulse length"},
        {"SerNo", "Serial number"},
        {"NoJoy", "Hide from gaming devices list"},
        {"lblManuf", "Manufacturer"},
        {"lblProduct", "Product"},
        {"lblVersion", "Version"},
        {"Frame1", "Device details"},
        {"Frame3", "Rotary encoder type for button pairs"},
    };
    for (const auto& [object, name] : named) {
        QAccessibleInterface* control = accessible(object);
        ASSERT_NE(control, nullptr) << object;
        EXPECT_EQ(control->text(QAccessible::Name).toStdString(), name);
        EXPECT_FALSE(control->text(QAccessible::Description).isEmpty()) << object;
    }
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus && !qobject_cast<QComboBox*>(widget)) continue;
        EXPECT_FALSE(QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty())
            << widget->objectName().toStdString();
    }
    EXPECT_EQ(accessible("Frame1")->role(), QAccessible::Grouping);
    EXPECT_EQ(accessible("Frame3")->role(), QAccessible::Grouping);
    for (const auto& [value, caption] :
         {std::pair{"lblManuf", "Label4"}, std::pair{"lblProduct", "Label5"}, std::pair{"lblVersion", "Label2"},
          std::pair{"SerNo", "Label3"}, std::pair{"Enc3", "Label8"}, std::pair{"ModeCh1", "Label1"}}) {
        const auto labels = accessible(value)->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << value;
        EXPECT_EQ(labels.first().first->object()->objectName().toStdString(), caption);
    }
    // The tooltips explain the modes and the firmware needed.
    const QString modes = list("Enc2")->toolTip();
    for (const char* mode : {"OFF", "1:1", "1:2", "1:4"}) EXPECT_TRUE(modes.contains(mode)) << mode;
    EXPECT_TRUE(child<QLabel>("lblVersion")->toolTip().contains("0.14"));
}

TEST_F(Window, ClosingStopsTheTimerAndClosesTheBoard) {
    loadTwoBoards();
    QTest::qWait(80);  // let the poll timer run
    ASSERT_EQ(bus.openHandleCount(), 1u);
    window.close();
    EXPECT_FALSE(window.controls().pollTimer->enabled());
    EXPECT_EQ(bus.openHandleCount(), 0u);
    bus.clearCalls();
    QTest::qWait(120);
    EXPECT_TRUE(bus.calls().empty());
}

TEST_F(Window, ADisabledFrameKeepsTheUserFromItsLists) {
    bus.addDevice(board(u"KX000001", {}));
    bus.addDevice(board(u"KX000002", {}));
    load();
    window.controls().detailsFrame->setEnabled(false);
    QComboBox* serNo = list("SerNo");
    EXPECT_TRUE(serNo->isEnabled());
    bus.clearCalls();
    QTest::keyClick(serNo, Qt::Key_Up);
    EXPECT_EQ(serNo->currentText(), "KX000002");
    EXPECT_TRUE(bus.calls().empty());
}

// The window as a user meets a board that never answers a read, listed last beside a good one: it
// repaints and takes the keyboard at once, reaches the good board within a second, and closes
// without waiting for the hanging read.
TEST(WindowBesideAHangingBoard, StaysUsableAndClosesAtOnce) {
    SimulatedBus bus;
    bus.addDevice(board(u"KX000001", {0x00, 0x04, 3, 0}));  // pair 5-6 at 1:2; 12 ms
    bus.addDevice(board(u"KX000002", {}));
    bus.setFault(1, FeatureFault::Hang);
    bus.setHangTimeout(std::chrono::seconds(20));
    {
        MainWindow window;
        Configurator logic(bus, window.controls(), DeviceThreads::Worker, [&window] { window.wake(); });
        window.onWake([&logic] { logic.deliverResults(); });
        window.onUnload([&logic] { logic.stop(); });
        logic.start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto* serNo = window.findChild<QComboBox*>("SerNo");
        ASSERT_TRUE(QTest::qWaitFor([&] { return serNo->count() == 2 && bus.hungRequests() == 1; }, 2000));

        QElapsedTimer clock;
        clock.start();
        serNo->setFocus();
        QTest::keyClick(serNo, Qt::Key_Up);
        EXPECT_EQ(serNo->currentText(), "KX000001");
        EXPECT_LT(clock.elapsed(), 200);  // the key was taken at once
        auto* pulse = window.findChild<QComboBox*>("ModeCh1");
        EXPECT_TRUE(QTest::qWaitFor([&] { return pulse->currentText() == "12 ms"; }, 1000));
        EXPECT_EQ(window.findChild<QComboBox*>("Enc3")->currentText(), "1:2");
        EXPECT_EQ(window.grab().size(), window.size());  // it paints while the other read waits

        clock.restart();
        window.close();
        EXPECT_LT(clock.elapsed(), 200);
        EXPECT_EQ(bus.hungRequests(), 1u);
    }
    bus.setFault(1, FeatureFault::None);
    ASSERT_TRUE(QTest::qWaitFor([] { return DeviceWorker::stillRunning() == 0; }, 2000));
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

}  // namespace
}  // namespace korvex::ui
