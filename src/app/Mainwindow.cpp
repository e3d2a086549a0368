#include "app/Mainwindow.h"

#include "app/Appinfo.h"

TMainWindow::TMainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainWindow");
    setWindowTitle(QString("%1 (idle)").arg(telvor::kAppTitle));
    resize(640, 480);
}
