// Saves a part of the screen as PNG: zurav3_screenshot <file> <x> <y> <width> <height>.
// Used under Xvfb to picture the program for the README.
#include <cstdlib>

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 6 || QGuiApplication::primaryScreen() == nullptr) {
        return 2;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
        0, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
