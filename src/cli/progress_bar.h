#pragma once
// A progress bar on the terminal: "label [#########-----------]  45%" redrawn in place on standard
// error, only when standard error is a terminal (pipes and files get nothing). Main thread.
#include <string>

namespace sayloom::cli {

class ProgressBar {
public:
  explicit ProgressBar(std::string label);
  // Ends the line the bar was drawn on (finish).
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `fraction` is held within 0…1; the bar is redrawn only when what it shows changes.
  void update(double fraction, const std::string& detail = {});
  // Ends the bar's line, so that what follows starts on a line of its own; later updates are
  // ignored.
  void finish();

private:
  std::string m_label;
  bool m_terminal;
  std::string m_shown;
  bool m_finished = false;
};

}  // namespace sayloom::cli
