#include "shell/core/shutdown_plan.h"

#include <gtest/gtest.h>

namespace {

using S = ShutdownStep;

TEST(ShutdownPlanTest, EveryThreadEndedRunsTheWholeTailInOrder) {
    EXPECT_EQ(ShutdownPlan(true).tail(),
              (std::vector<S>{S::compact_cache, S::delete_lock, S::free_printer_setup,
                              S::restore_subclassed_controls, S::destroy_codec_contexts,
                              S::destroy_main_menus, S::free_view_lists, S::write_settings}));
    EXPECT_EQ(ShutdownPlan(false).tail(),
              (std::vector<S>{S::delete_lock, S::free_printer_setup, S::restore_subclassed_controls,
                              S::destroy_codec_contexts, S::destroy_main_menus, S::free_view_lists,
                              S::write_settings}));
}

TEST(ShutdownPlanTest, AThreadLeftRunningSkipsEveryStepThatNeedsTheLockOrItsState) {
    const ShutdownThread threads[] = {ShutdownThread::conversion, ShutdownThread::image_window,
                                      ShutdownThread::view1, ShutdownThread::view2, ShutdownThread::preview};
    for (ShutdownThread t : threads) {
        ShutdownPlan plan(true);
        EXPECT_FALSE(plan.any_left_running());
        plan.left_running(t);
        EXPECT_TRUE(plan.any_left_running());
        EXPECT_EQ(plan.tail(), (std::vector<S>{S::free_printer_setup, S::restore_subclassed_controls,
                                               S::destroy_main_menus, S::write_settings}))
            << static_cast<int>(t);
    }
}

TEST(ShutdownPlanTest, SettingsAreWrittenOnceAndBeforeTheFirstTermination) {
    ShutdownPlan plan(true);
    EXPECT_FALSE(plan.settings_written());
    EXPECT_TRUE(plan.write_settings_before_terminating());
    EXPECT_TRUE(plan.settings_written());
    EXPECT_FALSE(plan.write_settings_before_terminating());
    const std::vector<S> tail = plan.tail();
    EXPECT_EQ(tail.front(), S::compact_cache);
    for (S s : tail) EXPECT_NE(s, S::write_settings);
}

}  // namespace
