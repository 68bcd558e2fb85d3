#include "signalpath/descramble.h"

namespace signalpath {

std::string cozucu_3A(RawSample r) { return std::to_string(descramble(1, r)); }
std::string cozucu_3B(RawSample r) { return std::to_string(descramble(2, r)); }
std::string cozucu_3C(RawSample r) { return std::to_string(descramble(3, r)); }
std::string cozucu_3D(RawSample r) { return std::to_string(descramble(4, r)); }

} // namespace signalpath
