// icon-png SOURCE.xpm OUT.png [SIZE]: converts one image of the window's icon for the icon theme
// at build time, so the repository keeps only the drawn source. With SIZE, the drawing is enlarged
// by a whole factor, each pixel becoming a square block, so the large icons stay the same drawing.
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE.xpm OUT.png [SIZE]\n", argv[0]);
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    if (argc == 4) {
        const int size = std::atoi(argv[3]);
        // A fractional factor would make some source pixels wider than others.
        if (image.width() != image.height() || size < image.width() || size % image.width() != 0) {
            std::fprintf(stderr, "%s: %s (%dx%d) does not scale evenly to %s\n", argv[0], argv[1], image.width(),
                         image.height(), argv[3]);
            return 1;
        }
        image = image.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
