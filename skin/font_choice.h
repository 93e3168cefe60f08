#pragma once
// Fonts of the skinned windows, with a fallback where a face is missing.
#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"

namespace tovarin::skin {

// The first of the faces installed on this system; empty when none is.
std::wstring FirstInstalledFace(const std::vector<std::wstring>& faces);

// A font with the given character cell height in pixels, in the first
// installed face of the list; the default GUI face when none is installed.
UniqueFont CreateCellFont(const std::vector<std::wstring>& faces, int cellHeight);

// The size of `text` in `font` (the default GUI font when null) on `window`;
// `fallback` when the window gives no device context.
SIZE TextExtent(HWND window, HFONT font, const std::wstring& text, SIZE fallback);

}  // namespace tovarin::skin
