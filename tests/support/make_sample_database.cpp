// Writes the bundled sample database to the path given on the command line.

#include "SampleDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FILE\n", argc > 0 ? argv[0] : "make-sample-database");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QByteArray bytes = testdb::buildSampleDatabase();
    QFile file(path);
    const bool written = QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "make-sample-database: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
