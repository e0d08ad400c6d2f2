// The hook table each library is meant to install, row by row in installation order: what the
// shipped tables are pinned against, and what tests of their installation count on.
#pragma once

#include <vector>

namespace quorvane::test {

// Kinds: 'F' C function, 'I' instance method, 'C' class method, '+' added method.
struct Row {
  int number;
  const char* owner;  // the class, or the function's name
  char kind;
  const char* selector;
  const char* types;  // replaced rows: the method's signature; added rows: their exact encoding
};

inline const std::vector<Row>& iOS8Rows() {
  static const std::vector<Row> rows{
      {1, "MGGetBoolAnswer", 'F', "", ""},
      {2, "CMTimeMake", 'F', "", ""},
      {3, "CAMCameraView", 'I', "_slalomIndicatorTapped:", "v@:@"},
      {4, "CAMCameraView", 'I', "_createSlalomIndicatorIfNecessary", "v@:"},
      {5, "CAMCameraView", 'I', "_showControlsForCapturingVideoAnimated:", "v@:B"},
      {6, "CAMCameraView", 'I', "_hideControlsForCapturingVideoAnimated:", "v@:B"},
      {7, "CAMApplicationViewController", 'I', "_kickoffCameraControllerPreview", "v@:"},
      {8, "PFSlowMotionUtilities", 'C', "exportPresetForAsset:preferredPreset:", "@@:@@"},
      {9, "PFSlowMotionUtilities", 'C', "configureExportSession:forcePreciseConversion:", "v@:@B"},
      {10, "CAMCaptureController", 'I', "_startPreview:", "v@:@"},
      {11, "CAMCaptureController", 'I', "mogulFrameRate", "d@:"},
      {12, "CAMCaptureController", 'I',
       "_configureSessionWithCameraMode:cameraDevice:options:", "B@:qq@"},
      {13, "CAMCaptureController", 'I', "_mogulFormatFromDevice:frameRate:", "@@:@d"},
      {14, "PFSlowMotionConfiguration", 'I', "volumeDuringSlowMotion", "f@:"},
      {15, "PFSlowMotionConfiguration", 'I', "volumeDuringRampToSlowMotion", "f@:"},
      {16, "PFVideoAVObjectBuilder", 'I', "initWithVideoAsset:videoAdjustments:", "@@:@@"},
      {17, "PFVideoAdjustments", 'C', "defaultSlowMotionRateForNominalFrameRate:", "f@:f"},
      {18, "PFVideoAdjustments", 'I', "slowMotionRate", "f@:"},
      {19, "PFVideoAdjustments", 'I', "setSlowMotionRate:", "v@:f"},
      {20, "PUVideoBannerView", 'I', "_badgeImageForVideoSubtype:", "@@:q"},
      {21, "PLManagedAsset", 'I',
       "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:", "B@:@@B"},
      {22, "PLManagedAsset", 'I', "isMogul", "B@:"},
      {23, "CAMCameraSpec", 'I', "shouldCreateSlalomIndicator", "B@:"},
      {24, "CAMCameraSpec", 'I', "isPhone", "B@:"},
      {25, "CAMPadApplicationSpec", '+', "shouldCreateSlalomIndicator", "B@:"},
      {26, "CAMBottomBar", 'I', "_layoutForVerticalOrientation", "v@:"},
      {27, "CAMSlalomIndicatorView", 'I', "setFramesPerSecond:", "v@:Q"},
      {28, "CAMSlalomIndicatorView", '+', "alertView:clickedButtonAtIndex:", "v@:@q"},
      {29, "CAMSlalomIndicatorView", '+', "hv_setFPS:", "v@:Q"},
      {30, "CAMSlalomIndicatorView", '+', "autoSetFPS", "v@:"},
      {31, "CAMSlalomIndicatorView", '+', "setFPS:", "v@:@"},
      {32, "CAMSlalomIndicatorView", 'I', "initWithFrame:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}"},
      {33, "PLVideoView", 'I', "_shouldShowSlalomEditor", "B@:"},
      {34, "PLPhotoBrowserController", 'I', "updateOverlaysAnimated:", "v@:B"},
      {35, "PLPhotoBrowserController", '+', "qv_saveSlomo", "v@:"},
      {36, "PLPhotoBrowserController", '+', "qv_multipleOptions", "v@:"},
      {37, "PLPhotoBrowserController", 'I', "actionSheet:clickedButtonAtIndex:", "v@:@q"},
      {38, "PLPublishingAgent", '+', "qv_video:didFinishSavingWithError:contextInfo:", "v@:@@^v"},
      {39, "PLPublishingAgent", 'I', "videoRemakerDidEndRemaking:temporaryPath:", "v@:@@"},
  };
  return rows;
}

inline const std::vector<Row>& iOS7Rows() {
  static const std::vector<Row> rows{
      {1, "MGGetBoolAnswer", 'F', "", ""},
      {2, "PLCameraView", 'I', "_createSlalomIndicatorIfNecessary", "v@:"},
      {3, "PLCameraView", 'I', "_showControlsForCapturingVideoAnimated:", "v@:B"},
      {4, "PLCameraView", 'I', "_hideControlsForCapturingVideoAnimated:", "v@:B"},
      {5, "PLApplicationCameraViewController", 'I', "_kickoffCameraControllerPreview", "v@:"},
      {6, "PLCameraController", 'I', "mogulFrameRate", "d@:"},
      {7, "PLCameraController", 'I', "_startPreview:", "v@:@"},
      {8, "PLCameraController", 'I', "_mogulFormatFromDevice:", "@@:@"},
      {9, "PLSlalomConfiguration", 'I', "setRate:", "v@:f"},
      {10, "PLSlalomConfiguration", 'I', "setVolumeDuringSlalom:", "v@:f"},
      {11, "PLSlalomConfiguration", 'I', "setVolumeDuringRampToSlalom:", "v@:f"},
      {12, "PLSlalomUtilities", 'C', "exportPresetForAsset:preferredPreset:", "@@:@@"},
      {13, "PLSlalomUtilities", 'C', "configureExportSession:forcePreciseConversion:", "v@:@B"},
      {14, "NSUserDefaults", 'I', "boolForKey:", "B@:@"},
      {15, "CAMSlalomIndicatorView", 'I', "setFramesPerSecond:", "v@:Q"},
      {16, "CAMSlalomIndicatorView", '+', "alertView:clickedButtonAtIndex:", "v@:@q"},
      {17, "CAMSlalomIndicatorView", '+', "hv_setFPS:", "v@:Q"},
      {18, "CAMSlalomIndicatorView", '+', "autoSetFPS", "v@:"},
      {19, "CAMSlalomIndicatorView", '+', "setFPS:", "v@:@"},
      {20, "CAMSlalomIndicatorView", 'I', "initWithFrame:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}"},
      {21, "PLVideoView", 'I', "_shouldShowSlalomEditor", "B@:"},
      {22, "PLPhotoBrowserController", 'I', "updateOverlaysAnimated:", "v@:B"},
      {23, "PLPhotoBrowserController", '+', "qv_saveSlomo", "v@:"},
      {24, "PLPhotoBrowserController", '+', "qv_multipleOptions", "v@:"},
      {25, "PLPhotoBrowserController", 'I', "actionSheet:clickedButtonAtIndex:", "v@:@q"},
      {26, "PLPublishingAgent", '+', "qv_video:didFinishSavingWithError:contextInfo:", "v@:@@^v"},
      {27, "PLPublishingAgent", 'I', "videoRemakerDidEndRemaking:temporaryPath:", "v@:@@"},
      {28, "CAMPadApplicationSpec", '+', "shouldCreateSlalomIndicator", "B@:"},
      {29, "CAMBottomBar", 'I', "_layoutForVerticalOrientation", "v@:"},
      {30, "CAMCameraSpec", 'I', "shouldCreateSlalomIndicator", "B@:"},
      {31, "CAMCameraSpec", 'I', "isPhone", "B@:"},
  };
  return rows;
}

}  // namespace quorvane::test
