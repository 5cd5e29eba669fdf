// A location list that the keyboard can walk through. Keys and the mouse wheel on the closed list
// only move its selection; the choice is made when the person leaves the list or opens and closes
// it. A row picked from the dropped-down list is chosen at once.
#pragma once

#include <QComboBox>

#include <string>

namespace twinfol {

class LocationComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit LocationComboBox(QWidget* parent = nullptr);

    // A row shows its path with bytes that are not UTF-8 as \xNN and keeps the bytes themselves, so
    // that such a name reaches the engine exactly as it was chosen.
    void AddLocation(const std::string& path);
    // The bytes of the current row's path; empty when no row is current.
    std::string CurrentLocation() const;
    // Makes the row of the path current; a path without a row changes nothing.
    void SelectLocation(const std::string& path);

    // Whether the selection was moved by keys or the wheel and not yet chosen.
    bool HasPendingChoice() const { return pendingChoice_; }
    // Chooses the row the selection was moved to, if any; a command about to use the list calls it.
    void CommitPendingChoice();

    void hidePopup() override;

signals:
    // The person has chosen the current row.
    void LocationChosen();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void OnActivated();

    // Set while a key or the wheel is being handled on the closed list: each step it takes selects
    // the next row, and choosing each one would move it to the front of the history and back again.
    bool browsing_ = false;
    bool pendingChoice_ = false;
};

} // namespace twinfol
