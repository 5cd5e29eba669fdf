// Keeps every window of the program on its screen: a window larger than the screen's free area (a
// small screen, a large scale factor or font) shrinks to what its layout needs, and where even that
// is too large its contents scroll while the row of buttons that closes it stays in sight.
#pragma once

#include <QObject>

class QWidget;

namespace twinfol {

// Fits the window into the free area of its screen (the screen less its panels) and moves it fully
// onto that area. A window that fits is left at its size; a fixed-size one is allowed to shrink only
// when its fixed size does not fit.
void FitToScreen(QWidget& window);

// Installed on the application, it fits each dialog and main window as it is about to be shown.
class ScreenFit : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace twinfol
