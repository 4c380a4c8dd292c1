#include <gtest/gtest.h>

#include "console/history.h"
#include "console/history_pane.h"
#include "fakes/fakes.h"

namespace {

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakes(); }
};

TEST_F(HistoryTest, TextWithoutLineEndJoinsTheNextAppend) {
    AppendHistory("Server closed...");
    AppendHistory("Trying again\r\n");
    EXPECT_EQ(fakeHistory.text, "Server closed...Trying again\r\n");
}

TEST_F(HistoryTest, LineEndsAreKeptExactlyAsGiven) {
    AppendHistory("Error: Previous send not finished, send ignored\n\r");
    AppendHistory("next\r\n");
    EXPECT_EQ(fakeHistory.text, "Error: Previous send not finished, send ignored\n\rnext\r\n");
}

TEST_F(HistoryTest, AppendGoesToTheEndWhateverTheUserSelected) {
    AppendHistory("first line\r\n");
    AppendHistory("second line\r\n");
    HistoryPaneSetSelection(0, 5);  // the user selects "first"
    AppendHistory("third\r\n");
    EXPECT_EQ(fakeHistory.text, "first line\r\nsecond line\r\nthird\r\n");
    EXPECT_EQ(fakeHistory.selectionStart, fakeHistory.text.size()) << "caret after the new text";
    EXPECT_EQ(fakeHistory.selectionEnd, fakeHistory.text.size());
}

TEST_F(HistoryTest, TextIsTakenLiterally) {
    AppendHistory("<Ann> 100% %s %n %d\r\n");
    EXPECT_EQ(fakeHistory.text, "<Ann> 100% %s %n %d\r\n");
}

TEST_F(HistoryTest, ClearEmptiesAndFurtherAppendsStartAfresh) {
    AppendHistory("one\r\n");
    EXPECT_EQ(ClearHistory(), 1);
    EXPECT_EQ(fakeHistory.text, "");
    ClearHistory();
    EXPECT_EQ(fakeHistory.text, "");
    AppendHistory("two\r\n");
    EXPECT_EQ(fakeHistory.text, "two\r\n");
}

TEST_F(HistoryTest, WithoutAPaneNothingIsWrittenAndNothingFails) {
    fakeHistory.exists = false;
    EXPECT_EQ(AppendHistory("lost\r\n"), 1);
    EXPECT_EQ(ClearHistory(), 1);
    EXPECT_TRUE(fakeHistory.appends.empty());
    EXPECT_EQ(fakeHistory.text, "");
}

}  // namespace
