// Shrinking, scrolling and moving windows so that all of each one can be reached on a small screen.
#include "app/screen_fit.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>

#include <algorithm>

namespace twinfol {
namespace {

// Room for the frame the window manager draws around a window that has none yet: a title bar above
// and thin borders elsewhere.
QMargins FrameAllowance(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    if (window.isVisible() && frame != inner)
        return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                frame.bottom() - inner.bottom()};
    return {4, 4 + 2 * window.fontMetrics().height(), 4, 4};
}

// Moves an item taken from one layout to the end of another; its widgets follow it.
void MoveItem(QLayoutItem* item, QBoxLayout& into)
{
    if (QWidget* widget = item->widget()) {
        delete item;
        into.addWidget(widget);
    } else if (QLayout* layout = item->layout()) {
        // A layout is its own item; it must leave its old parent before another can adopt it.
        layout->setParent(nullptr);
        into.addLayout(layout);
    } else {
        into.addItem(item);
    }
}

// Everything but the last row of the window's layout moves into a scroll area; the last row holds
// the buttons that close the window (OK, Close, Exit), which must stay in sight.
bool WrapContentsInScrollArea(QWidget& window)
{
    auto* outer = qobject_cast<QBoxLayout*>(window.layout());
    if (outer == nullptr || outer->count() < 2 || window.findChild<QScrollArea*>(QStringLiteral("fitScroll")))
        return false;
    auto* content = new QWidget;
    auto* inner = new QVBoxLayout(content);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(outer->spacing());
    while (outer->count() > 1) {
        MoveItem(outer->takeAt(0), *inner);
    }
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("fitScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    outer->insertWidget(0, scroll, 1);
    return true;
}

bool MoveLastRowIntoScrollArea(QWidget& window)
{
    auto* outer = qobject_cast<QBoxLayout*>(window.layout());
    auto* scroll = window.findChild<QScrollArea*>(QStringLiteral("fitScroll"));
    if (outer == nullptr || scroll == nullptr || outer->count() != 2)
        return false;
    auto* inner = qobject_cast<QBoxLayout*>(scroll->widget()->layout());
    MoveItem(outer->takeAt(1), *inner);
    return true;
}

QSize LayoutMinimum(QWidget& window)
{
    QLayout* layout = window.layout();
    if (layout == nullptr)
        return window.minimumSizeHint();
    layout->activate();
    return layout->totalMinimumSize();
}

// A window's position is that of its frame; the frame as a whole goes onto the free area.
void MoveOnto(QWidget& window, const QRect& room, const QMargins& frame)
{
    const QSize outer = window.size().grownBy(frame);
    const int x = std::clamp(window.x(), room.left(),
                             std::max(room.left(), room.left() + room.width() - outer.width()));
    const int y =
        std::clamp(window.y(), room.top(), std::max(room.top(), room.top() + room.height() - outer.height()));
    if (QPoint(x, y) == window.pos())
        return;
    // A dialog not yet placed by anyone is still centred over its parent when it shows; that placing
    // is kept, only nudged onto the screen.
    const bool placed = window.testAttribute(Qt::WA_Moved);
    window.move(x, y);
    window.setAttribute(Qt::WA_Moved, placed);
}

} // namespace

void FitToScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        return;
    const QRect room = screen->availableGeometry();
    const QMargins frame = FrameAllowance(window);
    const QSize space = room.marginsRemoved(frame).size();
    if (QLayout* layout = window.layout())
        layout->activate();
    const QSize wanted = window.size();
    if (wanted.width() > space.width() || wanted.height() > space.height()) {
        // Only here may a fixed-size window shrink, and then only to what its layout needs.
        if (QLayout* layout = window.layout(); layout && layout->sizeConstraint() == QLayout::SetFixedSize)
            layout->setSizeConstraint(QLayout::SetMinimumSize);
        QSize minimum = LayoutMinimum(window);
        const auto tooLarge = [&space](QSize size) {
            return size.width() > space.width() || size.height() > space.height();
        };
        if (tooLarge(minimum) && WrapContentsInScrollArea(window))
            minimum = LayoutMinimum(window);
        // A row of buttons wider than the screen scrolls with the rest: reachable beats in sight.
        if (tooLarge(minimum) && MoveLastRowIntoScrollArea(window))
            minimum = LayoutMinimum(window);
        window.setMinimumSize(minimum.boundedTo(space));
        window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window.resize(wanted.boundedTo(space).expandedTo(window.minimumSize()));
    }
    MoveOnto(window, room, frame);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const Qt::WindowType type = widget->windowType();
        if (widget->isWindow() && (type == Qt::Dialog || type == Qt::Window))
            FitToScreen(*widget);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace twinfol
