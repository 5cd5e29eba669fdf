// The drawing thread waits for the time a held-back change is due, and draws it then.
#include "cli/progress_display.h"

namespace twinfol::cli {

ProgressDisplay::ProgressDisplay(std::ostream& out, std::size_t width, LineStyle style)
    : line_(out, width, style, [this](std::size_t usable) { return status_.Text(usable); }),
      drawer_([this] { DrawWhenDue(); })
{
}

ProgressDisplay::~ProgressDisplay()
{
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
        line_.Clear();
    }
    changed_.notify_all();
    drawer_.join();
}

void ProgressDisplay::DrawWhenDue()
{
    std::unique_lock lock(mutex_);
    while (!ending_) {
        const std::optional<ProgressLine::TimePoint> due = line_.DrawDue();
        drawerHasDue_ = due.has_value();
        if (due)
            changed_.wait_until(lock, *due);
        else
            changed_.wait(lock);
    }
}

void ProgressDisplay::WakeForHeldChange(std::unique_lock<std::mutex>& lock)
{
    // Most changes are drawn at once or join one already held back: waking the thread for each
    // would cost a switch of threads per file of a run.
    const bool wake = line_.Waiting() && !drawerHasDue_;
    if (wake)
        drawerHasDue_ = true;
    lock.unlock();
    if (wake)
        changed_.notify_one();
}

void ProgressDisplay::SetTotals(std::optional<PlanTotals> totals)
{
    const std::lock_guard lock(mutex_);
    status_.SetTotals(totals);
}

void ProgressDisplay::SetPlanning(bool planning)
{
    const std::lock_guard lock(mutex_);
    status_.SetPlanning(planning);
}

void ProgressDisplay::SetOperation(const std::string& text)
{
    std::unique_lock lock(mutex_);
    status_.SetOperation(text);
    line_.Changed();
    WakeForHeldChange(lock);
}

void ProgressDisplay::SetCounters(const CopyCounters& counters)
{
    std::unique_lock lock(mutex_);
    status_.SetCounters(counters);
    line_.Changed();
    WakeForHeldChange(lock);
}

void ProgressDisplay::PrintLine(std::string_view line)
{
    const std::lock_guard lock(mutex_);
    line_.PrintLine(line);
}

void ProgressDisplay::Clear()
{
    const std::lock_guard lock(mutex_);
    line_.Clear();
}

void ProgressDisplay::PauseRate()
{
    const std::lock_guard lock(mutex_);
    status_.PauseRate();
}

void ProgressDisplay::ResumeRate()
{
    const std::lock_guard lock(mutex_);
    status_.ResumeRate();
}

} // namespace twinfol::cli
