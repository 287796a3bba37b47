#include "app/app_context.h"

#include "connect/calibration.h"

namespace qvx {

namespace {
// The instance number must be known before the named objects are made: it suffixes their names.
std::string NumberInstance(SensorLink& link) {
    link.InitSerialLink();
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
    protocol.SetCalibrationHook([this] { return CalibrateResponseWait(*this); });
}

}  // namespace qvx
