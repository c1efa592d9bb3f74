#pragma once

#include "catalogue/KORAParams.h"
#include "session/ProtocolChain.h"

// One open connection with the parameter set over it, destroyed before the
// chain. Opening reads every value; failures throw VerloException.
class UnitConnection {
public:
    explicit UnitConnection(const ConnectionTarget& target)
        : chain_(target), params_(chain_.frontEnd()) {}

    KORAParams& params() { return params_; }
    // The front end the parameter set talks through.
    GenericProtocol& frontEnd() { return chain_.frontEnd(); }

private:
    ProtocolChain chain_;
    KORAParams params_;
};
