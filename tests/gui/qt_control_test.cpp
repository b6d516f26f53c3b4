#include "platform/qt/qt_control.h"

#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "gui_test_support.h"

namespace vindle {
namespace {

TEST(QtControlTest, EnablesFromAnyThread) {
    QPushButton button;
    QtControl control(&button);

    control.SetEnabled(false);
    EXPECT_FALSE(button.isEnabled());
    EXPECT_FALSE(control.IsEnabled());

    std::atomic<bool> done{false};
    bool seen = false;
    std::thread worker([&] {
        control.SetEnabled(true);
        seen = control.IsEnabled();
        done = true;
    });
    const bool finished = test::ProcessEventsUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(button.isEnabled());
}

TEST(QtControlTest, ReadsTheControlsOwnStateNotItsParents) {
    QWidget window;
    auto* button = new QPushButton(&window);
    QtControl control(button);
    window.setEnabled(false);

    EXPECT_TRUE(control.IsEnabled());
    control.SetEnabled(false);
    EXPECT_FALSE(control.IsEnabled());
}

TEST(QtControlTest, DetachedControlIsInert) {
    QPushButton button;
    QtControl control(&button);
    control.Detach();

    control.SetEnabled(false);
    EXPECT_TRUE(button.isEnabled());
    EXPECT_FALSE(control.IsEnabled());

    std::thread worker([&] { control.SetEnabled(false); });
    worker.join();  // a detached adapter never waits for this thread
    EXPECT_TRUE(button.isEnabled());
}

}  // namespace
}  // namespace vindle
