#include "host/ios7/SlalomClasses.h"

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"

namespace qv::host {
namespace {

struct ConfigurationState {
  float rate = 1;
  float volumeDuringSlalom = 1;
  float volumeDuringRampToSlalom = 1;
};

template <float ConfigurationState::*Field>
float getField(id self, SEL) {
  return stateOf<ConfigurationState>(self).*Field;
}

template <float ConfigurationState::*Field>
void setField(id self, SEL, float value) {
  stateOf<ConfigurationState>(self).*Field = value;
}

}  // namespace

void registerSlalomClassesIOS7() {
  using S = ConfigurationState;
  ClassBuilder("PLSlalomConfiguration", NSObjectClass())
      .state<S>()
      .method("setRate:", &setField<&S::rate>)
      .method("rate", &getField<&S::rate>)
      .method("setVolumeDuringSlalom:", &setField<&S::volumeDuringSlalom>)
      .method("volumeDuringSlalom", &getField<&S::volumeDuringSlalom>)
      .method("setVolumeDuringRampToSlalom:", &setField<&S::volumeDuringRampToSlalom>)
      .method("volumeDuringRampToSlalom", &getField<&S::volumeDuringRampToSlalom>)
      .registerClass();
  registerExportUtilities("PLSlalomUtilities");
}

PlaybackPlan slalomPlaybackPlan(id avAsset, std::optional<CMTimeRange> section) {
  const double duration = CMTimeGetSeconds(send<CMTime>(avAsset, "duration"_sel));
  Class configurationClass = objc_getClass("PLSlalomConfiguration");
  if (!section || configurationClass == Nil) return slowedPlan(duration, kCMTimeRangeZero, 1);
  Ref<> configuration = make(configurationClass);
  send(configuration.get(), "setRate:"_sel, stockSlowMotionRate(firstVideoRate(avAsset)));
  send(configuration.get(), "setVolumeDuringSlalom:"_sel, kStockSlowMotionVolume);
  send(configuration.get(), "setVolumeDuringRampToSlalom:"_sel, kStockRampVolume);
  PlaybackPlan plan = slowedPlan(duration, *section, send<float>(configuration.get(), "rate"_sel));
  if (!plan.slowMotion) return plan;
  plan.volume = send<float>(configuration.get(), "volumeDuringSlalom"_sel);
  plan.rampVolume = send<float>(configuration.get(), "volumeDuringRampToSlalom"_sel);
  return plan;
}

}  // namespace qv::host
