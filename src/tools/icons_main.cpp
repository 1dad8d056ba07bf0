// Writes the program icon into a directory laid out as the desktop's icon
// theme, for installation (and for the build to depend on):
//
//     vantrel-icons <directory>
//
// gives <directory>/16x16/apps/vantrel.png, 32x32 and 48x48 alike, in 16
// colours with the transparent mask. A build tool, not part of the
// program; exit status 0 on success, 1 when a file cannot be written, 2 on
// a usage error.

#include "art/program_icon.h"

#include <QDir>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: vantrel-icons <directory>\n", stderr);
        return 2;
    }
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 32, 48}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = theme.filePath(folder + QStringLiteral("/vantrel.png"));
        QSaveFile file(path);
        if (!theme.mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
            !vantrel::programIconImage(size).save(&file, "PNG") || !file.commit()) {
            std::fprintf(stderr, "vantrel-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
