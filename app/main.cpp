// Start-up of the desktop program.
#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Twinfol"));
    auto* layout = new QVBoxLayout(&window);
    auto* exitButton = new QPushButton(QStringLiteral("Exit"), &window);
    exitButton->setObjectName(QStringLiteral("exitButton"));
    layout->addWidget(exitButton);
    QObject::connect(exitButton, &QPushButton::clicked, &window, &QWidget::close);
    window.show();
    return application.exec();
}
