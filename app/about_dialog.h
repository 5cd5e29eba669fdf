// "About Twinfol": the program's icon, name and version.
#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class AboutDialog;
}

namespace twinfol {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent, const QIcon& icon);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};

} // namespace twinfol
