// The program block: the application object, the main window, the message loop.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget mainWindow;
    mainWindow.setWindowTitle("Kestrova v1.24 [Win NT/2000/XP]");
    mainWindow.resize(800, 600);
    mainWindow.show();
    return app.exec();
}
