// Not a test: puts local files on the X clipboard as a file list and serves it until killed (for
// screenshots of pasting into the running program under a virtual X server):
//   clip_files PATH...
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: clip_files PATH...\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    auto* mime = new QMimeData;
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls.push_back(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i])));
    mime->setUrls(urls);
    QGuiApplication::clipboard()->setMimeData(mime);
    std::printf("clipboard ready\n");
    std::fflush(stdout);
    return app.exec();
}
