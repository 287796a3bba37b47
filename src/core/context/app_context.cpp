#include "context/app_context.h"

#include "protocol/calibration.h"

namespace qvx {

namespace {
// The instance number must be known before the named objects are made: it suffixes their names.
std::string NumberInstance(SensorLink& link) {
    link.Init();
    return link.state().instance_number;
}
}  // namespace

AppContext::AppContext(UserPrompts& prompts) : AppContext(prompts, RegistryStore()) {}

AppContext::AppContext(UserPrompts& prompts, RegistryStore registry_store)
    : link(state),
      protocol(link, prompts),
      records(protocol, configuration),
      objects(NumberInstance(link)),
      registry(std::move(registry_store)) {
    protocol.SetCalibrationHook([this] { return CalibrateResponseWait(link); });
    // A serial connection is described by its port and rate; after a rate change the
    // description shows the new rate. (A modem connection is described by its number.)
    protocol.SetPortChangedHook([this] {
        if (state.link_kind == LinkKind::Serial)
            state.connection_description = link.serial().Description();
    });
}

}  // namespace qvx
