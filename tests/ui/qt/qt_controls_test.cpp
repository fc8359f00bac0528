// The control adapters against real Qt widgets: when click is raised, and what it sees.
#include "ui/qt/qt_controls.h"

#include <QLabel>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <vector>

namespace korvex::ui {
namespace {

class ListAdapter : public testing::Test {
protected:
    ListAdapter() {
        window.resize(200, 100);
        list.onClick([this] { seen.push_back(list.listIndex()); });
    }
    QWidget window;
    QComboBox* combo = new QComboBox(&window);
    QtList list{combo};
    std::vector<int> seen;  // the selection each click handler read
};

TEST_F(ListAdapter, ClearAndAddItemRaiseNothingAndLeaveNoSelection) {
    list.addItem("OFF", 0);
    list.addItem("1:1", 1);
    EXPECT_EQ(list.listCount(), 2);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(list.text(), "");
    list.setListIndex(1);
    list.clear();
    list.addItem("again", 0);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(seen, std::vector<int>{1});
}

TEST_F(ListAdapter, ProgramSelectionRaisesClickWithTheNewSelectionInPlace) {
    for (const char* item : {"OFF", "1:1", "1:2", "1:4"}) list.addItem(item, list.listCount());
    list.setListIndex(2);
    list.setListIndex(2);  // the same selection again still clicks
    list.setListIndex(7);  // no such item: selects none
    EXPECT_EQ(seen, (std::vector<int>{2, 2, -1}));
    EXPECT_EQ(combo->currentIndex(), -1);
}

TEST_F(ListAdapter, InsertingAboveTheSelectionKeepsTheSelectedItem) {
    list.addItem("b", 0);
    list.setListIndex(0);
    list.addItem("a", 0);
    EXPECT_EQ(list.text(), "b");
    EXPECT_EQ(list.itemText(0), "a");
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(ListAdapter, SerialsBeyondAsciiShowAsTheyAreAndMatchAgain) {
    list.addItem("KX-\u00E9", 0);  // a narrowed 0xE9 arrives as UTF-8
    list.setListIndex(0);
    EXPECT_EQ(combo->currentText(), QString(QChar(u'K')) + QStringLiteral("X-") + QChar(0xE9));
    EXPECT_EQ(list.text(), "KX-\u00E9");
}

TEST_F(ListAdapter, UserChoiceByKeyboardRaisesOneClick) {
    for (const char* item : {"OFF", "1:1", "1:2"}) list.addItem(item, list.listCount());
    list.setListIndex(0);
    seen.clear();
    list.setEnabled(true);
    window.show();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(seen, std::vector<int>{1});
    list.setEnabled(false);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(seen, std::vector<int>{1});
}

class CheckAdapter : public testing::Test {
protected:
    CheckAdapter() {
        window.resize(200, 100);
        box->setGeometry(0, 0, 200, 25);
        check.onClick([this] { seen.push_back(check.value()); });
    }
    QWidget window;
    ToggleBox* box = new ToggleBox(QStringLiteral("Hide"), &window);
    QtCheckBox check{box};
    std::vector<int> seen;
};

TEST_F(CheckAdapter, StatesMapExplicitlyAndOnlyChangesClick) {
    check.setValue(2);
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    check.setValue(1);
    EXPECT_EQ(box->checkState(), Qt::Checked);
    check.setValue(1);
    check.setValue(0);
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    EXPECT_EQ(seen, (std::vector<int>{2, 1, 0}));
}

TEST_F(CheckAdapter, UserClicksNeverProduceGreyed) {
    box->setEnabled(true);
    window.show();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));  // on the indicator
    EXPECT_EQ(check.value(), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    EXPECT_EQ(check.value(), 0);
    check.setValue(2);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(check.value(), 1);
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 2, 1}));
    box->setEnabled(false);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, 12));
    EXPECT_EQ(seen.size(), 4u);
}

TEST(FrameAdapter, DisabledFrameGreysOnlyItsCaptionAndKeepsInputFromItsControls) {
    QWidget window;
    window.resize(300, 200);
    auto* frame = new CaptionFrame(QStringLiteral("Frame"), &window);
    frame->setGeometry(0, 0, 300, 150);
    auto* combo = new QComboBox(frame);
    combo->setGeometry(10, 30, 80, 24);
    auto* after = new QComboBox(&window);
    after->setGeometry(10, 160, 80, 24);
    QtList list(combo);
    for (const char* item : {"OFF", "1:1"}) list.addItem(item, list.listCount());
    list.setListIndex(0);
    int clicks = 0;
    list.onClick([&] { ++clicks; });
    QtFrame control(frame);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    control.setEnabled(false);
    EXPECT_FALSE(control.enabled());
    EXPECT_TRUE(combo->isEnabled());  // keeps its own state and look
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::mouseClick(combo, Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(list.listIndex(), 0);
    after->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);  // passes the unreachable list by
    EXPECT_FALSE(combo->hasFocus());

    control.setEnabled(true);
    combo->setFocus();
    EXPECT_TRUE(combo->hasFocus());
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(list.listIndex(), 1);
}

TEST(TimerAdapter, TicksOnlyWhileEnabled) {
    QtTimer timer(50);
    int ticks = 0;
    timer.onTick([&] { ++ticks; });
    EXPECT_FALSE(timer.enabled());
    EXPECT_EQ(timer.interval(), 50);
    timer.setInterval(5);
    timer.setEnabled(true);
    QTest::qWait(60);
    timer.setEnabled(false);
    const int counted = ticks;
    EXPECT_GT(counted, 0);
    QTest::qWait(30);
    EXPECT_EQ(ticks, counted);
}

}  // namespace
}  // namespace korvex::ui
