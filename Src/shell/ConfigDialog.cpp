#include "shell/ConfigDialog.h"

#include "network/NetworkManager.h"
#include "services/DebugInfo.h"
#include "services/Managers.h"
#include "services/SystemInfo.h"
#include "shell/WinMain.h"

const DialogTemplate& configDialogTemplate() {
    using K = DialogControlKind;
    static const DialogTemplate dialogTemplate{
        kWindowTitle,
        "ＭＳ Ｐゴシック",
        9,
        227,
        220,
        {
            {IDOK, K::DefaultPushButton, "OK", 169, 14, 50, 14},
            {IDCANCEL, K::PushButton, "キャンセル", 169, 39, 50, 14},
            {kConfigBox16Bit, K::AutoCheckBox, "16ビットカラーで描画する", 11, 68, 141, 10},
            {kConfigBoxFullScreen, K::AutoCheckBox, "フルスクリーンで起動する", 11, 14, 110, 10},
            {kConfigBoxForce60fps, K::AutoCheckBox, "60FPS以上にならないように強制する", 11, 85, 122, 10},
            {kConfigBoxNoBackground, K::AutoCheckBox, "3D背景を描画しない", 11, 103, 75, 10},
            {-1, K::GroupBox, "非推奨オプション", 7, 34, 150, 87},
            {kConfigStatusText, K::StaticText, "Online Status", 14, 152, 151, 18},
            {-1, K::GroupBox, "ネットワークの状態", 7, 133, 150, 36},
            {kConfigBoxNoDialog, K::AutoCheckBox, "次回以降このダイアログを開かない", 11, 197, 118, 10},
            {kConfigBoxOffline, K::AutoCheckBox, "ネットワークに接続しない", 11, 174, 138, 17},
            {kConfigBoxWideCompress, K::AutoCheckBox, "ワイドモニタ用に左右を圧縮する", 11, 49, 141, 10},
        },
    };
    return dialogTemplate;
}

ConfigDialogInit initConfigDialog(const SystemInfo& info, bool connected) {
    ConfigDialogInit init;
    init.boxes.offline = info.getOnline() == 0;
    init.statusText = connected ? kOnlineStatusText : kOfflineStatusText;
    init.boxes.wideCompress = info.isWideCompress() == 1;
    init.boxes.colour16 = info.getBpp() == 16;
    init.boxes.fullScreen = info.isWindowed() != 1;
    init.boxes.force60fps = info.getForce60fps() == 1;
    init.boxes.noBackground = info.getDrawBg() == 0;
    init.boxes.noDialog = false;
    return init;
}

void applyConfigDialogOk(const ConfigDialogBoxes& boxes, SystemInfo& info) {
    info.setWidth(640);
    info.setHeight(480);
    info.setWideCompress(boxes.wideCompress ? 1 : 0);
    info.setBpp(boxes.colour16 ? 16 : 32);
    info.setVsync(1);
    info.setWindowed(boxes.fullScreen ? 0 : 1);
    info.setScroll(1);
    info.setForce60fps(boxes.force60fps ? 1 : 0);
    info.setDrawBg(boxes.noBackground ? 0 : 1);
    // Start-up goes on without the file; the next run shows the dialog again.
    if (boxes.noDialog && !createNoDialogFile()) logLine("nodialog.txt を作成できませんでした");
    info.setOnline(boxes.offline ? 0 : 1);
}

namespace {
int checkState(bool ticked) { return ticked ? BST_CHECKED : BST_UNCHECKED; }

// A box counts as ticked when the dialog answers exactly 1.
ConfigDialogBoxes readBoxes(const Dialog& dialog) {
    auto ticked = [&](int id) { return dialog.isButtonChecked(id) == BST_CHECKED; };
    ConfigDialogBoxes boxes;
    boxes.offline = ticked(kConfigBoxOffline);
    boxes.wideCompress = ticked(kConfigBoxWideCompress);
    boxes.colour16 = ticked(kConfigBox16Bit);
    boxes.fullScreen = ticked(kConfigBoxFullScreen);
    boxes.force60fps = ticked(kConfigBoxForce60fps);
    boxes.noBackground = ticked(kConfigBoxNoBackground);
    boxes.noDialog = ticked(kConfigBoxNoDialog);
    return boxes;
}

// Our network manager may be absent (tests); the game's always exists here.
bool networkConnected() { return g_networkManager && g_networkManager->isConnected(); }
}  // namespace

std::intptr_t configDialogProcedure(Dialog& dialog, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t /*lParam*/) {
    if (message == WM_INITDIALOG) {
        if (dialog.textUnavailable()) logLine("設定ダイアログのフォントが見つかりません");
        if (!g_systemInfo) return 0;
        const ConfigDialogInit init = initConfigDialog(*g_systemInfo, networkConnected());
        dialog.checkButton(kConfigBoxOffline, checkState(init.boxes.offline));
        dialog.setItemText(kConfigStatusText, init.statusText);
        dialog.checkButton(kConfigBoxWideCompress, checkState(init.boxes.wideCompress));
        dialog.checkButton(kConfigBox16Bit, checkState(init.boxes.colour16));
        dialog.checkButton(kConfigBoxFullScreen, checkState(init.boxes.fullScreen));
        dialog.checkButton(kConfigBoxForce60fps, checkState(init.boxes.force60fps));
        dialog.checkButton(kConfigBoxNoBackground, checkState(init.boxes.noBackground));
        dialog.checkButton(kConfigBoxNoDialog, BST_UNCHECKED);
        dialog.centre();
        dialog.setFocusToDialog();
        return 0;
    }
    if (message == WM_COMMAND) {
        const int id = static_cast<int>(wParam & 0xFFFF);
        if (id == IDOK) {
            if (g_systemInfo) applyConfigDialogOk(readBoxes(dialog), *g_systemInfo);
            dialog.end(IDOK);
            return 1;
        }
        if (id == IDCANCEL) {
            dialog.end(IDCANCEL);
            return 1;
        }
    }
    return 0;
}

std::intptr_t showConfigDialog(Window* owner) {
    return dialogBox(configDialogTemplate(), owner, configDialogProcedure);
}
