// The image sink of a build task in the program: the mirror session of the task's own copy of
// the server object.
#pragma once

#include "isobuild_sink.h"

class CNasServer;

class NasServerImageSink : public IsoImageSink {
public:
    explicit NasServerImageSink(CNasServer& server) : server_(server) {}
    int Start(const NasCDTable& table, NasMirrorInfo& request) override;
    int Send(const std::uint8_t* data, std::size_t length) override;
    int Complete() override;
    int Abort(int reason) override;

private:
    CNasServer& server_;
};
