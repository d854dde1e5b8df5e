#include "trace.h"

#include "paths/paths.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex traceMutex;
int openScopes = 0;

void AppendLine(int depth, const std::string& name, const char* mark) {
    std::FILE* file = std::fopen(platform::ProgramFilePath(TTraceScope::FileName).c_str(), "a");
    if (!file) return;
    std::fprintf(file, "%s%s %s\n", std::string(static_cast<size_t>(depth), ' ').c_str(),
                 name.c_str(), mark);
    std::fclose(file);
}

} // namespace

TTraceScope::TTraceScope(std::string name) : name_(std::move(name)) {
    std::lock_guard lock(traceMutex);
    depth_ = openScopes++;
    AppendLine(depth_, name_, ">>");
}

TTraceScope::~TTraceScope() {
    std::lock_guard lock(traceMutex);
    --openScopes;
    AppendLine(depth_, name_, "<<");
}

TLocalInit::TLocalInit() {
    TTraceScope scope("TLocalInit");
}

TLocalInit::~TLocalInit() {
    TTraceScope scope("~TLocalInit");
}
