#include "ProgressBar.h"

#include <unistd.h>

#include <cstdio>

namespace host {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

} // namespace

ProgressBar::ProgressBar(std::string label)
    : enabled_(isatty(STDERR_FILENO) == 1), label_(std::move(label)), start_(Clock::now()), lastDraw_() {}

ProgressBar::~ProgressBar() {
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
}

void ProgressBar::Update(int32_t row, int32_t total) {
    if (!enabled_ || total <= 0) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const int64_t done = int64_t(row) + 1;
    if (drawn_ && now - lastDraw_ < kRedrawInterval && done < total) {
        return;
    }
    lastDraw_ = now;
    drawn_ = true;
    const double fraction = double(done) / double(total);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kBarWidth, '-');
    std::fprintf(stderr, "\r\033[K%s [%s] %lld/%d rows %5.1f%%", label_.c_str(), bar.c_str(),
                 static_cast<long long>(done), total, 100.0 * fraction);
    if (seconds > 0.05) {
        std::fprintf(stderr, " %.0f rows/s", double(done) / seconds);
    }
    std::fflush(stderr);
}

} // namespace host
