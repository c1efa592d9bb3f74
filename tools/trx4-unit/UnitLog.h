#pragma once

#include <cstddef>
#include <deque>
#include <string>

// One of the unit's logs: a title line, then one line per entry stamped with
// the unit's uptime, lines ended by bare line feeds as the unit sends them.
// The oldest entries give way so that the text always fits one message.
class UnitLog {
public:
    // Room a log may take: a log message must fit a packet that the host's
    // 8192-byte TCP receive queue can hold whole, with margin for the header.
    static constexpr std::size_t defaultMaximumLength = 8000;

    UnitLog(std::string title, std::string emptyText,
            std::size_t maximumLength = defaultMaximumLength);

    void add(double uptimeSeconds, const std::string& text);
    std::string text() const;
    std::size_t size() const { return entries_.size(); }

    // "hhh:mm:ss" of an uptime, hours as wide as needed but at least two digits.
    static std::string stamp(double uptimeSeconds);

private:
    std::string title_;
    std::string emptyText_;
    std::size_t maximumLength_;
    std::deque<std::string> entries_;
    std::size_t length_ = 0;
};
