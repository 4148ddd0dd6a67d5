// ornwick-loggen: command-line entry point of the log generator.
#include "LogGen.h"
#include "Output.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const loggen::ParseResult parsed = loggen::parseArguments(args);
    if (parsed.help) {
        std::fputs(loggen::usage().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "ornwick-loggen: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    const loggen::Options& options = parsed.options;
    if (options.servers > 0) {
        try {
            loggen::generateSeries(options);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "ornwick-loggen: %s\n", e.what());
            return 1;
        }
        return 0;
    }

    std::FILE* file = stdout;
    if (!options.output.empty()) {
        file = std::fopen(options.output.c_str(), "wb");
        if (!file) {
            std::fprintf(stderr, "ornwick-loggen: cannot create %s\n", options.output.c_str());
            return 1;
        }
    }
    try {
        loggen::FileSink sink(file);
        loggen::generate(options, sink);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ornwick-loggen: %s\n", e.what());
        if (file != stdout)
            std::fclose(file);
        return 1;
    }
    if (file != stdout && std::fclose(file) != 0) {
        std::fprintf(stderr, "ornwick-loggen: cannot write %s\n", options.output.c_str());
        return 1;
    }
    return 0;
}
