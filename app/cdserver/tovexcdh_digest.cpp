#include "tovexcdh_digest.h"

#include "md4.h"

#include <string>

CdhDigest CdhPasswordDigest(char* password, std::size_t width) {
    std::size_t length = 0;
    while (length < width && password[length] != '\0') {
        if (password[length] >= 'a' && password[length] <= 'z') password[length] -= 'a' - 'A';
        ++length;
    }
    std::string joined(password, length);
    joined += kCdhPasswordSalt;
    joined.append(password, length);
    static_assert(kCdhDigestTextLimit == 128, "Md4String digests at most 128 characters");
    CdhDigest digest;
    nas::Md4String(joined, digest.data());
    return digest;
}
