#pragma once

namespace auralis::testing {

// Set when the screenshot tests were started without an X display.
extern bool screenshotDisplayMissing;

}  // namespace auralis::testing
