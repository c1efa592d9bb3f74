#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

// The flash steps a fault can be injected into.
enum class FlashStep { Erase, Download, Burn };

// "--flash-error STEP:CODE": every flash step of that kind answers with CODE.
struct FlashFault {
    FlashStep step = FlashStep::Erase;
    std::uint16_t code = 0;

    // Parses "erase:2", "download:1", "burn:2"; std::invalid_argument when malformed.
    static FlashFault parse(const std::string& text);
};

// "--wire-fault KIND[:N]": every Nth unsolicited Status is replaced by
// something that is no message: random bytes, or a message whose length is
// above what the host accepts.
struct WireFault {
    enum Kind { Garbage, Oversize };
    Kind kind = Garbage;
    std::uint32_t every = 1;

    // Parses "garbage", "oversize", "garbage:5"; std::invalid_argument when malformed.
    static WireFault parse(const std::string& text);
};

// Everything the command line can set.
struct UnitOptions {
    // 115200 baud with 8 data bits, no parity and 1 stop bit: 10 bits a byte.
    static constexpr std::uint32_t lineBytesPerSecond = 115200 / 10;

    std::string listenHost = "127.0.0.1";
    std::uint16_t listenPort = 4444;
    bool pty = false;
    // Units played at once, each with its own state on its own port: the
    // listen port and the ones after it, or free ports when it is 0.
    std::uint32_t units = 1;
    std::uint32_t statusIntervalMs = 100;
    std::string scenario;
    std::uint32_t rebootSeconds = 20;
    std::string tracePath;
    // The version the unit runs until an image brings another: A.B.C.D.
    std::array<std::uint8_t, 4> firmware{1, 4, 0, 0};

    std::optional<std::uint16_t> setError;
    bool ignoreSet = false;
    std::optional<FlashFault> flashError;
    bool silent = false;
    std::optional<double> dropAfterSeconds;
    std::uint32_t corruptEvery = 0;
    bool lineRate = false;
    std::uint32_t latencyMs = 0;
    std::optional<WireFault> wireFault;

    // Declares every option on app, storing into options.
    static void declare(CLI::App& app, UnitOptions& options);

    // "A.B.C.D" with A from 0 to 127 and the others to 255 (the unit reports A.B
    // as one signed word); std::invalid_argument when malformed.
    static std::array<std::uint8_t, 4> parseFirmware(const std::string& text);
};
