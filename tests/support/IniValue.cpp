// Reads or writes one key of an INI file with the programs' own INI code, for the tools scripts:
//   ini_value FILE SECTION KEY          prints the value; exit status 1 when the key is missing
//   ini_value FILE SECTION KEY VALUE    writes the value; exit status 1 when it did not stick

#include <cstdio>

#include "IniFile.h"

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fputs("usage: ini_value FILE SECTION KEY [VALUE]\n", stderr);
        return 2;
    }
    IniFile ini(QString::fromLocal8Bit(argv[1]));
    const QString section = QString::fromLocal8Bit(argv[2]);
    const QString key = QString::fromLocal8Bit(argv[3]);
    // Values are trimmed, so none is a line break: it tells a missing key apart.
    const QString missing = QStringLiteral("\n");
    if (argc == 5) {
        const QString value = QString::fromLocal8Bit(argv[4]);
        const WriteResult written = ini.WriteString(section, key, value);
        if (!written) {
            std::fprintf(stderr, "ini_value: cannot write %s: %s\n", argv[1],
                         written.reason.toLocal8Bit().constData());
            return 1;
        }
        if (ini.ReadString(section, key, missing) != value.trimmed()) {
            std::fprintf(stderr, "ini_value: cannot write %s\n", argv[1]);
            return 1;
        }
        return 0;
    }
    const QString value = ini.ReadString(section, key, missing);
    if (value == missing)
        return 1;
    std::printf("%s\n", value.toLocal8Bit().constData());
    return 0;
}
