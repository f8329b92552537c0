// kavro-test-sim: kavro-sim serve with the commands only the tests send.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "control_server.h"
#include "links.h"
#include "sim_main.h"

namespace {

const char kUsage[] = "usage: kavro-test-sim serve --port-file FILE --links DIR [--dosdevices DIR]\n"
                      "  kavro-sim serve (kavro-sim --help) with the commands only tests send besides its own\n"
                      "  (tests/win/test_sim.h): silent | answer | hangup | block N\n";

class TestServer : public kavro_sim::ControlServer {
public:
    using ControlServer::ControlServer;

private:
    std::optional<std::string> Execute(Connection& c, const kavro_sim::CommandLine& command) override {
        const std::string& verb = command.verb;
        std::string error;
        if (verb == "block") {  // a port linked to a directory: opening it is denied
            const std::optional<int> port = kavro_sim::ParsePortNumber(command.argument);
            return port && PointLinks(c, *port, "/", error) ? "ok" : "err " + (port ? error : "block N, N 1..255");
        }
        if (verb != "silent" && verb != "answer" && verb != "hangup")
            return ControlServer::Execute(c, command);
        if (!c.controller)
            return std::string("err attach a port first");
        if (verb == "silent")
            c.controller->Logic().Silence();
        else if (verb == "answer")
            c.controller->Logic().Resume();
        else
            return Hangup(c);
        return std::string("ok");
    }

    std::string Hangup(Connection& c) {
        const std::string slave = c.controller->SlavePath();
        const bool linked =
            std::any_of(c.links.begin(), c.links.end(), [&](const OwnedLink& link) { return link.target == slave; });
        c.controller->Hangup();
        // The kernel hands the freed pty number to the next pty created, so a
        // link left at the old path could lead into another test's controller.
        // A path that never exists fails the same way and stays failing.
        const std::string unplugged = Options().linksDir + "/unplugged-" + kavro_sim::PortLinkName(c.port);
        std::string error;
        return !linked || PointLinks(c, c.port, unplugged, error) ? "ok" : "err " + error;
    }
};

}  // namespace

int main(int argc, char** argv) {
    kavro_sim::ServeOptions options;
    const std::string problem = argc < 2 || std::strcmp(argv[1], "serve") != 0 ? "serve is the only mode"
                                                                              : ReadServeOptions(argc, argv, options);
    if (!problem.empty())
        return std::fprintf(stderr, "kavro-test-sim: %s\n\n%s", problem.c_str(), kUsage), 2;
    TestServer server(options);
    return kavro_sim::Serve(server);
}
