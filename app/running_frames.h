// The "Running" frames around the two run buttons: hidden while no run is active, and always large
// enough to hold their button with room to spare, whatever the font.
#pragma once

class QGroupBox;
class QPushButton;

namespace twinfol {

// Sizes the frame to surround its button with a margin in the font's measure, and hides it while
// keeping its room, so that the fixed-size window never changes size when a frame appears.
void PrepareRunningFrame(QGroupBox& frame, const QPushButton& button);

} // namespace twinfol
