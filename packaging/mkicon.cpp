// Build step: the program's icon at one of the sizes the desktop's icon theme asks for,
// scaled down from the large picture the program embeds.
//   mkicon <source.png> <size> <output.png>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: mkicon <source.png> <size> <output.png>\n");
    return 2;
  }
  const QImage source(QString::fromLocal8Bit(argv[1]));
  const int size = QString::fromLocal8Bit(argv[2]).toInt();
  if (source.isNull() || size <= 0 || size > source.width()) {
    std::fprintf(stderr, "mkicon: cannot make a %s pixel icon from %s\n", argv[2], argv[1]);
    return 1;
  }
  const QImage icon = source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                          .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (!icon.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
    std::fprintf(stderr, "mkicon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
