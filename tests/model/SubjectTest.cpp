#include "model/Subject.h"
#include "model/Parameter.h"
#include "model/ParameterTransaction.h"

#include "support/RecordingObserver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

Parameter makeParameter(int index = 1) {
    return Parameter(nullptr, ParameterId(1, static_cast<std::uint8_t>(index)), ParameterValue(0),
                     ParameterValue(100));
}

} // namespace

TEST(Subject, AttachUpdatesTheNewObserverOnceWithANullHint) {
    Parameter parameter = makeParameter();
    RecordingObserver observer;
    observer.watch(parameter);
    ASSERT_EQ(observer.calls.size(), 1u);
    EXPECT_EQ(observer.calls[0].subject, &parameter);
    EXPECT_EQ(observer.calls[0].hint, nullptr);
}

TEST(Subject, NotifiesInAttachmentOrderAndPassesTheHint) {
    std::vector<std::string> journal;
    Parameter parameter = makeParameter();
    RecordingObserver a("a", &journal), b("b", &journal), c("c", &journal);
    b.watch(parameter);
    a.watch(parameter);
    c.watch(parameter);
    journal.clear();
    ParameterTransaction transaction;
    Transaction* hint = &transaction;
    parameter.notify(hint);
    EXPECT_THAT(journal, ElementsAre("b", "a", "c"));
    EXPECT_EQ(a.calls.back().hint, hint);
}

TEST(Subject, AnObserverAttachedTwiceSeesEachNotificationTwiceAndOneDetachRemovesBoth) {
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

TEST(Subject, ASubjectDestroyedFirstTellsEachObserverWhichForgetsIt) {
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
}

TEST(Subject, AnObserverDestroyedFirstDetachesItself) {
    Parameter parameter = makeParameter();
    RecordingObserver survivor;
    {
        RecordingObserver shortLived;
        shortLived.watch(parameter);
        survivor.watch(parameter);
    }
    survivor.calls.clear();
    parameter.notify(nullptr);
    EXPECT_EQ(survivor.calls.size(), 1u);
}

TEST(Subject, AnObserverAlsoAttachedToAnotherSubjectLeavesBothWhenDestroyed) {
    Parameter watched = makeParameter(1);
    Parameter other = makeParameter(2);
    RecordingObserver survivor;
    {
        RecordingObserver observer;
        observer.watch(watched);
        other.attach(observer);
        survivor.watch(other);
    }
    survivor.calls.clear();
    other.notify(nullptr);
    watched.notify(nullptr);
    EXPECT_EQ(survivor.calls.size(), 1u);
}

TEST(Subject, ACopyIsWatchedByTheSameObserversAndBothAreLeftOnDestruction) {
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

TEST(SubjectReentrancy, AnObserverDetachedDuringANotificationIsNotCalledByIt) {
    Parameter parameter = makeParameter();
    RecordingObserver first, second;
    first.watch(parameter);
    second.watch(parameter);
    first.onUpdate = [&](Subject&, Transaction*) { parameter.detach(second); };
    second.calls.clear();
    parameter.notify(nullptr);
    EXPECT_THAT(second.calls, IsEmpty());
}

TEST(SubjectReentrancy, AnObserverDeletedDuringANotificationIsNotCalledByIt) {
    Parameter parameter = makeParameter();
    RecordingObserver first;
    auto victim = std::make_unique<RecordingObserver>();
    RecordingObserver last;
    first.watch(parameter);
    victim->watch(parameter);
    last.watch(parameter);
    first.onUpdate = [&](Subject&, Transaction*) { victim.reset(); };
    last.calls.clear();
    parameter.notify(nullptr);
    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(last.calls.size(), 1u);
    parameter.notify(nullptr);
    EXPECT_EQ(last.calls.size(), 2u);
}

TEST(SubjectReentrancy, AnObserverAttachedDuringANotificationWaitsForTheNextOne) {
    Parameter parameter = makeParameter();
    RecordingObserver first, added;
    first.watch(parameter);
    bool attached = false;
    first.onUpdate = [&](Subject&, Transaction*) {
        if (!attached) {
            attached = true;
            added.watch(parameter);
        }
    };
    parameter.notify(nullptr);
    EXPECT_EQ(added.calls.size(), 1u) << "only the update of attach itself";
    parameter.notify(nullptr);
    EXPECT_EQ(added.calls.size(), 2u);
}

TEST(SubjectReentrancy, NestedNotificationsOfTheSameSubjectStaySound) {
    Parameter parameter = makeParameter();
    RecordingObserver outer, inner, tail;
    outer.watch(parameter);
    inner.watch(parameter);
    tail.watch(parameter);
    int depth = 0;
    outer.onUpdate = [&](Subject&, Transaction*) {
        if (depth++ == 0) {
            parameter.detach(inner);
            parameter.notify(nullptr);
        }
    };
    inner.calls.clear();
    tail.calls.clear();
    parameter.notify(nullptr);
    EXPECT_THAT(inner.calls, IsEmpty());
    EXPECT_EQ(tail.calls.size(), 2u);
    depth = 1;
    parameter.notify(nullptr);
    EXPECT_EQ(tail.calls.size(), 3u);
}

TEST(SubjectReentrancy, ASubjectDestroyedByItsObserverStopsTheNotification) {
    auto parameter = std::make_unique<Parameter>(makeParameter());
    RecordingObserver killer, after;
    killer.watch(*parameter);
    after.watch(*parameter);
    killer.onUpdate = [&](Subject&, Transaction*) { parameter.reset(); };
    after.calls.clear();
    auto* raw = parameter.get();
    raw->notify(nullptr);
    EXPECT_THAT(after.calls, IsEmpty());
    EXPECT_EQ(after.subject(), nullptr);
    EXPECT_EQ(killer.subject(), nullptr);
}

TEST(SubjectReentrancy, AnObserverThatThrowsLeavesTheSubjectUsable) {
    Parameter parameter = makeParameter();
    RecordingObserver thrower, detached, last;
    thrower.watch(parameter);
    detached.watch(parameter);
    last.watch(parameter);
    thrower.onUpdate = [&](Subject&, Transaction*) {
        parameter.detach(detached);
        throw std::runtime_error("observer failed");
    };
    EXPECT_THROW(parameter.notify(nullptr), std::runtime_error);
    thrower.onUpdate = nullptr;
    detached.calls.clear();
    last.calls.clear();
    parameter.notify(nullptr);
    EXPECT_THAT(detached.calls, IsEmpty());
    EXPECT_EQ(last.calls.size(), 1u);
}
