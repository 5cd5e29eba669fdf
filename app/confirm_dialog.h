// The modal question put to the person before a delete: a caption, four lines of text and the five
// answers "&Yes", "Yes To &All", "&No", "N&o To All" and "&Cancel".
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

#include "engine/delete_confirmation.h"

namespace Ui {
class ConfirmDialog;
}

namespace twinfol {

class ConfirmDialog : public QDialog {
    Q_OBJECT

public:
    explicit ConfirmDialog(QWidget* parent = nullptr);
    ~ConfirmDialog() override;

    // Takes the caption as the window title and the four lines as the texts shown. The texts are
    // bytes in UTF-8, as the engine builds them from paths.
    void SetQuestion(const ConfirmQuestion& question);

    // The answer given; Cancel until one of the four answer buttons is pressed.
    ConfirmAnswer Answer() const { return answer_; }

    // One of the four lines as given, before any shortening for display.
    QString Line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }

public slots:
    // Every way of closing other than the four answer buttons (Cancel, Escape, a window manager's
    // close request) ends here and counts as Cancel.
    void reject() override;

private:
    void RecordAnswer(ConfirmAnswer answer);
    void ShowLines();

    std::unique_ptr<Ui::ConfirmDialog> ui_;
    std::array<QString, 4> lines_;
    ConfirmAnswer answer_ = ConfirmAnswer::Cancel;
};

} // namespace twinfol
