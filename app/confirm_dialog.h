// The modal question put to the person before a delete: a caption, four lines of text and the five
// answers "&Yes", "Yes To &All", "&No", "N&o To All" and "&Cancel". The text may be selected and
// copied; a path too long for one line wraps over the room of the four.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

#include "engine/records/delete_confirmation.h"

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
    // bytes, as the engine builds them from paths; bytes that are not UTF-8 show as \xNN.
    void SetQuestion(const ConfirmQuestion& question);

    // The answer given; Cancel until one of the four answer buttons is pressed.
    ConfirmAnswer Answer() const { return answer_; }

    // One of the four lines as shown, escapes included.
    QString Line(int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    // The four lines as one text, each line that is followed by a non-empty one ending in a line
    // break; what the person sees and can copy.
    QString ShownText() const;

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
