#include "support/sim_world.h"

namespace korvex::testing {

std::string SimWorld::featureTraffic() const {
    std::string out;
    for (const SimCall& call : bus.calls()) {
        std::string item;
        if (call.op == SimOp::GetFeature) {
            item = "G";
        } else if (call.op == SimOp::SetFeature && call.bytes.size() > 3) {
            if (call.bytes[1] == kWriteMarker) item = "W" + std::to_string(call.bytes[2]);
            else if (call.bytes[1] == kFollowUpMarker) item = "F";
            else item = "S" + std::to_string(call.bytes[1]);
        } else {
            continue;
        }
        out += (out.empty() ? "" : " ") + item;
    }
    return out;
}

bool SimWorld::settingsEmptyAndDisabled() const {
    for (const auto& list : form.Enc)
        if (list.listCount() != 0 || list.enabled()) return false;
    return form.ModeCh1.listCount() == 0 && !form.ModeCh1.enabled() && !form.NoJoy.enabled() &&
           form.NoJoy.value() == 0 && !form.Frame3.enabled();
}

}  // namespace korvex::testing
