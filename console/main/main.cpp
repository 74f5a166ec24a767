// The console ZELK: the main window over the engine ZELK_Eng.
#include "main/frm_zelk.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    frmZELK window;
    window.show();
    return application.exec();
}
