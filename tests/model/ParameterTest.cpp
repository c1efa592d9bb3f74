#include "base/VerloException.h"
#include "model/ControlParameter.h"
#include "model/ParameterTransaction.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"

#include <gmock/gmock.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

Parameter makeParameter(std::uint8_t index = 1) {
    return Parameter(nullptr, ParameterId(1, index), ParameterValue(0), ParameterValue(100));
}

} // namespace

TEST(Subject, AttachUpdatesAtOnceNotifyKeepsAttachmentOrderAndDetachRemovesEveryEntry) {
    std::vector<std::string> journal;
    Parameter parameter = makeParameter();
    RecordingObserver a("a", &journal), b("b", &journal);
    b.watch(parameter);
    a.watch(parameter);
    parameter.attach(b);
    ParameterTransaction transaction;
    parameter.notify(&transaction);
    parameter.detach(b);
    parameter.notify(nullptr);
    EXPECT_THAT(journal, ElementsAre("b", "a", "b", "b", "a", "b", "a"));
    EXPECT_EQ(a.calls[0].hint, nullptr);
    EXPECT_EQ(a.calls[1].hint, &transaction);
}

TEST(Subject, WhicheverDiesFirstTellsTheOtherAndACopyIsWatchedToo) {
    // A subject destroyed by its observer stops the notification and tells them all.
    auto parameter = std::make_unique<Parameter>(makeParameter());
    RecordingObserver killer, after;
    killer.watch(*parameter);
    after.watch(*parameter);
    killer.onUpdate = [&](Subject&, Transaction*) { parameter.reset(); };
    parameter->notify(nullptr);
    EXPECT_EQ(after.calls.size(), 1u);
    EXPECT_EQ(killer.destroyedCalls, 1);
    EXPECT_EQ(after.subject(), nullptr);

    // An observer also attached to another subject and to a copy leaves all of them.
    Parameter watched = makeParameter(1);
    Parameter other = makeParameter(2);
    RecordingObserver survivor;
    survivor.watch(other);
    auto shortLived = std::make_unique<RecordingObserver>();
    shortLived->watch(watched);
    other.attach(*shortLived);
    Parameter copy(watched);
    shortLived->calls.clear();
    copy.notify(nullptr);
    ASSERT_EQ(shortLived->calls.size(), 1u);
    EXPECT_EQ(shortLived->calls[0].subject, &copy);
    shortLived.reset();
    other.notify(nullptr);
    watched.notify(nullptr);
    copy.notify(nullptr);
    EXPECT_EQ(survivor.calls.size(), 2u);
    {
        Parameter passing = makeParameter(3);
        passing.attach(survivor);
    }
    EXPECT_EQ(survivor.subject(), &other) << "another subject's end leaves it watching its own";
}

TEST(SubjectReentrancy, ListChangesInANotificationTakeEffectAtOnceOrNextTimeAndLeaveItSound) {
    Parameter parameter = makeParameter();
    RecordingObserver first, detached, last, added;
    auto deleted = std::make_unique<RecordingObserver>();
    first.watch(parameter);
    detached.watch(parameter);
    deleted->watch(parameter);
    last.watch(parameter);
    first.onUpdate = [&](Subject&, Transaction*) {
        parameter.detach(detached);
        deleted.reset();
        if (added.subject() == nullptr) {
            added.watch(parameter);
        }
    };
    parameter.notify(nullptr);
    EXPECT_EQ(detached.calls.size(), 1u) << "only the update of attach itself";
    EXPECT_EQ(added.calls.size(), 1u) << "only the update of attach itself";
    EXPECT_EQ(last.calls.size(), 2u);
    parameter.notify(nullptr);
    EXPECT_EQ(added.calls.size(), 2u);
    EXPECT_EQ(last.calls.size(), 3u);

    // Nested notifications and throwing observers leave the list sound.
    RecordingObserver outer, inner, tail;
    outer.watch(parameter);
    inner.watch(parameter);
    tail.watch(parameter);
    bool nested = false;
    outer.onUpdate = [&](Subject&, Transaction*) {
        if (std::exchange(nested, true)) {
            return;
        }
        parameter.detach(inner);
        parameter.notify(nullptr);
        throw std::runtime_error("observer failed");
    };
    EXPECT_THROW(parameter.notify(nullptr), std::runtime_error);
    EXPECT_EQ(tail.calls.size(), 2u) << "attach and the inner notification only";
    parameter.notify(nullptr);
    EXPECT_EQ(tail.calls.size(), 3u);
    EXPECT_EQ(inner.calls.size(), 1u);
}

TEST(Parameter, NotifiesOnlyWhenItsValueChangesUnlessAlwaysNotify) {
    const ParameterId id(1, 4);
    RecordingProtocol unit;
    unit.values[id] = ParameterValue(3);
    Parameter parameter(&unit, id, ParameterValue(0), ParameterValue(100));
    RecordingObserver observer;
    observer.watch(parameter);
    EXPECT_FALSE(parameter.update(ParameterValueMap{{ParameterId(1, 5), ParameterValue(3)}}));
    EXPECT_TRUE(parameter.update(ParameterValueMap{{id, ParameterValue(3)}}));
    EXPECT_FALSE(parameter.update(ParameterValueMap{{id, ParameterValue(3)}}));
    EXPECT_EQ(parameter.value(), ParameterValue(3));
    parameter.refresh();
    EXPECT_EQ(observer.calls.size(), 2u);
    parameter.setAlwaysNotify(true);
    EXPECT_TRUE(parameter.update(ParameterValueMap{{id, ParameterValue(3)}}));
    parameter.refresh();
    EXPECT_EQ(observer.calls.size(), 4u);
    std::ostringstream shown;
    EXPECT_TRUE(parameter.format(shown, ParameterValue(-1)));
    EXPECT_EQ(shown.str(), "65535") << "without a formatter, as an unsigned number";
}

namespace {

const ParameterId filmId(3, 10);
const ParameterId videoId(3, 11);
const ParameterId unitsId(11, 0);

// Two parameters of the unit, settled at their maximum 8, the first watched, and one
// of the application's own source.
class ControlParameterTest : public ::testing::Test {
protected:
    ControlParameterTest() {
        unit.values = {{filmId, ParameterValue(8)}, {videoId, ParameterValue(8)}};
        film.refresh();
        video.refresh();
        onFilm.watch(film);
        onFilm.calls.clear();
    }

    RecordingProtocol unit;
    RecordingProtocol local;
    ControlParameter film{&unit, filmId, ParameterValue(0), ParameterValue(8)};
    ControlParameter video{&unit, videoId, ParameterValue(0), ParameterValue(8)};
    ControlParameter units{&local, unitsId, ParameterValue(0), ParameterValue(1)};
    RecordingObserverOf<ControlParameter> onFilm;
};

} // namespace

TEST_F(ControlParameterTest, ValuesOutsideTheLimitsOrAlreadyPendingAreIgnoredAndUpdateIsQuiet) {
    ParameterTransaction transaction;
    film.setValue(ParameterValue(9), &transaction);
    film.setValue(ParameterValue(-1), &transaction);
    film.setValue(ParameterValue(9));
    film.setValue(ParameterValue(8), &transaction);
    transaction.commit();
    EXPECT_THAT(unit.setValuesCalls, IsEmpty());
    EXPECT_THAT(unit.writes, IsEmpty());

    // An update takes both values without notifying.
    EXPECT_FALSE(film.update(ParameterValueMap{{filmId, ParameterValue(8)}}));
    EXPECT_TRUE(film.update(ParameterValueMap{{filmId, ParameterValue(4)}}));
    EXPECT_EQ(film.unitValue(), ParameterValue(4));
    EXPECT_THAT(onFilm.calls, IsEmpty());
    // After a commit the unit answers the pending value; the unit's value must
    // follow, or a later revert would bring back a stale one.
    film.setValue(ParameterValue(6), &transaction);
    EXPECT_FALSE(film.update(ParameterValueMap{{filmId, ParameterValue(6)}}));
    film.revert();
    EXPECT_EQ(film.value(), ParameterValue(6));
    // A refresh settles an edited value even when the unit's is unchanged.
    unit.values[filmId] = ParameterValue(6);
    film.setValue(ParameterValue(2), &transaction);
    film.refresh();
    EXPECT_EQ(film.value(), ParameterValue(6));

    ControlParameter around(&unit, ParameterId(3, 12), ParameterValue(-10), ParameterValue(10));
    ParameterTransaction aroundTransaction;
    around.setValue(ParameterValue(std::string("\xFF\xFF")), &aroundTransaction);
    EXPECT_EQ(around.value().toSignedInt(), -1);
    around.setValue(ParameterValue(0x8000), &aroundTransaction);
    EXPECT_EQ(around.value().toSignedInt(), -1);
}

TEST_F(ControlParameterTest, WithoutATransactionTheValueIsWrittenAtOnceWithTheSettleDelay) {
    film.setSettleDelay(250);
    film.setValue(ParameterValue(5), nullptr);
    ASSERT_EQ(unit.writes.size(), 1u);
    EXPECT_EQ(unit.writes[0].value, ParameterValue(5));
    EXPECT_EQ(unit.writes[0].delayMs, 250u);
    EXPECT_EQ(film.unitValue(), ParameterValue(5));
    ASSERT_EQ(onFilm.calls.size(), 1u);
    EXPECT_EQ(onFilm.calls[0].hint, nullptr);
    film.apply(ParameterValue(5));
    EXPECT_EQ(unit.writes.size(), 1u) << "the pending value is not sent again";

    // A value the unit keeps, or a failed write, changes nothing.
    unit.refused.insert(filmId);
    film.setValue(ParameterValue(6));
    unit.failNext(HostException("Error: Illegal Parameter Value"));
    EXPECT_THROW(film.setValue(ParameterValue(7)), HostException);
    EXPECT_EQ(film.value(), ParameterValue(5));
    EXPECT_EQ(film.unitValue(), ParameterValue(5));
    EXPECT_EQ(onFilm.calls.size(), 1u);
}

TEST_F(ControlParameterTest, ACommitWritesOnceForEachProtocolAndObserversChangesJoinATransaction) {
    {
        ParameterTransaction transaction;
        film.setValue(ParameterValue(1), &transaction);
        film.setValue(ParameterValue(3), &transaction);
        units.setValue(ParameterValue(1), &transaction);
        video.setValue(ParameterValue(7), &transaction);
        EXPECT_THAT(unit.setValuesCalls, IsEmpty()) << "nothing is sent before the commit";
        transaction.commit();
        onFilm.calls.clear();
    }
    ASSERT_EQ(unit.setValuesCalls.size(), 1u);
    EXPECT_EQ(unit.setValuesCalls[0].first,
              (ParameterValueMap{{filmId, ParameterValue(3)}, {videoId, ParameterValue(7)}}));
    EXPECT_EQ(unit.setValuesCalls[0].second, 0u);
    ASSERT_EQ(local.setValuesCalls.size(), 1u);
    EXPECT_EQ(local.setValuesCalls[0].first, (ParameterValueMap{{unitsId, ParameterValue(1)}}));
    EXPECT_THAT(unit.writes, IsEmpty());
    EXPECT_EQ(film.unitValue(), ParameterValue(8)) << "the next refresh brings it";
    EXPECT_EQ(film.value(), ParameterValue(3)) << "a committed transaction reverts nothing";
    EXPECT_THAT(onFilm.calls, IsEmpty());

    // Observers' changes join the transaction and their failures stay inside it.
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
    {
        ParameterTransaction failing;
        film.setValue(ParameterValue(2), &failing);
        onFilm.onUpdate = [](Subject&, Transaction*) { throw VerloException("TRX4 Disconnected"); };
    }
    EXPECT_EQ(film.value(), ParameterValue(8));
}
