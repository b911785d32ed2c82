#include "shell/UXShellHooks.h"

TXShellHooks& ShellHooks() {
    static TXShellHooks hooks;
    return hooks;
}
