// A frame sized from its button rather than in fixed pixels, so that with a larger font the two
// run buttons still stand apart inside their frames.
#include "app/running_frames.h"

#include <QGroupBox>
#include <QPushButton>

#include <algorithm>

namespace twinfol {

void PrepareRunningFrame(QGroupBox& frame, const QPushButton& button)
{
    const int line = frame.fontMetrics().height();
    const QSize inside = button.sizeHint().expandedTo(button.minimumSize());
    frame.setMinimumSize(std::max(frame.minimumWidth(), inside.width() + 3 * line),
                         std::max(frame.minimumHeight(), inside.height() + 3 * line));
    QSizePolicy policy = frame.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    frame.setSizePolicy(policy);
    frame.hide();
}

} // namespace twinfol
