// One SG_IO device whose ioctl answers what the test scripts: status, host and driver
// conditions, sense bytes, reply data and the time the command takes on the injected clock.
#pragma once

#include "aspi32.h"
#include "scsi/registry.h"
#include "scsi/sg_io_adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <scsi/sg.h>
#include <vector>

struct SgOutcome {
    int error = 0;
    std::uint8_t status = 0;
    std::uint16_t host = 0;
    std::uint16_t driver = 0;
    int resid = 0; // used when reply is empty
    std::vector<std::uint8_t> sense;
    std::vector<std::uint8_t> reply; // copied into the data buffer; resid follows from it
};

struct SgRig {
    SgOutcome next;
    std::function<void()> during; // runs inside each command (e.g. moves the clock on)
    int calls = 0;
    sg_io_hdr seen{};
    std::vector<std::uint8_t> seenCdb;
    platform::scsi::Registry registry;
    std::unique_ptr<TAspi32> aspi;

    SgRig() {
        platform::scsi::AdapterDescription d;
        d.identifier = "ATAPI";
        auto call = [this](const std::string&, sg_io_hdr& h) {
            ++calls;
            seen = h;
            seenCdb.assign(h.cmdp, h.cmdp + h.cmd_len);
            if (during) during();
            if (next.error) return next.error;
            h.status = next.status;
            h.host_status = next.host;
            h.driver_status = next.driver;
            h.resid = next.resid;
            if (!next.reply.empty() && h.dxferp != nullptr) {
                const std::size_t n = std::min<std::size_t>(next.reply.size(), h.dxfer_len);
                std::memcpy(h.dxferp, next.reply.data(), n);
                h.resid = static_cast<int>(h.dxfer_len - n);
            }
            const std::size_t n = std::min<std::size_t>(next.sense.size(), h.mx_sb_len);
            if (n > 0) std::memcpy(h.sbp, next.sense.data(), n);
            h.sb_len_wr = static_cast<unsigned char>(n);
            return 0;
        };
        registry.Add(std::make_unique<platform::scsi::SgIoAdapter>(
            d, std::vector<platform::scsi::DeviceEntry>{{0, 0, 5, "/dev/sr0"}}, call));
        aspi = std::make_unique<TAspi32>(&registry);
    }
};

inline std::vector<std::uint8_t> FixedSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq,
                                            std::uint8_t response = 0x70) {
    std::vector<std::uint8_t> s(18, 0);
    s[0] = response, s[2] = key, s[7] = 10, s[12] = asc, s[13] = ascq;
    return s;
}

inline std::vector<std::uint8_t> DescriptorSense(std::uint8_t key, std::uint8_t asc,
                                                 std::uint8_t ascq, std::uint8_t response = 0x72) {
    return {response, key, asc, ascq, 0, 0, 0, 0};
}

// Outcomes for tables of cases.
inline SgOutcome Status(std::uint8_t status, std::vector<std::uint8_t> sense = {}) {
    SgOutcome o;
    o.status = status;
    o.driver = sense.empty() ? 0 : 0x08;
    o.sense = std::move(sense);
    return o;
}
inline SgOutcome Host(std::uint16_t host) {
    SgOutcome o;
    o.host = host;
    return o;
}
inline SgOutcome Driver(std::uint16_t driver) {
    SgOutcome o;
    o.driver = driver;
    return o;
}
inline SgOutcome Resid(int resid) {
    SgOutcome o;
    o.resid = resid;
    return o;
}
inline SgOutcome Errno(int error) {
    SgOutcome o;
    o.error = error;
    return o;
}
