// The pane's principal class as the bundle declares it: the runtime registers it when Settings
// loads the bundle, before it looks the principal class up, and dyld binds its superclass to
// Preferences' PSListController, so a misspelt superclass fails the link rather than the pane.
// The methods forward to C++ (PaneSettings.cpp).
#include "pane/PaneSettings.h"

__attribute__((objc_root_class))
@interface NSObject {
  Class isa;
}
@end

// Only the ivar the subclass keeps its specifiers in, reached through Preferences' exported
// offset, as every PSListController subclass reaches it.
@interface PSListController : NSObject {
  id _specifiers;
}
@end

@interface HalvenorSettingsListController : PSListController
@end

@implementation HalvenorSettingsListController

- (id)specifiers {
  return quorvane::pane::specifiers(self, &_specifiers);
}

- (id)readPreferenceValue:(id)specifier {
  return quorvane::pane::readValue(specifier);
}

- (void)setPreferenceValue:(id)value specifier:(id)specifier {
  quorvane::pane::writeValue(value, specifier);
}

@end
