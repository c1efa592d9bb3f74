#include "ui/windows/CViewLog.h"
#include "ui/binding/ControlId.h"

#include "ui/BindingTestSet.h"

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

TEST(CViewLogTest, EveryBareLineFeedGetsACarriageReturn) {
    EXPECT_EQ(CViewLog::convertLineBreaks("first\nsecond\n"), "first\r\nsecond\r\n");
    EXPECT_EQ(CViewLog::convertLineBreaks("first\n\rsecond"), "first\n\rsecond");
    EXPECT_EQ(CViewLog::convertLineBreaks("first\r\nsecond"), "first\r\r\nsecond");
    EXPECT_EQ(CViewLog::convertLineBreaks("\n\n"), "\r\n\r\n");
    EXPECT_EQ(CViewLog::convertLineBreaks(""), "");
}

TEST(CViewLogTest, ShowsTheEventLogFirstAndSwitchesBetweenTheLogs) {
    binding::RecordingHandler handler;
    CViewLog log("Event Log\n000:00:05 Power on\n", "", &handler);
    EXPECT_EQ(log.windowTitle(), QStringLiteral("Log"));
    auto* text = findControl<QPlainTextEdit>(&log, CViewLog::kLogText);
    auto* event = findControl<QRadioButton>(&log, CViewLog::kEventButton);
    auto* error = findControl<QRadioButton>(&log, CViewLog::kErrorButton);
    ASSERT_TRUE(text && event && error);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(event->isChecked());
    EXPECT_EQ(log.eventLog(), "Event Log\r\n000:00:05 Power on\r\n");
    // Two lines and the empty one after the last break.
    EXPECT_EQ(text->document()->blockCount(), 3);
    EXPECT_EQ(text->document()->findBlockByNumber(1).text(), QStringLiteral("000:00:05 Power on"));

    error->click();
    EXPECT_TRUE(text->toPlainText().isEmpty()); // an empty log shows nothing
    event->click();
    EXPECT_EQ(text->document()->findBlockByNumber(0).text(), QStringLiteral("Event Log"));
    EXPECT_TRUE(handler.calls.empty());

    CViewLog windowsLines("first\r\nsecond\n\rthird", "", &handler);
    EXPECT_EQ(findControl<QPlainTextEdit>(&windowsLines, CViewLog::kLogText)->toPlainText(),
              QStringLiteral("first\nsecond\nthird"));
}

} // namespace
