#include <QApplication>

#include "app/AppDelegate.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    ferrymark::AppDelegate delegate;
    return app.exec();
}
