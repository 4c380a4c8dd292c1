#pragma once
// What every test layer expects of the encrypted layer: two history lines,
// and the wire with the random text of each 'H' and 'R' message as '#'.
#include <string>

inline std::string FirstContact(const std::string& name) {
    return "***Encrypted. First conversation with this key of " + name + ": compare /verify codes to be sure\r\n";
}
inline std::string NotEncrypted(const std::string& name) {
    return "***Not encrypted: " + name + "'s program does not support encryption\r\n";
}

inline std::string Masked(std::string wire) {
    for (size_t at = wire.find_first_not_of('\0'); at != std::string::npos && at < wire.size();
         at = wire.find_first_not_of('\0', at)) {
        const size_t end = wire.find("\x0C\x0D", at);
        if (end == std::string::npos) break;
        if (wire[at] == '\x02' && at + 1 < end && (wire[at + 1] == 'H' || wire[at + 1] == 'R'))
            wire.replace(at + 2, end - at - 2, end - at - 2, '#');
        at = end + 2;
    }
    return wire;
}
