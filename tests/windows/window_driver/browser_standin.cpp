// Stands in for the web browser in the window tests: registered as the http: handler of the
// test's Wine prefix as  browser_standin.exe RECORD_FILE "%1" , it writes the address it was
// given (its second argument) to RECORD_FILE and ends.
#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        return 2;
    }
    std::wstring launched = argv[2];
    for (int i = 3; i < argc; ++i) {
        launched += L" " + std::wstring(argv[i]);
    }
    char bytes[1024] = {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, launched.c_str(), static_cast<int>(launched.size()), bytes,
                            sizeof bytes, nullptr, nullptr);
    // Written beside the record and moved over it, so a reader never sees half of it.
    const std::wstring temporary = std::wstring(argv[1]) + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
    return ok && MoveFileExW(temporary.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
