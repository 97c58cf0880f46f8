#include "Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "PrintableText.h"
#include "core/Utf8.h"

namespace vizuvod {

namespace {

std::string Elapsed(Clock::duration d) {
  const long s = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%02ld:%02ld", s / 60, s % 60);
  return text;
}

// At most `width` characters of a UTF-8 text, cut from the left so the end
// of the name, which tells photos of one camera apart, stays visible.
std::string TailColumns(const std::string& text, int width) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < text.size(); NextCodePoint(text, i)) starts.push_back(i);
  if (static_cast<int>(starts.size()) <= width) return text;
  if (width <= 1) return "";
  return "…" + text.substr(starts[starts.size() - (width - 1)]);
}

int TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

TProgress::TProgress(std::size_t total, bool quiet)
    : total_(total),
      quiet_(quiet),
      terminal_(!quiet && ::isatty(STDERR_FILENO)),
      started_(Clock::now()) {}

void TProgress::Started(const std::string& photo) { current_ = photo; }

void TProgress::Finished(const std::string& photo, const std::string& error,
                         const std::string& warning,
                         const std::vector<std::string>& metadataWarnings) {
  ++done_;
  warnings_.insert(warnings_.end(), metadataWarnings.begin(), metadataWarnings.end());
  if (!quiet_) pending_.push_back({photo, error, warning});
}

void TProgress::Show() {
  for (const std::string& warning : warnings_)
    std::cerr << (terminal_ ? "\r\033[K" : "") << "warning: " << PrintableText(warning) << "\n";
  warnings_.clear();
  if (terminal_)
    DrawBar();
  else if (!quiet_)
    PrintLines();
  pending_.clear();
}

void TProgress::Close() {
  if (terminal_) std::cerr << "\r\033[K" << std::flush;
}

void TProgress::DrawBar() {
  const int columns = TerminalColumns();
  const int barWidth = std::clamp(columns / 4, 10, 30);
  const int filled = static_cast<int>(total_ ? done_ * barWidth / total_ : barWidth);
  for (const TFinished& f : pending_) {
    if (!f.error.empty())
      std::cerr << "\r\033[K"
                << "failed: " << PrintableText(f.error) << "\n";
    if (!f.warning.empty())
      std::cerr << "\r\033[K"
                << "warning: " << PrintableText(f.warning) << "\n";
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  char counts[160];
  std::snprintf(counts, sizeof counts, "] %zu/%zu  %s  %.1f photos/s  ", done_, total_,
                Elapsed(Clock::now() - started_).c_str(), seconds > 0 ? done_ / seconds : 0.0);
  const std::string line =
      "\r[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + counts;
  const int used = barWidth + 1 + static_cast<int>(std::string(counts).size());
  const std::string name = PrintableText(current_.substr(current_.rfind('/') + 1));
  std::cerr << line << TailColumns(name, columns - used - 1) << "\033[K" << std::flush;
}

void TProgress::PrintLines() {
  for (const TFinished& f : pending_) {
    std::cerr << "[" << ++shown_ << "/" << total_ << "] ";
    if (!f.error.empty())
      std::cerr << "failed: " << PrintableText(f.error) << "\n";
    else if (!f.warning.empty())
      std::cerr << "warning: " << PrintableText(f.warning) << "\n";
    else
      std::cerr << PrintableText(f.photo) << "\n";
  }
  std::cerr << std::flush;
}

void PrintSummary(const TSummary& summary, bool quiet) {
  if (!quiet) {
    std::ostringstream figures;
    figures.setf(std::ios::fixed);
    figures.precision(1);
    figures << summary.seconds << " s ("
            << (summary.seconds > 0 ? summary.written / summary.seconds : 0.0) << " photos/s)";
    if (summary.dryRun)
      std::cout << "Would write " << summary.planned << " of " << summary.total
                << " photos; nothing was written";
    else
      std::cout << "Written " << summary.written << " of " << summary.total << " photos in "
                << figures.str();
    if (summary.skipped > 0) std::cout << "; " << summary.skipped << " skipped";
    if (!summary.damaged.empty())
      std::cout << "; " << summary.damaged.size() << " from damaged data";
    if (summary.warned > 0)
      std::cout << "; " << summary.warned << (summary.warned == 1 ? " photo" : " photos")
                << " with warnings";
    if (!summary.failures.empty()) std::cout << "; " << summary.failures.size() << " failed";
    if (summary.interrupted) std::cout << "; interrupted";
    std::cout << ".\n";
  }
  if (!summary.damaged.empty()) {
    std::cerr << "Written from damaged data:\n";
    for (const std::string& warning : summary.damaged)
      std::cerr << "  " << PrintableText(warning) << "\n";
  }
  if (!summary.failures.empty()) {
    std::cerr << (summary.keepGoing ? "Failed photos:\n" : "Stopped at a failing photo:\n");
    for (const std::string& failure : summary.failures)
      std::cerr << "  " << PrintableText(failure) << "\n";
  }
  std::cerr << std::flush;
}

void TOrderedLines::Put(std::size_t index, std::string text) {
  std::lock_guard lock(mutex_);
  waiting_.emplace(index, std::move(text));
  // Every photo run puts a line (maybe empty); a stopped run leaves gaps,
  // and Flush writes what waits behind them.
  while (!waiting_.empty() && waiting_.begin()->first == next_) {
    const std::string& line = waiting_.begin()->second;
    if (std::fwrite(line.data(), 1, line.size(), out_) != line.size()) good_ = false;
    waiting_.erase(waiting_.begin());
    ++next_;
  }
}

void TOrderedLines::Flush() {
  std::lock_guard lock(mutex_);
  for (const auto& [index, line] : waiting_)
    if (std::fwrite(line.data(), 1, line.size(), out_) != line.size()) good_ = false;
  waiting_.clear();
  if (std::fflush(out_) != 0) good_ = false;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char escape[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      ++i;
      continue;
    }
    out.append(text, i, length);
    i += length;
  }
  return out + "\"";
}

}  // namespace vizuvod
