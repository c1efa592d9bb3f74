// The polling paths run 33 times a second for every parameter of the unit on
// the user-interface thread; these tests count heap allocations on them.
#include "model/ControlParameterMap.h"
#include "model/Parameter.h"
#include "model/ParameterMap.h"

#include "support/RecordingObserver.h"
#include "support/RecordingProtocol.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

bool counting = false;
std::size_t allocations = 0;

// Counts the allocations made while it lives.
class AllocationCounter {
public:
    AllocationCounter() {
        allocations = 0;
        counting = true;
    }
    ~AllocationCounter() { counting = false; }
    std::size_t count() const { return allocations; }
};

// Answers reads from its values and records nothing, so that every allocation
// counted during a refresh belongs to the answer map or to the parameter model.
class AnsweringProtocol : public RecordingProtocol {
public:
    void getValues(const ParameterIdList& ids, ParameterValueMap& result) override {
        for (const ParameterId id : ids) {
            result.emplace(id, values.at(id));
        }
    }
};

} // namespace

void* operator new(std::size_t size) {
    if (counting) {
        ++allocations;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

// Kept out of line: inlined, the compiler would pair the library's operator new
// with free and warn about a mismatch that is none.
[[gnu::noinline]] void operator delete(void* memory) noexcept {
    std::free(memory);
}

[[gnu::noinline]] void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

class HotPathAllocationTest : public ::testing::Test {
protected:
    HotPathAllocationTest() {
        for (int index = 0; index < 21; ++index) {
            const ParameterId id(1, static_cast<std::uint8_t>(index));
            status.add(&unit, id, ParameterValue(0), ParameterValue(20860)).setAlwaysNotify(true);
            unit.values[id] = ParameterValue(index);
            statusValues[id] = ParameterValue(index);
        }
        for (int index = 0; index < 113; ++index) {
            const ParameterId id(3, static_cast<std::uint8_t>(index));
            controls.add(&unit, id, MinimumShortValue, MaximumShortValue);
            unit.values[id] = ParameterValue(index);
            controlValues[id] = ParameterValue(index);
        }
        for (auto& observer : observers) {
            observer.watch(status.find(ParameterId(1, 0)));
        }
        status.updateAll(statusValues);
        controls.updateAll(controlValues);
    }

    AnsweringProtocol unit;
    ParameterMap<Parameter> status;
    ControlParameterMap controls;
    ParameterValueMap statusValues;
    ParameterValueMap controlValues;
    RecordingObserver observers[4];
};

TEST_F(HotPathAllocationTest, NotifyAllocatesNothing) {
    for (auto& observer : observers) {
        observer.calls.reserve(16);
    }
    const AllocationCounter counter;
    status.find(ParameterId(1, 0)).notify(nullptr);
    EXPECT_EQ(counter.count(), 0u);
}

TEST_F(HotPathAllocationTest, UpdatingWithTheValuesAlreadyHeldAllocatesNothing) {
    for (auto& observer : observers) {
        observer.calls.reserve(16);
    }
    const AllocationCounter counter;
    status.updateAll(statusValues);
    controls.updateAll(controlValues);
    EXPECT_EQ(counter.count(), 0u);
}

TEST_F(HotPathAllocationTest, ARefreshAllocatesOnlyTheAnswersEntries) {
    status.refreshAll(&unit);
    controls.refreshAll(&unit);
    for (auto& observer : observers) {
        observer.calls.reserve(16);
    }
    const AllocationCounter counter;
    status.refreshAll(&unit);
    controls.refreshAll(&unit);
    status.refreshGroup(&unit, 1);
    EXPECT_EQ(counter.count(), 21u + 113u + 21u);
}
