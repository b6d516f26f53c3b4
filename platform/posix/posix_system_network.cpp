#include "platform/posix/posix_network.h"
#include "platform/system_network.h"

namespace vindle {

std::unique_ptr<Network> MakeSystemNetwork() {
    return std::make_unique<PosixNetwork>();
}

}  // namespace vindle
