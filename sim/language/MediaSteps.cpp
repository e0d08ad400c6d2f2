// The media steps of Photos: opening, playing, seeking, exporting and editing a clip, the photo
// browser's bar and sheet, publishing, and the remakes held, released or made to fail.
#include <string>
#include <vector>

#include "host/App.h"
#include "sim/language/StepKinds.h"

namespace qv::sim {

std::vector<StepKind> mediaSteps() {
  return {
      {"open_clip",
       {"clip", "app"},
       {"clip"},
       [](const Fields& f) -> Action {
         const std::string clip = f.yaml.text(f["clip"], "open_clip clip");
         return AppStep{f.app(host::kPhotosApp), "open_clip", clip, "open_clip " + clip};
       },
       "open_clip: NAME                 show the album's clip in Photos"},
      {"play",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "play", {}, "play"};
       },
       "play [: APP]                    play the open clip"},
      {"seek",
       {"seconds", "app"},
       {"seconds"},
       [](const Fields& f) -> Action {
         const double seconds = f.yaml.number(f["seconds"], "seek", 0, kLongestClip);
         return AppStep{f.app(host::kPhotosApp), "seek", seconds,
                        "seek to " + toText(seconds) + " s"};
       },
       "seek: SECONDS                   move the open clip's playhead there"},
      {"export",
       {"preset", "app"},
       {"preset"},
       [](const Fields& f) -> Action {
         const std::string preset = f.yaml.text(f["preset"], "export preset");
         return AppStep{f.app(host::kPhotosApp), "export", preset, "export with " + preset};
       },
       "export: PRESET                  export the open clip, preferring the preset"},
      {"edit_slow_motion",
       {"start", "end", "app"},
       {"start", "end"},
       [](const Fields& f) -> Action {
         const double start = f.yaml.number(f["start"], "edit_slow_motion start", 0, kLongestClip);
         const double end = f.yaml.number(f["end"], "edit_slow_motion end", 0, kLongestClip);
         if (!(end > start)) f.yaml.fail(f["end"], "the slow-motion section ends after its start");
         return AppStep{f.app(host::kPhotosApp), "edit_slow_motion", ValueList{start, end},
                        "edit_slow_motion " + toText(start) + "-" + toText(end) + " s"};
       },
       "edit_slow_motion: {start: S, end: S}  save the open clip's slow-motion section"},
      {"press_bar",
       {"button", "app"},
       {"button"},
       [](const Fields& f) -> Action {
         const std::string button = f.yaml.text(f["button"], "press_bar button");
         return AppStep{f.app(host::kPhotosApp), "press_bar", button,
                        "press the bar's " + toText(Value(button))};
       },
       "press_bar: BUTTON               press the photo browser's bar button of that title"},
      {"press_sheet",
       {"button", "app"},
       {"button"},
       [](const Fields& f) -> Action {
         const std::string button = f.yaml.text(f["button"], "press_sheet button");
         return AppStep{f.app(host::kPhotosApp), "press_sheet", button,
                        "press the sheet's " + toText(Value(button))};
       },
       "press_sheet: BUTTON             press the action sheet's button of that title"},
      {"publish",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "publish", {}, "publish the open clip"};
       },
       "publish [: APP]                 the platform's own publishing of the open clip"},
      {"fail_next",
       {"what", "app"},
       {"what"},
       [](const Fields& f) -> Action {
         const std::string what = f.yaml.text(f["what"], "fail_next what");
         if (what != "remake" && what != "album_save") {
           f.yaml.fail(f["what"], "fail_next takes remake or album_save, not '" + what + "'");
         }
         return AppStep{f.app(host::kPhotosApp), "fail_next", what, "the next " + what + " fails"};
       },
       "fail_next: remake|album_save    the app's next remake or album save fails"},
      {"hold_remakes",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "hold_remakes", {}, "hold the remakes that start"};
       },
       "hold_remakes [: APP]            remakes wait, under their overlay, until released"},
      {"release_remakes",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(host::kPhotosApp), "release_remakes", {}, "release the remakes"};
       },
       "release_remakes [: APP]         held remakes run to their end"},
  };
}

}  // namespace qv::sim
