// The Qt window on the simulated bus: the scenarios every window shares, driven with Qt's own
// events on the offscreen platform, and what only the Qt window has (its look, its accessibility).
#include "ui/qt/main_window.h"
#include "app/configurator.h"
#include "app/control_texts.h"
#include "app/diagnostics.h"
#include "simulation/simulated_bus.h"
#include "ui/common/window_scenarios.h"
#include "ui/qt/caption_frame.h"
#include "ui/qt/input_test_window.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace korvex::ui {
namespace {

using korvex::testing::board;
using korvex::testing::Key;
using korvex::testing::PixelRect;

class QtDriver final : public korvex::testing::WindowDriver {
public:
    MainWindow window;

    template <class T>
    T* child(const char* name) {
        T* widget = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QComboBox* list(const char* name) { return child<QComboBox>(name); }

    app::FormControls& controls() override { return window.controls(); }
    void onUnload(std::function<void()> handler) override { window.onUnload(std::move(handler)); }
    bool shown() override {
        if (!QTest::qWaitForWindowExposed(&window)) return false;
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    std::string title() override { return window.windowTitle().toStdString(); }
    PixelRect clientArea() override { return {0, 0, window.width(), window.height()}; }
    bool exists(const char* name) override { return window.findChild<QWidget*>(QString::fromLatin1(name)); }
    PixelRect geometry(const char* name) override {
        QWidget* widget = child<QWidget>(name);
        const QPoint at = widget->mapTo(&window, QPoint(0, 0));
        return {at.x(), at.y(), widget->width(), widget->height()};
    }
    std::string controlAt(int x, int y) override {
        QWidget* widget = window.childAt(x, y);
        return widget ? widget->objectName().toStdString() : std::string();
    }
    std::string text(const char* name) override {
        QWidget* widget = child<QWidget>(name);
        if (auto* label = qobject_cast<QLabel*>(widget)) return label->text().toStdString();
        if (auto* frame = qobject_cast<CaptionFrame*>(widget)) return frame->caption().toStdString();
        if (auto* box = qobject_cast<QCheckBox*>(widget)) return box->text().toStdString();
        if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText().toStdString();
        return "?";
    }
    bool enabled(const char* name) override {
        QWidget* widget = child<QWidget>(name);
        if (auto* frame = qobject_cast<CaptionFrame*>(widget)) return frame->inputEnabled();
        return widget->isEnabled();
    }
    int itemCount(const char* name) override { return list(name)->count(); }
    std::string itemText(const char* name, int index) override { return list(name)->itemText(index).toStdString(); }
    int selected(const char* name) override { return list(name)->currentIndex(); }
    int checkState(const char* name) override {
        const Qt::CheckState state = child<QCheckBox>(name)->checkState();
        return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
    }
    std::string tooltip(const char* name) override { return child<QWidget>(name)->toolTip().toStdString(); }
    int textWidth(const char* name, const std::string& text) override {
        return QFontMetrics(child<QWidget>(name)->font()).horizontalAdvance(QString::fromStdString(text));
    }
    int textRoom(const char* name) override {
        QWidget* widget = child<QWidget>(name);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            return combo->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                .width();
        }
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box).width();
        }
        // The caption sits on the border, 6 px in and with 2 px of space each side.
        if (qobject_cast<CaptionFrame*>(widget)) return widget->width() - 2 * (6 + 2);
        return widget->visibleRegion().boundingRect().width();
    }
    bool dropped(const char* name) override { return list(name)->view()->isVisible(); }
    void focus(const char* name) override { child<QWidget>(name)->setFocus(); }
    std::string focusName() override {
        QWidget* focus = QApplication::focusWidget();
        return focus && !focus->objectName().isEmpty() ? focus->objectName().toStdString() : "?";
    }
    void press(Key key) override {
        static const std::map<Key, Qt::Key> keys{{Key::Up, Qt::Key_Up},
                                                 {Key::Down, Qt::Key_Down},
                                                 {Key::Tab, Qt::Key_Tab},
                                                 {Key::Space, Qt::Key_Space},
                                                 {Key::Escape, Qt::Key_Escape}};
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, keys.at(key));
    }
    void click(const char* name) override { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    void wheelDown(const char* name) override {
        QWidget* widget = child<QWidget>(name);
        const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
        QWheelEvent wheel(at, widget->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(widget, &wheel);
    }
    void close() override { window.close(); }
    bool isOpen() override { return window.isVisible(); }
    void pump(int milliseconds) override { QTest::qWait(milliseconds); }

    void offerInputTest(std::function<void()> open) override { window.setOpenInputTest(std::move(open)); }
    void offerDiagnostics(std::function<std::string()> gather) override { window.setDiagnostics(std::move(gather)); }
    // A right click on the window's empty area at its bottom left, through the window system as the
    // pointer's click comes, which is where Qt makes a context menu of it.
    QMenu* openMenu() {
        QTest::mouseClick(window.windowHandle(), Qt::RightButton, {}, QPoint(4, window.height() - 4));
        EXPECT_TRUE(QTest::qWaitFor([this] { return window.menu()->isVisible(); }, 1000));
        return window.menu();
    }
    std::vector<std::string> menuEntries() override {
        QMenu* menu = openMenu();
        std::vector<std::string> entries;
        for (QAction* action : menu->actions()) entries.push_back(action->text().toStdString());
        menu->close();
        return entries;
    }
    void choose(const std::string& entry) override {
        QMenu* menu = openMenu();
        for (QAction* action : menu->actions()) {
            if (action->text().toStdString() != entry) continue;
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            EXPECT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 1000));
            return;
        }
        ADD_FAILURE() << "no entry " << entry;
    }
    std::string clipboardText() override { return QGuiApplication::clipboard()->text().toStdString(); }
    void setClipboardText(const std::string& text) override {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }
    std::string aboutText() override {
        choose("About Korvex Rotary Encoders Configuration...");
        auto* about = window.findChild<QMessageBox*>(QStringLiteral("About"));
        if (!about || !QTest::qWaitForWindowExposed(about)) return "";
        const std::string text = about->text().toStdString();
        about->accept();
        return text;
    }
};

class Window : public ::testing::Test {
protected:
    void load() { scenarios.load(); }
    template <class T>
    T* child(const char* name) {
        return driver.child<T>(name);
    }
    QComboBox* list(const char* name) { return driver.list(name); }

    SimulatedBus bus;
    QtDriver driver;
    MainWindow& window = driver.window;
    korvex::testing::WindowScenarios scenarios{bus, driver};
};

KORVEX_WINDOW_SCENARIOS(Window)

// What the Qt window alone shows at start: its fixed size, font and icon, the value boxes'
// background and the empty list's placeholder.
TEST_F(Window, StartsInItsOwnLook) {
    load();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.font().pointSizeF(), 9.75);
    EXPECT_FALSE(window.windowIcon().isNull());
    for (const char* name : {"lblSerialNumber", "lblManuf", "lblProduct", "lblVersion"}) {
        auto* value = child<QLabel>(name);
        EXPECT_TRUE(value->autoFillBackground()) << name;
        EXPECT_EQ(value->backgroundRole(), QPalette::Base) << name;
    }
    EXPECT_EQ(list("SerNo")->placeholderText(), "No board");
    // The hint in a value box is greyed; a board's string is not.
    EXPECT_EQ(child<QLabel>("lblManuf")->foregroundRole(), QPalette::PlaceholderText);
    // The frames cut off what runs past their right edge at x = 289.
    EXPECT_EQ(child<QLabel>("lblVersion")->visibleRegion().boundingRect().width(), 169);
    EXPECT_EQ(child<QWidget>("Line1")->visibleRegion().boundingRect().width(), 273);
}

// Only the lists and the check box take the focus, and the lists never by the wheel: a real wheel
// would first hand a wheel-focus widget the focus.
TEST_F(Window, OnlyTheListsAndTheCheckBoxTakeTheFocus) {
    load();
    const QStringList takesFocus{"ModeCh1", "Enc1", "Enc2", "Enc3",  "Enc4", "Enc5",
                                 "Enc6",    "Enc7", "Enc8", "SerNo", "NoJoy"};
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || takesFocus.contains(widget->objectName())) continue;
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << widget->objectName().toStdString();
    }
    EXPECT_NE(list("Enc5")->focusPolicy() & Qt::WheelFocus, Qt::WheelFocus);
}

TEST_F(Window, TheEmptyListSaysABoardIsThereButMayNotBeOpenedAndHowToFixIt) {
    SimDeviceInfo locked = board(u"KX000001", {});
    locked.openable = false;
    bus.addDevice(locked);
    load();
    QComboBox* serNo = list("SerNo");
    EXPECT_EQ(serNo->placeholderText(), "No access");
    EXPECT_EQ(serNo->count(), 0);
    EXPECT_FALSE(serNo->isEnabled());
    EXPECT_TRUE(serNo->toolTip().contains("udevadm trigger"));
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(serNo)->text(QAccessible::Description).contains("udev rule"));

    bus.addDevice(board(u"KX000002", {}));
    window.controls().pollTimer->raiseTick();
    EXPECT_EQ(serNo->currentText(), "KX000002");
    EXPECT_EQ(serNo->toolTip().toStdString(), app::texts::kSerial.tip);  // its own tooltip again
    EXPECT_EQ(child<QLabel>("lblManuf")->foregroundRole(), QPalette::WindowText);
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

// The menu by keyboard: its keys work from any control, Shift+F10 opens it, a screen reader reads
// each entry by its text; "Test inputs..." is disabled while nothing opens it; About names the
// font's licence beside the program's.
TEST_F(Window, TheMenuAnswersItsKeysAndSaysWhatTheFontIsUnder) {
    bool opened = false;
    bus.addDevice(board(u"KX000001", {}));
    load();
    QMenu* menu = window.menu();
    EXPECT_FALSE(menu->actions().at(0)->isEnabled());
    window.setOpenInputTest([&opened] { opened = true; });
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    EXPECT_EQ(menu->actions().at(1)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+C")));
    list("Enc5")->setFocus();
    QTest::keyClick(list("Enc5"), Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(opened);

    QTest::keyClick(list("Enc5"), Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 1000));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(menu);
    ASSERT_EQ(accessible->childCount(), 3);
    EXPECT_EQ(accessible->child(1)->text(QAccessible::Name), "Copy diagnostics");
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([menu] { return !menu->isVisible(); }, 1000));

    QTest::keyClick(list("Enc5"), Qt::Key_F1);
    auto* about = window.findChild<QMessageBox*>(QStringLiteral("About"));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->text().contains("SIL Open Font License 1.1"));
    EXPECT_TRUE(about->text().contains("Copyright (c) 2012 Red Hat, Inc."));
    about->accept();
}

// A key sent straight to a list in a disabled frame is dropped by the frame's filter.
TEST_F(Window, ADisabledFrameDropsAKeySentStraightToItsList) {
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

// Opened while a board is shown, the input test window follows that board from the start.
TEST_F(Window, TheInputTestOpensOnTheBoardShown) {
    bus.setRealWaits(true);  // the board reports when its buttons change, as a board does
    bus.addDevice(board(u"KX000001", {0x04, 0x00, 1, 0}));  // pair 5-6 at 1:1
    app::Configurator logic(bus, window.controls());
    logic.start();
    ASSERT_EQ(window.controls().serialList->text(), "KX000001");
    window.showInputTest(logic);
    auto* test = qobject_cast<InputTestWindow*>(window.inputTest());
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->shown().title, "Test inputs - KX000001");
    EXPECT_TRUE(test->shown().pairs[2].encoder);
    window.closeInputTest();
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
        app::Configurator logic(bus, window.controls(), app::DeviceThreads::Worker, [&window] { window.wake(); });
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

        // Copying the diagnostics while the board they read first hangs: the window goes on at once.
        window.setDiagnostics([&bus] { return app::diagnosticsReport(bus, "korvex-config", nullptr); });
        bus.setFault(0, FeatureFault::Hang);
        clock.restart();
        QTest::keyClick(serNo, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.hungRequests() == 2; }, 2000));
        QTest::keyClick(serNo, Qt::Key_Down);
        EXPECT_EQ(serNo->currentText(), "KX000002");
        EXPECT_LT(clock.elapsed(), 500);
        // The board chosen hangs as well: its read waits beside the first.
        ASSERT_TRUE(QTest::qWaitFor([&] { return bus.hungRequests() == 3; }, 2000));

        const std::size_t hung = bus.hungRequests();
        clock.restart();
        window.close();
        EXPECT_LT(clock.elapsed(), 300);
        EXPECT_EQ(bus.hungRequests(), hung);
    }
    bus.setFault(0, FeatureFault::None);
    bus.setFault(1, FeatureFault::None);
    ASSERT_TRUE(QTest::qWaitFor([] { return app::DeviceWorker::stillRunning() == 0; }, 2000));
    EXPECT_EQ(bus.openHandleCount(), 0u);
}

}  // namespace
}  // namespace korvex::ui
