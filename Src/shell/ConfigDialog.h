// The start-up configuration dialog: screen and network options chosen before
// the game window opens. The template, the mapping between the configuration
// record and the dialog's boxes (two pure functions), and the dialog
// procedure that glues them to the platform's dialog calls.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Dialog.h"

class SystemInfo;

// Control ids of the dialog.
inline constexpr int kConfigBox16Bit = 1011;
inline constexpr int kConfigBoxWideCompress = 1012;
inline constexpr int kConfigBoxFullScreen = 1016;
inline constexpr int kConfigBoxForce60fps = 1025;
inline constexpr int kConfigBoxNoBackground = 1026;
inline constexpr int kConfigBoxNoDialog = 1028;
inline constexpr int kConfigStatusText = 1029;
inline constexpr int kConfigBoxOffline = 1030;

inline constexpr const char* kOnlineStatusText = "オンライン状態です";
inline constexpr const char* kOfflineStatusText = "オフライン状態です";

// The dialog's template (ids, kinds, texts, places, in template order).
const DialogTemplate& configDialogTemplate();

// The seven check boxes, by what they mean.
struct ConfigDialogBoxes {
    bool offline = false;       // 1030
    bool wideCompress = false;  // 1012
    bool colour16 = false;      // 1011
    bool fullScreen = false;    // 1016
    bool force60fps = false;    // 1025
    bool noBackground = false;  // 1026
    bool noDialog = false;      // 1028
    bool operator==(const ConfigDialogBoxes&) const = default;
};

struct ConfigDialogInit {
    ConfigDialogBoxes boxes;
    std::string statusText;  // UTF-8, for 1029
};

// What the dialog shows when it opens: each box by its field's exact
// comparison (windowed 2 ticks full screen, bpp 24 leaves 16-bit colour
// unticked, force60fps 2 leaves its box unticked); 1028 always unticked.
ConfigDialogInit initConfigDialog(const SystemInfo& info, bool connected);

// OK: the boxes written to the record in the dialog's order (640 x 480, wide
// compression, colour depth, vsync on, window or full screen, vertical
// scrolling, frame cap, background, "nodialog.txt", networking).
void applyConfigDialogOk(const ConfigDialogBoxes& boxes, SystemInfo& info);

// The dialog procedure.
std::intptr_t configDialogProcedure(Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam);

// Shows the dialog over `owner`: 1 (OK), 2 (Cancel) or -1 (no dialog could be
// shown).
std::intptr_t showConfigDialog(Window* owner);
