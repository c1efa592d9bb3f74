// trx4-exporter: trx4-hub without served ports, kept for installed systems. See --help.
#include "HubProgram.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    // Whatever escapes (memory running out while the command line is read)
    // still ends the program with a message rather than an abort.
    try {
        return runHubProgram(argc, argv, HubProgramKind::exporter);
    } catch (const std::exception& error) {
        std::cerr << "trx4-exporter: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4-exporter: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
