#include "shellhost.h"

namespace ui {

namespace {
ShellHost *installedHost = nullptr;
}

ShellHost *shellHost()
{
    return installedHost;
}

void setShellHost(ShellHost *host)
{
    installedHost = host;
}

} // namespace ui
