#include "ProcessMetrics.h"

#include "base/Version.h"

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <vector>

namespace {

std::string number(double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return {buffer, end};
}

void family(std::string& text, const std::string& name, const std::string& type,
            const std::string& help, double value) {
    text += "# HELP " + name + " " + help + "\n# TYPE " + name + " " + type + "\n" + name + " " +
            number(value) + "\n";
}

// The fields of /proc/self/stat from the state on: the command's name before
// it is in parentheses and may hold spaces.
std::vector<std::string> statFields() {
    std::ifstream file("/proc/self/stat");
    const std::string line((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos) {
        return {};
    }
    std::istringstream rest(line.substr(end + 1));
    return {std::istream_iterator<std::string>(rest), std::istream_iterator<std::string>()};
}

// The system's boot time in seconds since the epoch, or 0.
double bootTime() {
    std::ifstream file("/proc/stat");
    std::string key;
    double value = 0;
    while (file >> key) {
        if (key == "btime" && file >> value) {
            return value;
        }
        file.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 0;
}

} // namespace

std::string processMetricsText() {
    std::string text = "# HELP trx4_build_info The program's version; always 1.\n"
                       "# TYPE trx4_build_info gauge\ntrx4_build_info{version=\"" +
                       std::string(trx4Version) + "\"} 1\n";
    // Counted from field 3 (the state): utime is the 14th, so [11].
    constexpr std::size_t utime = 11;
    constexpr std::size_t stime = 12;
    constexpr std::size_t startTime = 19;
    constexpr std::size_t virtualBytes = 20;
    constexpr std::size_t residentPages = 21;
    const std::vector<std::string> fields = statFields();
    const auto ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    if (fields.size() > residentPages && ticks > 0) {
        family(text, "process_cpu_seconds_total", "counter",
               "Total user and system CPU time spent in seconds.",
               (std::stod(fields[utime]) + std::stod(fields[stime])) / ticks);
        family(text, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
               std::stod(fields[residentPages]) * static_cast<double>(sysconf(_SC_PAGESIZE)));
        family(text, "process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
               std::stod(fields[virtualBytes]));
        if (const double boot = bootTime(); boot > 0) {
            family(text, "process_start_time_seconds", "gauge",
                   "Start time of the process since unix epoch in seconds.",
                   boot + std::stod(fields[startTime]) / ticks);
        }
    }
    std::error_code error;
    std::filesystem::directory_iterator descriptors("/proc/self/fd", error);
    if (!error) {
        const auto count = std::distance(descriptors, std::filesystem::directory_iterator());
        family(text, "process_open_fds", "gauge", "Number of open file descriptors.",
               static_cast<double>(count));
    }
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        family(text, "process_max_fds", "gauge", "Maximum number of open file descriptors.",
               static_cast<double>(limit.rlim_cur));
    }
    return text;
}
