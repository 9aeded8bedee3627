#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sayloom::cli {

namespace {
constexpr int barWidth = 30;
}

ProgressBar::ProgressBar(std::string label)
    : m_label(std::move(label)), m_terminal(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::finish() {
  if (m_terminal && !m_shown.empty() && !m_finished) {
    std::fputs("\n", stderr);
    std::fflush(stderr);
  }
  m_finished = true;
}

void ProgressBar::update(double fraction, const std::string& detail) {
  if (!m_terminal || m_finished) {
    return;
  }
  const double held = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(held * barWidth);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(held * 100));
  std::string line = m_label + " [" + std::string(static_cast<std::size_t>(filled), '#') +
                     std::string(static_cast<std::size_t>(barWidth - filled), '-') + "] " + percent;
  if (!detail.empty()) {
    line += "  " + detail;
  }
  if (line == m_shown) {
    return;
  }
  // "\r" goes back to the start of the line; "\033[K" clears what a longer line left behind.
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  m_shown = std::move(line);
}

}  // namespace sayloom::cli
