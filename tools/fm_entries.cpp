// Adds or removes Ferrymark's entries in the installed file managers without the tray
// application, for the end-to-end tests and for packagers' scripts.
// Usage: fm-entries add|remove HOME PROGRAM [--keys]
#include <cstdio>
#include <cstring>

#include "integrations/FileManagerEntries.h"

int main(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "remove") != 0)) {
        std::fprintf(stderr, "usage: fm-entries add|remove HOME PROGRAM [--keys]\n");
        return 2;
    }
    const bool add = std::strcmp(argv[1], "add") == 0;
    // Removal always takes out the keys it may have added.
    const bool keys = !add || (argc > 4 && std::strcmp(argv[4], "--keys") == 0);
    ferrymark::IFileManagerEntries::Options options;
    options.home = argv[2];
    options.program = argv[3];
    options.pasteLabel = "Paste Here with Ferrymark";
    options.moveLabel = "Move Here with Ferrymark";
    if (keys) {
        options.pasteKey = "<Primary><Alt>v";
        options.moveKey = "<Primary><Alt>m";
    }
    int status = 0;
    for (const auto& writer : ferrymark::FileManagerEntries::all()) {
        if (!writer->isInstalled(options)) {
            continue;
        }
        const auto result = add ? writer->add(options) : writer->remove(options);
        std::printf("%.*s\n", static_cast<int>(writer->name().size()), writer->name().data());
        for (const auto& note : result.notes) {
            std::printf("  %s\n", note.c_str());
        }
        status = result.ok ? status : 1;
    }
    return status;
}
