// A configurator running on in-memory controls and a simulated bus, with helpers to read the
// traffic that reached the boards.
#pragma once

#include "app/configurator.h"
#include "device/board_commands.h"
#include "simulation/simulated_bus.h"
#include "support/memory_controls.h"

#include <memory>
#include <string>
#include <vector>

namespace korvex::testing {

inline SimDeviceInfo board(const std::u16string& serial, std::uint16_t version = 0x0114, BoardSettings settings = {}) {
    SimDeviceInfo info;
    info.serial = serial;
    info.version = version;
    info.settings = settings;
    return info;
}

inline SimDeviceInfo otherHid(std::uint16_t vendor, std::uint16_t product) {
    SimDeviceInfo info;
    info.vendorId = vendor;
    info.productId = product;
    info.serial = u"OTHER";
    return info;
}

using Bytes = std::vector<std::uint8_t>;

// L bytes: the given leading bytes, then zeros.
inline Bytes report(std::size_t length, Bytes head) {
    head.resize(length, 0);
    return head;
}

struct SimWorld {
    SimulatedBus bus;
    testing::MemoryForm form;
    std::unique_ptr<app::Configurator> app = std::make_unique<app::Configurator>(bus, form.controls());

    // The window's session, for driving a procedure directly as the window would.
    DeviceSession& session() { return const_cast<DeviceSession&>(app->session()); }

    // Calls of one kind, in order.
    std::vector<SimCall> callsOf(SimOp op) const {
        std::vector<SimCall> out;
        for (const SimCall& call : bus.calls())
            if (call.op == op) out.push_back(call);
        return out;
    }
    // The feature reports sent, in order.
    std::vector<Bytes> sent() const {
        std::vector<Bytes> out;
        for (const SimCall& call : callsOf(SimOp::SetFeature)) out.push_back(call.bytes);
        return out;
    }
    // Write reports (00 EE ...) and follow-ups (00 B0 ...) among the reports sent.
    std::vector<Bytes> writes() const {
        std::vector<Bytes> out;
        for (const Bytes& bytes : sent())
            if (bytes.size() > 1 && (bytes[1] == kWriteMarker || bytes[1] == kFollowUpMarker)) out.push_back(bytes);
        return out;
    }
    // The operations of the feature traffic, as "S8 G S9 G ...": a select of code n is Sn,
    // a write Wn, a follow-up F, a get-feature G.
    std::string featureTraffic() const;

    std::vector<int> encoderSelections() const {
        std::vector<int> out;
        for (const auto& list : form.Enc) out.push_back(list.listIndex());
        return out;
    }
    bool settingsEmptyAndDisabled() const;
    void tick() { form.Timer.fire(); }
};

}  // namespace korvex::testing
