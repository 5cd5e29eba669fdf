// Keyboard steps through a location list are held back until the person leaves the list.
#include "app/location_combo_box.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWheelEvent>

#include "base/display_text.h"

namespace twinfol {

LocationComboBox::LocationComboBox(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, &LocationComboBox::OnActivated);
}

void LocationComboBox::AddLocation(const std::string& path)
{
    addItem(QString::fromStdString(ForDisplay(path)), QByteArray::fromStdString(path));
}

std::string LocationComboBox::CurrentLocation() const
{
    return currentData().toByteArray().toStdString();
}

void LocationComboBox::SelectLocation(const std::string& path)
{
    const int row = findData(QByteArray::fromStdString(path));
    if (row >= 0)
        setCurrentIndex(row);
}

void LocationComboBox::CommitPendingChoice()
{
    if (!pendingChoice_)
        return;
    pendingChoice_ = false;
    emit LocationChosen();
}

void LocationComboBox::OnActivated()
{
    if (browsing_) {
        pendingChoice_ = true;
        return;
    }
    pendingChoice_ = false;
    emit LocationChosen();
}

void LocationComboBox::keyPressEvent(QKeyEvent* event)
{
    // With the list dropped down, keys move in the list and Enter picks: a choice made at once.
    const bool closed = !view()->isVisible();
    browsing_ = closed;
    QComboBox::keyPressEvent(event);
    browsing_ = false;
}

void LocationComboBox::wheelEvent(QWheelEvent* event)
{
    browsing_ = true;
    QComboBox::wheelEvent(event);
    browsing_ = false;
}

void LocationComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    // Dropping the list down takes the focus to the list without leaving the control.
    if (event->reason() != Qt::PopupFocusReason)
        CommitPendingChoice();
}

void LocationComboBox::hidePopup()
{
    QComboBox::hidePopup();
    CommitPendingChoice();
}

} // namespace twinfol
