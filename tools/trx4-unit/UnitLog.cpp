#include "UnitLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

UnitLog::UnitLog(std::string title, std::string emptyText, std::size_t maximumLength)
    : title_(std::move(title)), emptyText_(std::move(emptyText)), maximumLength_(maximumLength) {}

void UnitLog::add(double uptimeSeconds, const std::string& text) {
    std::string line = stamp(uptimeSeconds) + " " + text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    line += '\n';
    const std::size_t room = maximumLength_ - title_.size() - 1;
    if (line.size() > room) {
        line.resize(room - 1);
        line += '\n';
    }
    length_ += line.size();
    entries_.push_back(std::move(line));
    while (length_ > room) {
        length_ -= entries_.front().size();
        entries_.pop_front();
    }
}

std::string UnitLog::text() const {
    std::string text = title_ + "\n";
    if (entries_.empty()) {
        return text + emptyText_ + "\n";
    }
    for (const std::string& entry : entries_) {
        text += entry;
    }
    return text;
}

std::string UnitLog::stamp(double uptimeSeconds) {
    const auto total = static_cast<long long>(std::floor(std::max(uptimeSeconds, 0.0)));
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                  total % 60);
    return text;
}
