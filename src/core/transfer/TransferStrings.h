#pragma once
// String table ids of the transfer messages (common/StringTable.cpp).

namespace corvina {

inline constexpr int kStrConnecting = 8;
inline constexpr int kStrConnectionEstablished = 9;
inline constexpr int kStrConnectionAborted = 10;
inline constexpr int kStrInitializingDialUp = 11;
inline constexpr int kStrNoNewMail = 12;
inline constexpr int kStrServerInitFailed = 61446;
inline constexpr int kStrAuthFailed = 61455;
inline constexpr int kStrDeleteFailed = 61459;
inline constexpr int kStrSendFailed = 61460;

}  // namespace corvina
