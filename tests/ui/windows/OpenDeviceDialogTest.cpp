#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/windows/OpenDeviceDialog.h"

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

struct Controls {
    QComboBox* connection;
    QComboBox* port;
    QLineEdit* address;
};

Controls controlsOf(const OpenDeviceDialog& dialog) {
    return {dialog.findChild<QComboBox*>(QStringLiteral("connection")),
            dialog.findChild<QComboBox*>(QStringLiteral("port")),
            dialog.findChild<QLineEdit*>(QStringLiteral("tcpAddress"))};
}

class OpenDeviceDialogTest : public testing::Test {
protected:
    TemporaryProfile profile;
};

TEST_F(OpenDeviceDialogTest, OffLineOnCom1AtFirstAndEachConnectionEnablesOnlyItsControl) {
    OpenDeviceDialog dialog;
    const Controls controls = controlsOf(dialog);
    EXPECT_EQ(controls.connection->currentText(), "Off Line");
    EXPECT_EQ(controls.port->currentText(), "COM1");
    EXPECT_TRUE(controls.address->text().isEmpty());
    EXPECT_EQ(dialog.serialPort(), 1);
    struct Case {
        int index;
        bool address;
        bool port;
    };
    for (const Case& c : {Case{0, true, false}, Case{1, false, true}, Case{2, false, false}}) {
        controls.connection->setCurrentIndex(c.index);
        EXPECT_EQ(dialog.connectionType(), c.index);
        EXPECT_EQ(controls.address->isEnabled(), c.address) << c.index;
        EXPECT_EQ(controls.port->isEnabled(), c.port) << c.index;
    }
}

TEST_F(OpenDeviceDialogTest, CancelStillStoresTheSelectionMade) {
    ScriptedModalRunner runner;
    runner.answerDialog([](QDialog& shown) {
        const Controls controls = controlsOf(static_cast<OpenDeviceDialog&>(shown));
        controls.connection->setCurrentIndex(ConnectionType::Ethernet);
        controls.address->setText(QStringLiteral("10.0.0.7"));
        controls.port->setCurrentIndex(2);
        findControl<QAbstractButton>(&shown, OpenDeviceDialog::kCancelButton)->click();
    });
    {
        OpenDeviceDialog dialog;
        EXPECT_EQ(ModalRunner::run(dialog), QDialog::Rejected);
        // Nothing is stored before the dialog goes.
        EXPECT_FALSE(profile.get(QStringLiteral("Settings/connection type")).isValid());
    }
    EXPECT_EQ(profile.get(QStringLiteral("Settings/connection type")).toInt(), 0);
    EXPECT_EQ(profile.get(QStringLiteral("Settings/tcp address")).toString(), "10.0.0.7");
    EXPECT_EQ(profile.get(QStringLiteral("Settings/serial port")).toInt(), 3);

    OpenDeviceDialog again;
    const Controls controls = controlsOf(again);
    EXPECT_EQ(controls.connection->currentText(), "Ethernet");
    EXPECT_EQ(controls.address->text(), "10.0.0.7");
    EXPECT_TRUE(controls.address->isEnabled());
    EXPECT_EQ(controls.port->currentText(), "COM3");
}

TEST_F(OpenDeviceDialogTest, AStoredTypeWithoutAnEntryIsKeptAndType3EnablesThePort) {
    profile.set(QStringLiteral("Settings/connection type"), 3);
    profile.set(QStringLiteral("Settings/serial port"), 4);
    {
        OpenDeviceDialog dialog;
        const Controls controls = controlsOf(dialog);
        EXPECT_EQ(dialog.connectionType(), 3);
        EXPECT_EQ(dialog.serialPort(), 4);
        EXPECT_TRUE(controls.port->isEnabled());
        EXPECT_FALSE(controls.address->isEnabled());
    }
    EXPECT_EQ(profile.get(QStringLiteral("Settings/connection type")).toInt(), 3);
}

} // namespace
