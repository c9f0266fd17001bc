// The process entry: `sorvanthe [game folder]`. The folder (default: the
// current one) becomes the root of every relative path the engine uses.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/Dialog.h"
#include "platform/Input.h"
#include "platform/Path.h"
#include "platform/Window.h"
#include "shell/WinMain.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [game folder]\n", argv[0]);
        return 1;
    }
    if (argc == 2 && chdir(argv[1]) != 0) {
        std::fprintf(stderr, "%s: cannot enter the game folder %s\n", argv[0], argv[1]);
        return 1;
    }
    Path::setRoot(std::filesystem::current_path());

    SdlWindow window;
    SdlWindow::initEvents();
    Window::setInstance(&window);
    SdlInput input;
    Input::setInstance(&input);
    SdlDialogBackend dialogs;
    DialogBackend::setInstance(&dialogs);
    return WinMain(1);
}
