// The yardstick of the start-up benchmark: the least a Qt Widgets program can
// do, one empty window shown.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    return QApplication::exec();
}
