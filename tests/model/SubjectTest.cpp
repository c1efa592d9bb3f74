#include "model/Parameter.h"
#include "model/ParameterTransaction.h"

#include "support/RecordingObserver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <utility>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

Parameter makeParameter(std::uint8_t index = 1) {
    return Parameter(nullptr, ParameterId(1, index), ParameterValue(0), ParameterValue(100));
}

} // namespace

TEST(Subject, AttachUpdatesAtOnceAndNotifyRunsObserversInAttachmentOrderWithTheHint) {
    std::vector<std::string> journal;
    Parameter parameter = makeParameter();
    RecordingObserver a("a", &journal), b("b", &journal), c("c", &journal);
    b.watch(parameter);
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_EQ(b.calls[0].subject, &parameter);
    EXPECT_EQ(b.calls[0].hint, nullptr);
    a.watch(parameter);
    c.watch(parameter);
    journal.clear();
    ParameterTransaction transaction;
    parameter.notify(&transaction);
    EXPECT_THAT(journal, ElementsAre("b", "a", "c"));
    EXPECT_EQ(a.calls.back().hint, &transaction);
}

TEST(Subject, AnObserverAttachedTwiceIsCalledTwiceAndOneDetachRemovesBoth) {
    Parameter parameter = makeParameter();
    RecordingObserver twice, other;
    twice.watch(parameter);
    other.watch(parameter);
    parameter.attach(twice);
    twice.calls.clear();
    parameter.notify(nullptr);
    EXPECT_EQ(twice.calls.size(), 2u);

    parameter.detach(twice);
    twice.calls.clear();
    other.calls.clear();
    parameter.notify(nullptr);
    EXPECT_THAT(twice.calls, IsEmpty());
    EXPECT_EQ(other.calls.size(), 1u);
}

TEST(Subject, WhicheverDiesFirstTellsTheOther) {
    RecordingObserver first, second;
    {
        Parameter parameter = makeParameter();
        first.watch(parameter);
        second.watch(parameter);
    }
    EXPECT_EQ(first.destroyedCalls, 1);
    EXPECT_EQ(second.destroyedCalls, 1);
    EXPECT_EQ(first.subject(), nullptr);
    EXPECT_EQ(second.subject(), nullptr);

    // An observer also attached to a subject other than its own leaves both.
    Parameter watched = makeParameter(1);
    Parameter other = makeParameter(2);
    RecordingObserver survivor;
    {
        RecordingObserver shortLived;
        shortLived.watch(watched);
        other.attach(shortLived);
        survivor.watch(other);
    }
    survivor.calls.clear();
    other.notify(nullptr);
    watched.notify(nullptr);
    EXPECT_EQ(survivor.calls.size(), 1u);
}

TEST(Subject, ACopyIsWatchedByTheSameObservers) {
    Parameter original = makeParameter();
    auto observer = std::make_unique<RecordingObserver>();
    observer->watch(original);
    Parameter copy(original);
    observer->calls.clear();
    copy.notify(nullptr);
    ASSERT_EQ(observer->calls.size(), 1u);
    EXPECT_EQ(observer->calls[0].subject, &copy);
    observer.reset();
    original.notify(nullptr);
    copy.notify(nullptr);
}

TEST(SubjectReentrancy, ObserversDetachedOrDeletedDuringANotificationAreNotCalledByIt) {
    Parameter parameter = makeParameter();
    RecordingObserver first, detached, last;
    auto deleted = std::make_unique<RecordingObserver>();
    first.watch(parameter);
    detached.watch(parameter);
    deleted->watch(parameter);
    last.watch(parameter);
    first.onUpdate = [&](Subject&, Transaction*) {
        parameter.detach(detached);
        deleted.reset();
    };
    detached.calls.clear();
    last.calls.clear();
    parameter.notify(nullptr);
    EXPECT_THAT(detached.calls, IsEmpty());
    EXPECT_EQ(last.calls.size(), 1u);
    parameter.notify(nullptr);
    EXPECT_EQ(last.calls.size(), 2u);
}

TEST(SubjectReentrancy, AnObserverAttachedDuringANotificationWaitsForTheNextOne) {
    Parameter parameter = makeParameter();
    RecordingObserver first, added;
    first.watch(parameter);
    first.onUpdate = [&](Subject&, Transaction*) {
        if (added.subject() == nullptr) {
            added.watch(parameter);
        }
    };
    parameter.notify(nullptr);
    EXPECT_EQ(added.calls.size(), 1u) << "only the update of attach itself";
    parameter.notify(nullptr);
    EXPECT_EQ(added.calls.size(), 2u);
}

TEST(SubjectReentrancy, NestedNotificationsAndThrowingObserversLeaveTheListSound) {
    Parameter parameter = makeParameter();
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
    inner.calls.clear();
    tail.calls.clear();
    EXPECT_THROW(parameter.notify(nullptr), std::runtime_error);
    EXPECT_THAT(inner.calls, IsEmpty());
    EXPECT_EQ(tail.calls.size(), 1u) << "by the inner notification only";
    parameter.notify(nullptr);
    EXPECT_EQ(tail.calls.size(), 2u);
    EXPECT_THAT(inner.calls, IsEmpty());
    EXPECT_EQ(outer.calls.size(), 4u) << "attach, outer, inner, last";
}

TEST(SubjectReentrancy, ASubjectDestroyedByItsObserverStopsTheNotification) {
    auto parameter = std::make_unique<Parameter>(makeParameter());
    RecordingObserver killer, after;
    killer.watch(*parameter);
    after.watch(*parameter);
    killer.onUpdate = [&](Subject&, Transaction*) { parameter.reset(); };
    after.calls.clear();
    parameter->notify(nullptr);
    EXPECT_THAT(after.calls, IsEmpty());
    EXPECT_EQ(after.subject(), nullptr);
}
