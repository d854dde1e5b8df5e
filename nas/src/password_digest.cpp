#include "password_digest.h"

#include <string>

namespace nas {

int DigestPassword(std::string_view password, uint8_t digest[kMd4DigestSize]) {
    if (password.size() > kMaxPasswordLength) return -1;
    std::string composed;
    composed.reserve(2 * password.size() + kPasswordSalt.size());
    composed.append(password).append(kPasswordSalt).append(password);
    Md4String(composed, digest);
    return 0;
}

} // namespace nas
