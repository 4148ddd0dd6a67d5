#include "app/Startup.h"

#include <QApplication>
#include <QMainWindow>

int RunTarvel(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle("Ornwick");
    window.resize(884, 716);
    window.show();
    return app.exec();
}
