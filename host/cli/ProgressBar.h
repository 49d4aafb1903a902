// Progress of one export on standard error, redrawn in place; silent unless standard error is a terminal.
#ifndef QUENFIELD_HOST_PROGRESSBAR_H
#define QUENFIELD_HOST_PROGRESSBAR_H

#include <chrono>
#include <cstdint>
#include <string>

namespace host {

class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    ~ProgressBar(); // erases the bar
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // As the plug-in reports it: the zero-based index of the row just finished, and the row count.
    void Update(int32_t row, int32_t total);

private:
    using Clock = std::chrono::steady_clock;

    bool enabled_;
    bool drawn_ = false;
    std::string label_;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

} // namespace host

#endif
