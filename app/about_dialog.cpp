// The About box.
#include "app/about_dialog.h"

#include <QIcon>

#include "ui_about_dialog.h"

namespace twinfol {

AboutDialog::AboutDialog(QWidget* parent, const QIcon& icon)
    : QDialog(parent), ui(std::make_unique<Ui::AboutDialog>())
{
    ui->setupUi(this);
    ui->iconLabel->setPixmap(icon.pixmap(32, 32));
    ui->versionLabel->setText(QString::asprintf("%.2lf", QByteArray(TWINFOL_VERSION).toDouble()));
    connect(ui->okButton, &QPushButton::clicked, this, &AboutDialog::accept);
}

AboutDialog::~AboutDialog() = default;

} // namespace twinfol
