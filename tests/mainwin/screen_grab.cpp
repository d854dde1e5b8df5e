// Not a test: saves a picture of the whole X screen (for screenshots of the running program
// under a virtual X server):   screen_grab OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screen_grab OUT.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(argv[1], "PNG")) {
        std::fprintf(stderr, "could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
