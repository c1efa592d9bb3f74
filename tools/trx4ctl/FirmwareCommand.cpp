#include "FirmwareCommand.h"

#include "CommandErrors.h"
#include "TerminalText.h"

#include "base/InputFile.h"
#include "base/KORAParameterIds.h"
#include "base/ProgressCommand.h"
#include "base/VerloException.h"
#include "catalogue/KORAParams.h"
#include "firmware/FirmwareDownload.h"
#include "firmware/MD5Validator.h"
#include "session/UnitSession.h"

#include <unistd.h>

#include <filesystem>
#include <istream>
#include <ostream>
#include <sstream>
#include <thread>

namespace {

// A bar redrawn in place on a terminal, else one "NN%" line per change.
// Percentages only rise: the 0 that follows a finished transfer is not shown.
class TransferProgress : public ProgressCommand {
public:
    TransferProgress(std::ostream& out, bool terminal) : out_(&out), terminal_(terminal) {}

    // Ends a bar left unfinished, so that what follows starts a line.
    void endLine() {
        if (terminal_ && shown_ >= 0 && shown_ < 100) {
            *out_ << '\n' << std::flush;
        }
    }
    // Prints the line given and shows the percentages again from 0.
    void startAgain(const std::string& line) {
        endLine();
        *out_ << line << '\n' << std::flush;
        shown_ = -1;
    }

    void execute(std::uint32_t percent) override {
        if (static_cast<int>(percent) <= shown_) {
            return;
        }
        shown_ = static_cast<int>(percent);
        if (!terminal_) {
            *out_ << percent << "%\n" << std::flush;
            return;
        }
        constexpr int width = 40;
        const int filled = static_cast<int>(percent) * width / 100;
        *out_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(width - filled), ' ') << "] " << percent
              << '%' << (percent == 100 ? "\n" : "") << std::flush;
    }

private:
    std::ostream* out_;
    bool terminal_;
    int shown_ = -1;
};

std::string versionText(KORAParams& params) {
    std::ostringstream text;
    const Parameter& version = params.findParameter(KORAParameterIds::firmwareVersion);
    version.format(text, version.value());
    return TerminalText::escaped(text.str());
}

} // namespace

void FirmwareCommand::confirm(const std::string& subject, std::istream& in, std::ostream& out) {
    out << "You are about to update the software on " << subject
        << ".\n"
           "This process CANNOT be interrupted or the TRX4 will become inoperable.\n\n"
           "Are you sure you want to continue? [y/N] "
        << std::flush;
    std::string answer;
    std::getline(in, answer);
    if (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes") {
        throw UsageError("the update was not confirmed; nothing was sent");
    }
}

namespace {

// Opens the session's target again once the unit is back from its reboot.
void reconnect(UnitSession& session, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        try {
            session.reopen();
            return;
        } catch (const VerloException&) {
            if (std::chrono::steady_clock::now() >= deadline) {
                throw VerloException("the unit did not come back within " +
                                     std::to_string(timeout.count()) + " seconds after the update");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
}

} // namespace

void FirmwareCommand::run(const ConnectionTarget& target, const Options& options, std::istream& in,
                          std::ostream& out) {
    check(options.imagePath, out);
    // Asked before connecting: a connection left unread while the operator
    // thinks breaks off.
    if (!options.confirmed) {
        confirm("your TRX4", in, out);
    }
    update(target, options, out, ::isatty(STDOUT_FILENO) == 1);
}

void FirmwareCommand::check(const std::string& path, std::ostream& out) {
    InputFile::check(path);
    const MD5Validator validator;
    const std::uint32_t size = FirmwareImage(path, validator).size();
    out << "Image " << std::filesystem::path(path).filename().string() << ": " << size
        << " bytes, checksum good\n";
}

std::string FirmwareCommand::update(const ConnectionTarget& target, const Options& options,
                                    std::ostream& out, bool terminal) {
    const std::string& path = options.imagePath;
    UnitSession session;
    session.open(target);
    out << "Current firmware version: " << versionText(*session.parameters()) << '\n';
    TransferProgress progress(out, terminal);
    FirmwareDownload download(session.frontEnd());
    // Checked again: the file may have changed while the operator was asked.
    download.selectImage(path, progress);
    out << "Downloading\n";
    unsigned restarts = 0;
    try {
        while (download.sendNextChunk()) {
            if (download.restarts() > restarts) {
                restarts = download.restarts();
                progress.startAgain("The transfer broke off (" + download.restartCause() +
                                    "); starting again from the erase, restart " +
                                    std::to_string(restarts) + " of " +
                                    std::to_string(FirmwareDownload::maximumRestarts));
            }
        }
    } catch (...) {
        progress.endLine();
        throw;
    }
    progress.endLine();
    const bool confirmed = download.outcome() == FirmwareDownload::Outcome::Burnt;
    const std::string unconfirmed =
        "the unit did not confirm the burn, so the outcome of the update is unknown";
    session.close();
    out << "Rebooting\n" << std::flush;
    try {
        reconnect(session, options.rebootTimeout);
    } catch (const VerloException& error) {
        // The burn went out either way: whether the unit took it is unknown.
        if (confirmed) {
            throw OutcomeUnknown("the unit confirmed the burn but did not answer within " +
                                 std::to_string(options.rebootTimeout.count()) + " s");
        }
        throw OutcomeUnknown(error.what() + std::string("; ") + unconfirmed);
    }
    std::string version = versionText(*session.parameters());
    if (!confirmed) {
        out << "Firmware version: " << version << '\n';
        throw OutcomeUnknown(unconfirmed + "; the unit now reports firmware version " + version);
    }
    out << "Firmware Upgraded\n"
        << "Firmware version: " << version << '\n';
    return version;
}
