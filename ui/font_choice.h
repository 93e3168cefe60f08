#pragma once
// Fonts of the skinned windows, with a fallback where a face is missing.
#include <initializer_list>
#include <string>

#include "common/handles.h"

namespace tovarin::ui {

// The first of the faces installed on this system; empty when none is.
std::wstring FirstInstalledFace(std::initializer_list<const wchar_t*> faces);

// A font with the given character cell height in pixels, in the first
// installed face of the list; the default GUI face when none is installed.
UniqueFont CreateCellFont(std::initializer_list<const wchar_t*> faces, int cellHeight);

}  // namespace tovarin::ui
