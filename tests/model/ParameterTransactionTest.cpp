#include "model/ParameterTransaction.h"
#include "model/ControlParameter.h"
#include "protocol/VerloException.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

using ::testing::IsEmpty;

namespace {

const ParameterId filmId(3, 10);
const ParameterId videoId(3, 11);
const ParameterId unitsId(11, 0);

} // namespace

class ParameterTransactionTest : public ::testing::Test {
protected:
    ParameterTransactionTest() {
        unit.values = {{filmId, ParameterValue(8)}, {videoId, ParameterValue(8)}};
        local.values = {{unitsId, ParameterValue(0)}};
        film.refresh();
        video.refresh();
        units.refresh();
        onFilm.watch(film);
        onVideo.watch(video);
        onFilm.calls.clear();
        onVideo.calls.clear();
    }

    RecordingProtocol unit;
    RecordingProtocol local;
    ControlParameter film{&unit, filmId, ParameterValue(0), ParameterValue(8)};
    ControlParameter video{&unit, videoId, ParameterValue(0), ParameterValue(8)};
    ControlParameter units{&local, unitsId, ParameterValue(0), ParameterValue(1)};
    RecordingObserverOf<ControlParameter> onFilm;
    RecordingObserverOf<ControlParameter> onVideo;
};

TEST_F(ParameterTransactionTest, CommitWritesOnceForEachProtocol) {
    ParameterTransaction transaction;
    film.setValue(ParameterValue(6), &transaction);
    units.setValue(ParameterValue(1), &transaction);
    video.setValue(ParameterValue(7), &transaction);
    EXPECT_THAT(unit.setValuesCalls, IsEmpty()) << "nothing is sent before the commit";

    transaction.commit();
    ASSERT_EQ(unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(unit.setValuesCalls[0].first,
              (ParameterValueMap{{filmId, ParameterValue(6)}, {videoId, ParameterValue(7)}}));
    EXPECT_EQ(unit.setValuesCalls[0].second, 0u);
    ASSERT_EQ(local.setValuesCalls.size(), 1u);
    EXPECT_EQ(local.setValuesCalls[0].first, (ParameterValueMap{{unitsId, ParameterValue(1)}}));
    EXPECT_THAT(unit.writes, IsEmpty());
    EXPECT_EQ(film.unitValue(), ParameterValue(8)) << "the next refresh brings the unit's value";
}

TEST_F(ParameterTransactionTest, AParameterChangedThreeTimesIsWrittenOnceWithItsLastValue) {
    ParameterTransaction transaction;
    film.setValue(ParameterValue(1), &transaction);
    film.setValue(ParameterValue(2), &transaction);
    film.setValue(ParameterValue(3), &transaction);
    transaction.commit();
    ASSERT_EQ(unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(unit.setValuesCalls[0].first, (ParameterValueMap{{filmId, ParameterValue(3)}}));
}

TEST_F(ParameterTransactionTest, AnEmptyCommitWritesNothingAndACommittedOneRevertsNothing) {
    {
        ParameterTransaction transaction;
        transaction.commit();
        EXPECT_THAT(unit.setValuesCalls, IsEmpty());
        film.setValue(ParameterValue(5), &transaction);
        transaction.commit();
        onFilm.calls.clear();
    }
    EXPECT_THAT(onFilm.calls, IsEmpty());
    EXPECT_EQ(film.value(), ParameterValue(5));
    EXPECT_EQ(unit.setValuesCalls.size(), 1u);
}

TEST_F(ParameterTransactionTest, DestroyingAnOpenTransactionRevertsEachRecordWithANullHint) {
    {
        ParameterTransaction transaction;
        film.setValue(ParameterValue(1), &transaction);
        video.setValue(ParameterValue(2), &transaction);
        onFilm.calls.clear();
        onVideo.calls.clear();
    }
    EXPECT_EQ(film.value(), ParameterValue(8));
    EXPECT_EQ(video.value(), ParameterValue(8));
    ASSERT_EQ(onFilm.calls.size(), 1u);
    ASSERT_EQ(onVideo.calls.size(), 1u);
    EXPECT_EQ(onFilm.calls[0].hint, nullptr);
    EXPECT_THAT(unit.setValuesCalls, IsEmpty());
}

TEST_F(ParameterTransactionTest,
       AParameterRecordedTwiceIsRevertedTwiceAndTheTransactionIsReusable) {
    ParameterTransaction transaction;
    film.setValue(ParameterValue(1), &transaction);
    film.setValue(ParameterValue(2), &transaction);
    onFilm.calls.clear();
    transaction.rollback();
    EXPECT_EQ(onFilm.calls.size(), 2u);
    EXPECT_EQ(film.value(), ParameterValue(8));

    video.setValue(ParameterValue(3), &transaction);
    transaction.commit();
    ASSERT_EQ(unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(unit.setValuesCalls[0].first, (ParameterValueMap{{videoId, ParameterValue(3)}}));
}

TEST_F(ParameterTransactionTest, AFailedWriteKeepsEveryRecordForTheRollback) {
    auto transaction = std::make_unique<ParameterTransaction>();
    film.setValue(ParameterValue(1), transaction.get());
    units.setValue(ParameterValue(1), transaction.get());
    unit.failNext(ProtocolException("Timeout"));
    local.failNext(ProtocolException("Timeout"));
    EXPECT_THROW(transaction->commit(), ProtocolException);
    EXPECT_EQ(unit.setValuesCalls.size() + local.setValuesCalls.size(), 0u);
    transaction.reset();
    EXPECT_EQ(film.value(), ParameterValue(8));
    EXPECT_EQ(units.value(), ParameterValue(0));
}

TEST_F(ParameterTransactionTest, ChangesThatRulesMakeOnTheTransactionsBehalfJoinIt) {
    ParameterTransaction transaction;
    onFilm.onUpdate = [&](Subject&, Transaction* hint) {
        if (hint != nullptr) {
            video.setValue(film.value(), hint);
        }
    };
    film.setValue(ParameterValue(4), &transaction);
    EXPECT_EQ(video.value(), ParameterValue(4));
    transaction.rollback();
    EXPECT_EQ(video.value(), ParameterValue(8));
    EXPECT_EQ(film.value(), ParameterValue(8));
}

TEST_F(ParameterTransactionTest, AnObserverThatFailsWhileRevertingDoesNotEscapeTheDestructor) {
    {
        ParameterTransaction transaction;
        film.setValue(ParameterValue(2), &transaction);
        onFilm.onUpdate = [](Subject&, Transaction*) { throw VerloException("TRX4 Disconnected"); };
    }
    EXPECT_EQ(film.value(), ParameterValue(8));
}
