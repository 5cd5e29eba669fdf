// How the exclusions dialog's "Select Files" chooser is set up, apart from showing it, so that the
// chooser the person gets can be looked at in a test.
#pragma once

#include <string>

class QFileDialog;

namespace twinfol {

// Several existing files at once; every file and every folder listed (hidden ones too) under the
// one filter "All Files (*.*)"; starting in the folder of the path given, or the default one.
void PrepareExclusionFileChooser(QFileDialog& dialog, const std::string& startPath);

} // namespace twinfol
