#include "app/Appinfo.h"
#include "app/Mainwindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(telvor::kAppTitle);
    TMainWindow window;
    window.show();
    return app.exec();
}
