#include "ui/binding/ControlId.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

TEST(ControlIdTest, FindsNestedControlsOfTheWindowOnly) {
    QDialog dialog;
    auto* group = new QGroupBox(&dialog);
    auto* edit = new QLineEdit(group);
    setControlId(edit, 1243);
    auto* child = new QDialog(&dialog);
    setControlId(new QLabel(child), 1019);

    EXPECT_EQ(controlId(group), -1);
    EXPECT_EQ(findControl<QLineEdit>(&dialog, 1243), edit);
    EXPECT_EQ(findControl<QLabel>(&dialog, 1243), nullptr);
    // The child dialog's controls are its own.
    EXPECT_EQ(findControl(&dialog, 1019), nullptr);
    EXPECT_NE(findControl(child, 1019), nullptr);
}
