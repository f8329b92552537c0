// `kavro-sim serve`: controllers created and steered by tests over TCP.
#pragma once

#include <string>

namespace kavro_sim {

struct ServeOptions {
    std::string portFile;       // receives the control port number
    std::string linksDir;       // DIR/comN links
    std::string dosDevicesDir;  // a Wine prefix's dosdevices; may be empty
};

int RunControlServer(const ServeOptions& options);

}  // namespace kavro_sim
