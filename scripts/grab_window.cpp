// kalvora-grab: saves an X window as a PNG (used by scripts/screenshot.sh).
//   kalvora-grab WINDOW-ID OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kalvora-grab WINDOW-ID OUT.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const WId window = static_cast<WId>(std::strtoull(argv[1], nullptr, 0));
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return 1;
    const QPixmap pixmap = screen->grabWindow(window);
    if (pixmap.isNull() || !pixmap.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "kalvora-grab: could not save %s\n", argv[2]);
        return 1;
    }
    return 0;
}
