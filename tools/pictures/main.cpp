// borne-pictures: draws the panel's seven pictures and the icon and writes them as files.
// Usage: borne-pictures [FOLDER]   (default: the source tree's panel/images)
// The committed files are the reference the panel is built with: write them again only when a drawing
// has changed on purpose, and look at them before committing.
#include "tools/pictures/Scenes.h"

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

namespace {

bool write(const QImage& image, const QString& path, const char* format) {
    QImageWriter writer(path, format);
    if (QByteArray(format) == "jpeg") {
        writer.setQuality(90);
        writer.setOptimizedWrite(true); // smaller Huffman tables, still a baseline file
    }
    if (!writer.write(image)) {
        std::fprintf(stderr, "borne-pictures: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: borne-pictures [FOLDER]\n");
        return 2;
    }
    // Text needs the font database of a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int argcQt = 1;
    QGuiApplication application(argcQt, argv);
    const QDir folder(argc == 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(BORNE_IMAGES_FOLDER));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "borne-pictures: cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }
    bool ok = true;
    for (int n = 1; n <= 7; ++n)
        ok &= write(borne::pictures::drawPicture(n), folder.filePath(QStringLiteral("Image%1.jpg").arg(n)),
                    "jpeg");
    // Both writers take transparency from an alpha channel, not from the colour table.
    const QImage icon = borne::pictures::drawIcon().convertToFormat(QImage::Format_ARGB32);
    ok &= write(icon, folder.filePath(QStringLiteral("borne.xpm")), "xpm");
    ok &= write(icon, folder.filePath(QStringLiteral("borne.ico")), "ico");
    return ok ? 0 : 1;
}
