#pragma once

#include <map>
#include <vector>

class ControlParameter;
class GenericProtocol;

// An undoable batch of control-parameter changes.
class Transaction {
public:
    Transaction() = default;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    virtual ~Transaction() = default;

    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Called by a control parameter just before its pending value changes on
    // the transaction's behalf.
    virtual void record(ControlParameter& parameter) = 0;
};

// Collects the control parameters changed on its behalf, per source protocol.
// Commit writes each source's pending values with one setValues call; rollback
// reverts every recorded parameter. Destroying it without a commit rolls back.
// The recorded parameters must outlive it. It can be used for several rounds.
class ParameterTransaction : public Transaction {
public:
    ParameterTransaction() = default;
    // Rolls back; a failure of an observer while reverting is swallowed here,
    // since a destructor must not throw.
    ~ParameterTransaction() override;

    // Writes the pending values, one setValues per source in map order, then
    // forgets the records. When a write fails the records are kept whole.
    void commit() override;
    // Reverts every record in order (a parameter recorded twice is reverted
    // twice), then forgets them.
    void rollback() override;
    void record(ControlParameter& parameter) override;

private:
    std::map<GenericProtocol*, std::vector<ControlParameter*>> records_;
};
