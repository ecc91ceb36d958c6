#pragma once
// Corvel, the outside identity library: it writes a code that names this machine
// into a caller's buffer. The code is derived from the operating system's own
// machine identity (Windows: HKLM\SOFTWARE\Microsoft\Cryptography MachineGuid;
// Linux: /etc/machine-id), which survives reboots and is readable without
// privileges. The identity itself is never handed out, only a hash of it tied to
// this library, as the machine-id documentation asks of applications.
#include <optional>
#include <string>
#include <string_view>

namespace corvel {

// The 32 hexadecimal digits of a machine identity ("3d1219c7c4c5404a..." or
// "{3D1219C7-C4C5-404A-...}"), lower case; nullopt for anything else.
std::optional<std::string> NormalizeIdentity(std::string_view text);
// The code for a normalized identity: 32 upper-case hexadecimal digits.
std::string IdentityCode(std::string_view identity);
// The machine's normalized identity. On Linux `root` is the folder that stands
// for "/" (tests hand in a fake tree); Windows reads its registry.
std::optional<std::string> MachineIdentity(const std::string& root = "/");
// Writes `code` over the caller's text in place, from its first byte and never
// past its terminating NUL; answers the number of bytes written.
int WriteInPlace(char* buffer, std::string_view code);
// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace corvel
