// The demo's control window on a small screen: it stays within the screen however many boards it
// shows, and every line of every board's report log can be read whole; its controls reach the
// boards' firmware, and a turn given there reaches the configurator's input test.
#include "demo/qt/simulation_window.h"
#include "app/configurator.h"
#include "demo/demo_bus.h"
#include "demo/qt/board_panel.h"
#include "ui/qt/main_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <vector>

namespace korvex::demo {
namespace {

constexpr int kFrameAllowance = 48;  // title bar and frame, outside the widget

// Every line of every log is as wide as its view at most, and no view needs a horizontal scroll.
void expectWholeLines(const SimulationWindow& window) {
    const auto logs = window.findChildren<QPlainTextEdit*>();
    ASSERT_FALSE(logs.empty());
    for (const QPlainTextEdit* log : logs) {
        EXPECT_EQ(log->horizontalScrollBar()->maximum(), 0);
        const int room = log->viewport()->width() - 2 * static_cast<int>(log->document()->documentMargin());
        for (QTextBlock block = log->document()->begin(); block.isValid(); block = block.next()) {
            EXPECT_LE(log->fontMetrics().horizontalAdvance(block.text()), room) << block.text().toStdString();
        }
    }
}

TEST(SimulationWindow, StaysOnASmallScreenAndShowsWholeReportLines) {
    SimulatedBus bus;
    demo::addStartingBoards(bus);
    SimulationWindow window(bus);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    auto* scroll = window.findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);

    // More boards than the screen holds: the window keeps its height and the panels scroll.
    QPushButton* add = nullptr;
    for (auto* button : window.findChildren<QPushButton*>()) {
        if (button->text().startsWith(QStringLiteral("Add a board"))) add = button;
    }
    ASSERT_NE(add, nullptr);
    for (int i = 0; i < 3; ++i) add->click();
    QCoreApplication::processEvents();
    EXPECT_LE(window.height() + kFrameAllowance, screen.height());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);

    // The longest lines a board's reports make: a failed answer at its feature length, then a
    // request longer than that length (refused by the bus), which widens the log to fit.
    const HidHandle handle = bus.open(bus.path(0));
    ASSERT_NE(handle, kInvalidHandle);
    std::vector<std::uint8_t> answer(bus.info(0).caps.featureReportLength);
    bus.failWhen([](const SimCall& call) { return call.op == SimOp::GetFeature; });
    EXPECT_FALSE(bus.getFeature(handle, answer));
    QTest::qWait(250);  // the window takes the bus's traffic every 100 ms
    expectWholeLines(window);
    const int width = window.width();

    const std::vector<std::uint8_t> longRequest(20, 0xFF);
    EXPECT_FALSE(bus.setFeature(handle, longRequest));
    QTest::qWait(250);
    EXPECT_GT(window.width(), width);
    EXPECT_LE(window.width() + kFrameAllowance, screen.width());
    expectWholeLines(window);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
    bus.close(handle);
}

// Each board's "Feature requests" list sets the firmware fault of that board alone, and the board
// answers reads accordingly: in full, short (report ID and command), or not at all.
TEST(SimulationWindow, FeatureRequestListSetsTheBoardsFault) {
    SimulatedBus bus;
    demo::addStartingBoards(bus);
    bus.setHangTimeout(std::chrono::milliseconds(20));
    SimulationWindow window(bus);
    window.show();
    QList<QComboBox*> lists;
    for (auto* list : window.findChildren<QComboBox*>())
        if (list->itemText(0) == QLatin1String(kFaultChoices[0])) lists.push_back(list);
    ASSERT_EQ(lists.size(), 2);
    QComboBox* second = lists[1];
    ASSERT_EQ(second->count(), 4);
    EXPECT_EQ(second->currentText().toStdString(), "answered");

    const HidHandle handle = bus.open(bus.path(1));
    std::vector<std::uint8_t> answer(bus.info(1).caps.featureReportLength);
    const std::pair<FeatureFault, std::size_t> expected[] = {{FeatureFault::None, answer.size()},
                                                             {FeatureFault::Refuse, 0},
                                                             {FeatureFault::Short, 2},
                                                             {FeatureFault::Hang, 0}};
    for (int index = 3; index >= 0; --index) {
        second->setCurrentIndex(index);
        const auto [fault, bytes] = expected[index];
        EXPECT_EQ(bus.firmware(1).fault(), fault) << index;
        EXPECT_EQ(bus.getFeature(handle, answer), bytes) << index;
    }
    EXPECT_EQ(bus.firmware(0).fault(), FeatureFault::None);

    // A fault set elsewhere shows in the list at the next refresh.
    bus.setFault(1, FeatureFault::Short);
    QTest::qWait(250);
    EXPECT_EQ(second->currentIndex(), 2);
    bus.close(handle);
}

// The whole path of a turn given in the demo: the open board's panel turns its encoder on 5-6 by
// +5 at 10 steps a second (its defaults but the pair), the configurator's worker reads every press
// and release, and its input test, opened as the menu opens it, counts +5 with no glitch.
TEST(SimulationWindow, ATurnGivenOnAPanelIsCountedByTheInputTest) {
    SimulatedBus bus;
    demo::addStartingBoards(bus);
    ui::MainWindow window;
    app::Configurator configurator(bus, window.controls(), app::DeviceThreads::Worker, [&window] { window.wake(); });
    window.onWake([&configurator] { configurator.deliverResults(); });
    SimulationWindow simulation(bus);
    simulation.show();
    configurator.start();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return configurator.boardInView() && configurator.boardInView()->settings; }, 5000));
    window.showInputTest(configurator);
    ASSERT_NE(window.inputTest(), nullptr);

    BoardPanel* open = nullptr;
    for (auto* panel : simulation.findChildren<BoardPanel*>())
        if (panel->title().contains(QString::fromStdString(configurator.boardInView()->serial))) open = panel;
    ASSERT_NE(open, nullptr);
    QComboBox* pair = nullptr;
    QPushButton* turn = nullptr;
    for (auto* list : open->findChildren<QComboBox*>())
        if (list->accessibleName() == QLatin1String("Turn the encoder on buttons")) pair = list;
    for (auto* button : open->findChildren<QPushButton*>())
        if (button->text() == QLatin1String(kTurnButton)) turn = button;
    ASSERT_NE(pair, nullptr);
    ASSERT_NE(turn, nullptr);
    pair->setCurrentIndex(2);
    QTest::mouseClick(turn, Qt::LeftButton);

    auto* count = window.inputTest()->findChild<QLabel*>(QStringLiteral("Count3"));
    ASSERT_NE(count, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([count] { return count->text() == QLatin1String("+5"); }, 5000))
        << count->text().toStdString();
    EXPECT_EQ(window.inputTest()->findChild<QLabel*>(QStringLiteral("Glitches3"))->text().toStdString(), "Glitches: 0");
    window.closeInputTest();
    configurator.stop();
}

}  // namespace
}  // namespace korvex::demo
