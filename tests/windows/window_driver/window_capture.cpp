#include <windows.h>

#include <cstdio>
#include <vector>

#include "driver_failure.h"
#include "scenario.h"

namespace vindle {
namespace {

// The screen's pixels in `rect` as a 24-bit bitmap: rows padded to 4 bytes, bottom row first.
std::vector<unsigned char> ScreenPixels(const RECT& rect, BITMAPINFOHEADER& header) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * height);
    header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixels.size());

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    Expect(copied && lines == height, "the screen could not be read");
    return pixels;
}

}  // namespace

void CaptureWindow(HWND window, const std::wstring& path) {
    RECT rect{};
    Expect(GetWindowRect(window, &rect) != 0, "GetWindowRect failed");
    BITMAPINFOHEADER header{};
    const std::vector<unsigned char> pixels = ScreenPixels(rect, header);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    Expect(out != nullptr, "cannot write " + ToBytes(path));
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    Expect(std::fclose(out) == 0, "cannot write " + ToBytes(path));
}

int InkHeight(HWND control) {
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Sleep(300);
    RECT rect{};
    Expect(GetWindowRect(control, &rect) != 0, "GetWindowRect failed");
    BITMAPINFOHEADER header{};
    const std::vector<unsigned char> pixels = ScreenPixels(rect, header);
    const int stride = (header.biWidth * 3 + 3) & ~3;
    int top = -1;
    int bottom = -1;
    for (int row = 0; row < header.biHeight; ++row) {
        const unsigned char* line = &pixels[static_cast<std::size_t>(row) * stride];
        for (int x = 0; x < header.biWidth; ++x) {
            // Dark: the text, on the dialog's light face.
            if (line[x * 3] + line[x * 3 + 1] + line[x * 3 + 2] < 3 * 100) {
                bottom = bottom < 0 ? row : bottom;
                top = row;
                break;
            }
        }
    }
    return top < 0 ? 0 : top - bottom + 1;
}

}  // namespace vindle
