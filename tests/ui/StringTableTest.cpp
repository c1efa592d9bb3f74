#include "ui/StringTable.h"

#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <vector>

TEST(StringTableTest, HoldsEveryListInOrder) {
    const std::vector<std::pair<int, std::vector<const char*>>> lists{
        {104,
         {"Left", "Right", "Center", "Subwoofer", "Left Surround", "Right Surround", "Left Extra",
          "Right Extra"}},
        {112,
         {"Arvo A", "Arvo B", "Arvo C", "Arvo D", "Arvo E", "Arvo F", "Other 1", "Other 2",
          "Custom"}},
        {200, {"1", "2", "3", "4", "5", "6", "7", "8", "Unassigned"}},
        {208,
         {"Unassigned", "Coaxial S/PDIF", "Optical S/PDIF", "SDI", "4x AES/EBU", "1x AES/EBU"}},
        {22400,
         {"English", "Cantonese", "French", "German", "Italian", "Japanese", "Mandarin",
          "Spanish"}},
        {101, {"&About KORARemoteGUI..."}},
        {22500,
         {"You are about to update the software on your TRX4.\nThis process CANNOT be "
          "interrupted or the TRX4 will become inoperable.\n\nAre you sure you want to "
          "continue?"}},
    };
    for (const auto& [first, texts] : lists) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const int id = first + static_cast<int>(i);
            EXPECT_EQ(StringTable::load(id).toStdString(), texts[i]) << id;
        }
    }
}

TEST(StringTableTest, AMissingIdIsReportedWithTheId) {
    for (const int id : {-5, 0, 102, 103, 121, 199, 214, 22399, 22408, 22499, 22501}) {
        EXPECT_EQ(thrownMessage<VerloException>([id] { StringTable::load(id); }),
                  "Unable to load the string with id: " + std::to_string(id));
    }
}
