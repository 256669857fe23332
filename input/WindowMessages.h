#pragma once

namespace auralis {

// Notices of the hidden message window, numbered after WM_USER (0x400).
inline constexpr unsigned WM_MICFRAME = 0x401;  // a capture buffer was analysed; the detected note
inline constexpr unsigned WM_PLAYDONE = 0x402;  // the question phrase finished playing

// Notices of the sound input device to the capture window. Only the data notice is acted on.
inline constexpr unsigned MM_WIM_OPEN = 0x3BE;
inline constexpr unsigned MM_WIM_CLOSE = 0x3BF;
inline constexpr unsigned MM_WIM_DATA = 0x3C0;

}  // namespace auralis
