#include "ExitStatus.h"

#include "CommandErrors.h"

#include "base/VerloException.h"

#include <exception>

ExitStatus guarded(const std::function<ExitStatus()>& body, std::string& message) {
    try {
        return body();
    } catch (const UsageError& error) {
        message = error.what();
        return Usage;
    } catch (const FileException& error) {
        message = error.what();
        return FileFailure;
    } catch (const OutcomeUnknown& error) {
        message = error.what();
        return Unknown;
    } catch (const std::exception& error) {
        // VerloException and everything else the unit or the system raised.
        message = error.what();
        return UnitFailure;
    }
}
