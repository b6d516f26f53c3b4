#include <windows.h>

#include "app/win32/qarv_vindle_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    CQarvVindleApp app;
    return app.InitInstance();
}
