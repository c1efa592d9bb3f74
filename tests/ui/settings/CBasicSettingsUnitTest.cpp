#include "TracedUnitTest.h"
#include "support/ScriptedModalRunner.h"
#include "ui/TemporaryProfile.h"

#include "ui/binding/ControlId.h"
#include "ui/look/MessageDialog.h"
#include "ui/settings/CBasicSettings.h"
#include "ui/windows/CDownload.h"
#include "ui/windows/CKORARemoteGUIDlg.h"
#include "ui/windows/KORAExceptionHandler.h"
#include "ui/windows/WindowStack.h"

#include <QComboBox>

#include <gtest/gtest.h>

#include <algorithm>

// The settings dialog on the main window's connection to a trx4-unit.
namespace {

class CBasicSettingsWithUnit : public TracedUnitTest {
protected:
    void connect(const std::vector<std::string>& options) {
        startUnit(options);
        window = std::make_unique<CKORARemoteGUIDlg>(
            ConnectionType::Ethernet, QStringLiteral("127.0.0.1"), 1, nullptr, unit->port());
        window->initialise();
        ASSERT_TRUE(window->parameterSet()->hasDevice());
        settings = std::make_unique<CBasicSettings>(window->parameterSet(), window.get(),
                                                    &window->exceptionHandler());
        EXPECT_TRUE(
            findControl<QWidget>(settings.get(), CBasicSettings::kUpdateSoftware)->isEnabled());
    }
    // The operator picks "French" as presentation language.
    void pickFrench() {
        auto* list = findControl<QComboBox>(settings.get(), CBasicSettings::kLanguageList);
        list->setCurrentIndex(2);
        emit list->activated(2);
    }
    // The identifiers of every Set the unit received.
    std::vector<std::string> setIds() {
        settings.reset();
        window.reset();
        std::vector<std::string> ids;
        for (const auto& set : messages(stopAndReadTrace(), "received", "Set")) {
            for (const auto& id : set["ids"]) {
                ids.push_back(id.get<std::string>());
            }
        }
        return ids;
    }

    TemporaryProfile profile;
    std::unique_ptr<CKORARemoteGUIDlg> window;
    std::unique_ptr<CBasicSettings> settings;
};

TEST_F(CBasicSettingsWithUnit, AnOperatorChangeReachesTheUnit) {
    connect({});
    pickFrench();
    window->pollTick();
    EXPECT_EQ(window->parameterSet()->findParameter(ParameterId(0x0319)).value(),
              ParameterValue(2));
    const auto ids = setIds();
    EXPECT_NE(std::find(ids.begin(), ids.end(), "0x0319"), ids.end());
}

TEST_F(CBasicSettingsWithUnit, AnErrorReplyIsShownAndTheConnectionStays) {
    connect({"--set-error", "2"});
    ScriptedModalRunner operatorPlays;
    operatorPlays.clickInDialog(MessageDialog::kOkButton);
    pickFrench();
    ASSERT_EQ(operatorPlays.dialogs().size(), 1u);
    EXPECT_TRUE(operatorPlays.dialogs()[0].texts.contains(ErrorDialog::kMessage));
    EXPECT_EQ(window->connectionType(), ConnectionType::Ethernet);
    EXPECT_TRUE(window->parameterSet()->hasDevice());
    // The list shows the unit's language again.
    EXPECT_EQ(findControl<QComboBox>(settings.get(), CBasicSettings::kLanguageList)->currentIndex(),
              0);
    EXPECT_FALSE(setIds().empty());
}

TEST_F(CBasicSettingsWithUnit, UpdateSoftwareOpensTheUpdateDialogRegisteredWhileOpen) {
    connect({});
    ScriptedModalRunner operatorPlays;
    operatorPlays.answerDialog([&](QDialog& dialog) {
        EXPECT_NE(qobject_cast<CDownload*>(&dialog), nullptr);
        EXPECT_EQ(window->exceptionHandler().openWindowCount(), 1u);
        EXPECT_EQ(WindowStack::instance().windows().back(), &dialog);
        dialog.reject();
    });
    findControl<QAbstractButton>(settings.get(), CBasicSettings::kUpdateSoftware)->click();
    EXPECT_EQ(operatorPlays.dialogs().size(), 1u);
    EXPECT_EQ(window->exceptionHandler().openWindowCount(), 0u);
}

} // namespace
