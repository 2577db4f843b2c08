#include "Shell.h"
#include "Vyk10dlg.h"

int main(int argc, char** argv) {
    return scanwindow::RunWindowProgram(argc, argv, [](const QString& iniPath) {
        console::ConsoleOptions options;
        options.iniPath = iniPath;
        return std::make_unique<console::TfrmVYK10>(options);
    });
}
