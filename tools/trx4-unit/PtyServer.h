#pragma once

#include <chrono>
#include <memory>
#include <string>

class FileDescriptorDevice;
class TraceWriter;
class UnitResponder;
struct UnitOptions;

// The unit on a pseudo-terminal: the application opens the terminal side as
// its serial port. A host session ends when the host sends a disconnect frame
// or closes the terminal; the next one begins with its first frame. A reboot
// ignores the line for its duration.
class PtyServer {
public:
    // Everything is borrowed and must outlive the server; trace may be null.
    PtyServer(const UnitOptions& options, UnitResponder& responder, TraceWriter* trace,
              std::chrono::steady_clock::time_point started);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal in raw mode; VerloException on failure.
    void open();
    // The terminal side's path, e.g. /dev/pts/3.
    const std::string& path() const { return path_; }

    // Serves hosts until a stop is requested.
    void run();

private:
    void reboot();
    double uptime() const;

    const UnitOptions& options_;
    UnitResponder& responder_;
    TraceWriter* trace_;
    std::chrono::steady_clock::time_point started_;
    std::unique_ptr<FileDescriptorDevice> device_;
    std::string path_;
};
