// The symlinks through which the tool finds a simulated port: DIR/comN for
// our own use and, under Wine, dosdevices/comN, which Wine opens for COMN.
#pragma once

#include <string>

namespace kavro_sim {

std::string PortLinkName(int port);  // "com41"

// Points `link` at `target`, replacing whatever was there in one step so an
// opener never finds the name missing.
bool ReplaceSymlink(const std::string& target, const std::string& link, std::string& error);

// Removes `link` only if it still points at `target`: someone else may have
// taken the name over since.
void RemoveSymlinkIfTarget(const std::string& link, const std::string& target);

}  // namespace kavro_sim
