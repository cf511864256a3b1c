#pragma once

#include "appkit/Alert.h"

namespace shell {

// Asks the user, at start, to switch on the desktop's accessibility bus, which is there but
// off: its first button switches it on, the last leaves it off.
appkit::Alert accessibilityOfferAlert();
// Says that the bus did not take the change, and how to switch it on by hand.
appkit::Alert accessibilityNotEnabledAlert();

}  // namespace shell
