// TesterPing: the reachability probe that the registry reader calls before a remote read.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "services/ping_pd.h"

namespace quillon {

inline constexpr int32_t kPingJoignable = 0;
inline constexpr int32_t kPingInjoignable = 1;
inline constexpr int32_t kPingSocketsEnEchec = 2;

// Sends echoes to strAdresse until one is answered: the first attempt and at most
// lngNbRelances more, one after the other without pause, inside one sockets start-up and
// clean-up. 0 reachable (or empty address: local machine, nothing sent), 1 not reachable,
// 2 the sockets service did not start (then nothing is cleaned up).
int32_t TesterPing(PingPD& ping, const Text& strAdresse, int32_t lngNbRelances);

}  // namespace quillon
