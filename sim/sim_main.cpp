#include "sim_main.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "interactive.h"

namespace {

const char kUsage[] =
    "usage:\n"
    "  kavro-sim serve --port-file FILE --links DIR [--dosdevices DIR]\n"
    "      Control server on 127.0.0.1 (port written to FILE). Each control\n"
    "      connection may attach one simulated controller: DIR/comN (and\n"
    "      DIR2/comN for a Wine prefix's dosdevices) link to its pty.\n"
    "      One command per line, one reply per command (ok / ok VALUE / err TEXT):\n"
    "        attach N | switches CHARS | switches-hex HEX | serial-hex HEX\n"
    "        delay MS | send HEX | clear-received | count swin|readsn\n"
    "        events | now | wait-opened 0|1 TIMEOUT_MS | quit\n"
    "      events: T:K:HEX per event since clear-received, T in microseconds of\n"
    "        the clock 'now' reads, K c (command from the tool), a (answer sent),\n"
    "        s (switches set).\n"
    "  kavro-sim interactive --link PATH [--serial TEXT] [--switches CHARS]\n"
    "      One controller linked at PATH. On a terminal: keys 1-8 toggle the\n"
    "      switches, s toggles silence, q quits. Otherwise stdin takes the\n"
    "      commands above from switches to now, and quit, one per line, until\n"
    "      SIGTERM.\n"
    "  kavro-sim --help\n";

int Usage(const char* problem) {
    if (problem != nullptr)
        std::fprintf(stderr, "kavro-sim: %s\n\n", problem);
    std::fputs(kUsage, problem != nullptr ? stderr : stdout);
    return problem != nullptr ? 2 : 0;
}

// Takes the value of option argv[i] into `value`. False when it is missing.
bool TakeValue(int argc, char** argv, int& i, std::string& value) {
    if (i + 1 >= argc)
        return false;
    value = argv[++i];
    return true;
}

}  // namespace

std::string ReadServeOptions(int argc, char** argv, kavro_sim::ServeOptions& options) {
    for (int i = 2; i < argc; ++i) {
        const std::string name = argv[i];
        bool ok = false;
        if (name == "--port-file")
            ok = TakeValue(argc, argv, i, options.portFile);
        else if (name == "--links")
            ok = TakeValue(argc, argv, i, options.linksDir);
        else if (name == "--dosdevices")
            ok = TakeValue(argc, argv, i, options.dosDevicesDir);
        if (!ok)
            return "bad option " + name;
    }
    if (options.portFile.empty() || options.linksDir.empty())
        return "serve needs --port-file and --links";
    return "";
}

int RunSim(int argc, char** argv) {
    if (argc < 2)
        return Usage("a mode is needed");
    const std::string mode = argv[1];
    if (mode == "help")
        return Usage(nullptr);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Usage(nullptr);
    }

    if (mode == "serve") {
        kavro_sim::ServeOptions options;
        const std::string problem = ReadServeOptions(argc, argv, options);
        if (!problem.empty())
            return Usage(problem.c_str());
        kavro_sim::ControlServer server(options);
        return kavro_sim::Serve(server);
    }

    if (mode == "interactive") {
        kavro_sim::InteractiveOptions options;
        for (int i = 2; i < argc; ++i) {
            const std::string name = argv[i];
            bool ok = false;
            if (name == "--link")
                ok = TakeValue(argc, argv, i, options.link);
            else if (name == "--serial")
                ok = TakeValue(argc, argv, i, options.serial);
            else if (name == "--switches")
                ok = TakeValue(argc, argv, i, options.switches);
            if (!ok)
                return Usage(("bad option " + name).c_str());
        }
        if (options.link.empty())
            return Usage("interactive needs --link");
        return kavro_sim::RunInteractive(options);
    }

    return Usage(("unknown mode " + mode).c_str());
}
