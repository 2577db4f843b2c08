#include "Shell.h"
#include "Vyk10dlg.h"

int main(int argc, char** argv) {
    return scanwindow::RunWindowProgram(argc, argv, [](const QString& iniPath) {
        zone::ZoneToolOptions options;
        options.iniPath = iniPath;
        return std::make_unique<zone::TfrmVYK10>(options);
    });
}
