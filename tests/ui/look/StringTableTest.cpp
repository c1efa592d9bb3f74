#include "ui/look/StringTable.h"

#include "protocol/VerloException.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

TEST(StringTableTest, EachListEndsWhereItsNeighbourIdsAreMissing) {
    for (const int id : {101, 104, 111, 112, 120, 200, 208, 213, 22400, 22407, 22500}) {
        EXPECT_FALSE(StringTable::load(id).isEmpty()) << id;
    }
    for (const int id : {-5, 0, 102, 103, 121, 199, 214, 22399, 22408, 22499, 22501}) {
        EXPECT_EQ(thrownMessage<VerloException>([id] { StringTable::load(id); }),
                  "Unable to load the string with id: " + std::to_string(id));
    }
}
