// qzm-make-icons: writes the program's icon in the icon theme's layout, at build time, so that the
// installed icon is the mark the windows paint.
//   qzm-make-icons OUTPUT_FOLDER SIZE...
// writes OUTPUT_FOLDER/<SIZE>x<SIZE>/apps/qzm-demo.png for each size.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

#include "ui/controls/artwork.h"

int main(int argc, char** argv) {
    // No display is needed, nor wanted on a build machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: qzm-make-icons OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "qzm-make-icons: bad size %s\n", argv[i]);
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(output).arg(size);
        const QString file = folder + QStringLiteral("/qzm-demo.png");
        if (!QDir().mkpath(folder) || !qzm::PaintMark(size).save(file, "PNG")) {
            std::fprintf(stderr, "qzm-make-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
