#include "tcpipcheck.h"

#include "brandinfo.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class SystemResolver : public THostResolver {
public:
    bool LocalHostName(std::string& name) override {
        char buffer[256] = {};
        if (gethostname(buffer, sizeof buffer - 1) != 0) return false;
        name = buffer;
        return true;
    }
    bool ResolvesToIPv4(const std::string& name) override {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        addrinfo* found = nullptr;
        if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
        freeaddrinfo(found);
        return true;
    }
};

} // namespace

THostResolver& SystemHostResolver() {
    static SystemResolver resolver;
    return resolver;
}

bool TcpIpInstalled(THostResolver& resolver) {
    std::string name;
    return resolver.LocalHostName(name) && resolver.ResolvesToIPv4(name);
}

std::string TcpIpMissingText() {
    const std::string second = ReplaceFirst(kProductWord, BrandInfo.APPNAME, GetMessageText(49));
    const std::string third = ReplaceFirst(kProductWord, BrandInfo.APPNAME, GetMessageText(50));
    return JoinStrings3(GetMessageText(48), second, third);
}

bool CheckTcpIp(THostResolver& resolver) {
    if (TcpIpInstalled(resolver)) return true;
    vcl::Application->MessageBox(TcpIpMissingText(), GetMessageText(9),
                                 vcl::MB_OK | vcl::MB_ICONSTOP);
    return false;
}
