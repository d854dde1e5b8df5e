#include "tovexcdh_config.h"

namespace {

CdhNetConfig& Config() {
    static CdhNetConfig config;
    return config;
}

} // namespace

const CdhNetConfig& CurrentCdhConfig() {
    return Config();
}

void SetCdhConfig(const CdhNetConfig& config) {
    Config() = config;
}

void ResetCdhConfig() {
    Config() = CdhNetConfig{};
}
