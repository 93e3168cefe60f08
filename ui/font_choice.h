#pragma once
// Fonts of the skinned windows, with a fallback where a face is missing.
#include <string>
#include <vector>

#include "common/handles.h"

namespace tovarin::ui {

// The first of the faces installed on this system; empty when none is.
std::wstring FirstInstalledFace(const std::vector<std::wstring>& faces);

// A font with the given character cell height in pixels, in the first
// installed face of the list; the default GUI face when none is installed.
UniqueFont CreateCellFont(const std::vector<std::wstring>& faces, int cellHeight);

}  // namespace tovarin::ui
