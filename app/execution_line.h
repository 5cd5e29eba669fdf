// The "Execution" line of the main window during a run: the engine's current operation, with the
// middle of a long path left out so that the action word stays in view, and beside it the files and
// bytes copied so far and the rate.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include <QObject>

#include "base/rate_meter.h"
#include "engine/records/copy_progress.h"

class QBoxLayout;
class QLabel;
class QLineEdit;

namespace twinfol {

class ExecutionLine : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Shows the operation in the line edit and adds the figures label to the row that holds it.
    ExecutionLine(QLineEdit& edit, QBoxLayout& row, Clock clock = &std::chrono::steady_clock::now);

    // The full text of the operation; the line shows as much of it as fits.
    void ShowOperation(const std::string& text);
    void ShowCounters(const CopyCounters& counters);
    // While a question is open the rate stands still: the time spent answering is no copying time.
    void PauseRate();
    void ResumeRate();
    // Empties the line and the figures, for the next run.
    void Clear();

    const QString& FullText() const { return full_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Elide();

    QLineEdit& edit_;
    QLabel* figures_;
    Clock clock_;
    RateMeter rate_;
    QString full_;
};

} // namespace twinfol
