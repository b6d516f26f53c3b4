#pragma once

#include <string>

namespace vindle {

// True only inside scripts/lan-sandbox's namespace: its marker is set, the operator's address
// 198.51.100.2 exists, and no interface but loopback and the sandbox's veth pair is present.
// Otherwise `reason` says why, and a test must send nothing.
bool InsideLanSandbox(std::string& reason);

// For a test program's main(): true inside the sandbox; otherwise says why and how to run
// `program` in it (with the simulator configuration `printersConf`), and gives false.
bool CheckInsideLanSandbox(const char* program, const char* printersConf);

}  // namespace vindle
