// trx4-hub: shares one connection to each TRX4 unit with many hosts. See --help.
#include "HubProgram.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    // Whatever escapes (memory running out while the command line is read)
    // still ends the program with a message rather than an abort.
    try {
        return runHubProgram(argc, argv, HubProgramKind::hub);
    } catch (const std::exception& error) {
        std::cerr << "trx4-hub: " << error.what() << std::endl;
    } catch (...) {
        std::cerr << "trx4-hub: an unexpected failure ended the program" << std::endl;
    }
    return 1;
}
