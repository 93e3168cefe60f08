#include "skin/font_choice.h"

#include <windows.h>

#include <cwchar>

namespace tovarin::skin {
namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

bool FaceInstalled(HDC dc, const wchar_t* face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    if (std::wcslen(face) >= LF_FACESIZE) return false;
    std::wcscpy(query.lfFaceName, face);
    bool found = false;
    EnumFontFamiliesExW(dc, &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

std::wstring FirstInstalledFace(const std::vector<std::wstring>& faces) {
    const WindowDC dc = WindowDC::Client(nullptr);
    if (!dc) return {};
    for (const std::wstring& face : faces) {
        if (FaceInstalled(dc.get(), face.c_str())) return face;
    }
    return {};
}

UniqueFont CreateCellFont(const std::vector<std::wstring>& faces, int cellHeight) {
    LOGFONTW font{};
    const std::wstring face = FirstInstalledFace(faces);
    if (face.empty()) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    } else {
        std::wcscpy(font.lfFaceName, face.c_str());
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfWeight = FW_NORMAL;
    }
    font.lfHeight = cellHeight;  // positive: the character cell, internal leading included
    font.lfWidth = 0;
    return UniqueFont(CreateFontIndirectW(&font));
}

SIZE TextExtent(HWND window, HFONT font, const std::wstring& text, SIZE fallback) {
    const WindowDC dc = WindowDC::Client(window);
    if (!dc) return fallback;
    const Selection selected(dc.get(), font ? HGDIOBJ(font) : GetStockObject(DEFAULT_GUI_FONT));
    SIZE extent = fallback;
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent;
}

}  // namespace tovarin::skin
