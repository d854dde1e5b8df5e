// The start-up check that the TCP/IP stack works: the local host name and its IPv4 address.
#pragma once

#include <string>

// Where the check asks; tests give one that fails on purpose.
class THostResolver {
public:
    virtual ~THostResolver() = default;
    // The local host name; false when the system gives none.
    virtual bool LocalHostName(std::string& name) = 0;
    // Whether the name resolves to an IPv4 address.
    virtual bool ResolvesToIPv4(const std::string& name) = 0;
};

// The resolver of the system (gethostname, getaddrinfo).
THostResolver& SystemHostResolver();

// True when the host has a name that resolves to an IPv4 address.
bool TcpIpInstalled(THostResolver& resolver);

// The text shown when the stack is missing: messages 48, 49 and 50, the product word of the last
// two replaced by the product name.
std::string TcpIpMissingText();

// Runs the check; when it fails, shows TcpIpMissingText under the caption "Error" (message 9) with
// an OK button and the stop icon, and returns false.
bool CheckTcpIp(THostResolver& resolver);
