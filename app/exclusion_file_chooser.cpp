// The "Select Files" chooser: "*.*" read the way the filter's label means it, as every file.
#include "app/exclusion_file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QString>

namespace twinfol {

void PrepareExclusionFileChooser(QFileDialog& dialog, const std::string& startPath)
{
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The label reads "All Files (*.*)", and "*.*" there means every file, also one without a dot
    // (Makefile, README). Taken literally it would hide those, so the pattern applied is "*": Qt's
    // chooser and the desktop's take the last bracketed list as the patterns, and with the details
    // hidden they show only the words before it.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(QStringLiteral("All Files (*.*) (*)"));
    // AllDirs lists folders whatever the patterns say, so the person can open any of them.
    dialog.setFilter(QDir::AllEntries | QDir::AllDirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!startPath.empty())
        dialog.setDirectory(QFileInfo(QString::fromStdString(startPath)).absolutePath());
}

} // namespace twinfol
