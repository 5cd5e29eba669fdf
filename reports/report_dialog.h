// The "Synchronisation Report" window shown after every run: heading, the two roots, five counts,
// and the ways into the detailed lists and the problem log. After an undo it is the "Undo Report", with
// the undo's own heading and counts.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/records/sync_report.h"

namespace Ui {
class ReportDialog;
}

namespace twinfol {

// Shows the report of a run modally over the owner and returns when the person closes it. The paths
// are the run's roots as the engine used them (bytes in UTF-8).
void ShowReport(QWidget* owner, const SyncReport& report, const std::string& source,
                const std::string& target);

class ReportDialog : public QDialog {
    Q_OBJECT

public:
    // The window only reads the report; it must outlive the window, which holds on to its lists.
    explicit ReportDialog(const SyncReport& report, QWidget* parent = nullptr);
    ~ReportDialog() override;

    // Takes the two roots, the heading and the counts from the report (a run's five, or an undo's
    // three); shows them at once.
    void Prepare(const std::string& source, const std::string& target);

    // The heading as chosen, with its line feed ("Synchronisation done:\n", "Undo done:\n").
    const QString& Heading() const { return heading_; }

private:
    void ShowMembers();
    void ShowCounts();
    // Names how many added folders a stop left incomplete, when any.
    void ShowIncompleteNotice();
    void ViewDetails();
    void ViewProblemLog();

    std::unique_ptr<Ui::ReportDialog> ui_;
    const SyncReport& report_;
    QString sourcePath_;
    QString targetPath_;
    QString heading_;
};

} // namespace twinfol
