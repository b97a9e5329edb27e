// Writes the bundled sample database to the path given on the command line.

#include "SampleDatabase.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FILE\n", argc > 0 ? argv[0] : "make-sample-database");
        return 2;
    }
    if (!testdb::writeBytes(QString::fromLocal8Bit(argv[1]), testdb::buildSampleDatabase())) {
        std::fprintf(stderr, "make-sample-database: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
