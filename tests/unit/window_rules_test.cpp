#include <gtest/gtest.h>

#include "app/window_rules.h"
#include "settings/settings.h"

namespace {

void ExpectRect(const ChildRect& rect, int x, int y, int width, int height) {
    EXPECT_EQ(rect.x, x);
    EXPECT_EQ(rect.y, y);
    EXPECT_EQ(rect.width, width);
    EXPECT_EQ(rect.height, height);
}

TEST(LayoutTest, WithoutToolbarHistoryEndsTwentyFiveAboveTheBottom) {
    MainLayout layout = ComputeLayout(384, 242, 0, 0);
    ExpectRect(layout.history, 0, 0, 384, 217);
    ExpectRect(layout.input, 0, 219, 384, 23);
}

TEST(LayoutTest, WithToolbarHistoryStartsTwoBelowIt) {
    MainLayout layout = ComputeLayout(384, 242, 1, 28);
    ExpectRect(layout.history, 0, 30, 384, 242 - 28 - 27);
    ExpectRect(layout.input, 0, 219, 384, 23);
    EXPECT_EQ(layout.history.y + layout.history.height, 242 - 25);
}

TEST(LayoutTest, OnlyTheValueOneCountsAsToolbarOn) {
    MainLayout layout = ComputeLayout(200, 100, 5, 28);
    ExpectRect(layout.history, 0, 0, 200, 75);
}

TEST(LayoutTest, ToolbarSettingDecidesEvenWithoutAToolbarWindow) {
    // A toolbar that failed to build leaves the room of the last one free.
    MainLayout layout = ComputeLayout(200, 100, 1, 0);
    ExpectRect(layout.history, 0, 2, 200, 73);
}

TEST(LayoutTest, TinyClientAreasClampTheHistoryHeightAtZero) {
    ExpectRect(ComputeLayout(0, 0, 0, 0).history, 0, 0, 0, 0);
    ExpectRect(ComputeLayout(0, 0, 0, 0).input, 0, -23, 0, 23);
    ExpectRect(ComputeLayout(50, 24, 0, 0).history, 0, 0, 50, 0);
    ExpectRect(ComputeLayout(50, 25, 0, 0).history, 0, 0, 50, 0);
    ExpectRect(ComputeLayout(50, 26, 0, 0).history, 0, 0, 50, 1);
    ExpectRect(ComputeLayout(50, 40, 1, 28).history, 0, 30, 50, 0);
    ExpectRect(ComputeLayout(50, 40, 1, 28).input, 0, 17, 50, 23);
}

TEST(LayoutTest, LargestClientSizeStaysExact) {
    MainLayout layout = ComputeLayout(65535, 65535, 1, 28);
    ExpectRect(layout.history, 0, 30, 65535, 65535 - 55);
    ExpectRect(layout.input, 0, 65512, 65535, 23);
}

TEST(StartVisibilityTest, HiddenOnlyWithTrayIconAndStartInTrayBothOne) {
    ChatSettings settings;
    SetDefaultSettings(settings);
    struct Case {
        int trayicon, startInTray;
        bool hidden;
    } cases[] = {{1, 1, true}, {1, 0, false}, {0, 1, false}, {0, 0, false}, {2, 1, false}, {1, 7, false}};
    for (const Case& c : cases) {
        settings.Trayicon = c.trayicon;
        settings.StartInTray = c.startInTray;
        EXPECT_EQ(StartsHidden(settings, true), c.hidden) << c.trayicon << "/" << c.startInTray;
        EXPECT_FALSE(StartsHidden(settings, false)) << "no icon, no hiding";
    }
}

}  // namespace
