#pragma once
// Window layouts: one text table per window, compiled in as a raw-data
// resource and read by the forms and by the tests alike. Each line is a
// control in stacking order (bottom first): name, kind, rectangle in 96-DPI
// pixels, then key=value attributes (resources/layouts/main_window.layout
// describes the format).
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tovarin::skin {

// Layouts are written for this display resolution (100 % scale).
inline constexpr int kLayoutDpi = 96;

// A 96-DPI length or coordinate in pixels at `dpi`: the one rounding of
// layout geometry (halves away from zero), so every window, control, font and
// offset of the installer comes out the same at one scale.
inline int ScaleToDpi(int value, int dpi) { return MulDiv(value, dpi, kLayoutDpi); }

struct LayoutControl {
    std::string name;
    std::string kind;  // window, image, drag, line, panel, edit, text
    RECT rect{};       // as written: relative to the parent, when there is one
    int z = 0;         // the line's place: 0 is the window, then bottom first
    std::vector<std::pair<std::string, std::string>> attributes;  // a bare flag has an empty value

    bool Has(std::string_view key) const;
    // The value of key; empty when absent.
    std::string Text(std::string_view key) const;
    // A #RRGGBB value; fallback when absent or malformed.
    COLORREF Colour(std::string_view key, COLORREF fallback) const;
    // A whole number; fallback when absent or malformed.
    int Number(std::string_view key, int fallback) const;
    // A comma-separated value, split.
    std::vector<std::string> List(std::string_view key) const;
};

class Layout {
public:
    // Nothing (with the line and the reason in *error) when the text is not a
    // layout: a line without its six columns, a number that is not one, an
    // unknown parent, no window line first or a name used twice.
    static std::optional<Layout> Parse(std::string_view text, std::string* error = nullptr);

    const LayoutControl& Window() const { return controls_.front(); }
    // Every control after the window line, bottom first.
    std::vector<const LayoutControl*> Controls() const;
    const LayoutControl* Find(std::string_view name) const;

    // The display resolution the window is shown at; kLayoutDpi at first.
    void SetDpi(int dpi) { dpi_ = dpi > 0 ? dpi : kLayoutDpi; }
    int Dpi() const { return dpi_; }
    // A 96-DPI length, rectangle in device pixels at the layout's DPI. Edges
    // are scaled, not sizes, so neighbouring areas stay neighbours.
    int Scale(int value) const { return ScaleToDpi(value, dpi_); }
    RECT Scale(const RECT& r) const { return {Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }

    // A control's rectangle in the window's client area at 96 DPI.
    RECT LaidOut(const LayoutControl& control) const;
    // The same in device pixels: the one place where layout geometry is
    // turned into window geometry.
    RECT Bounds(const LayoutControl& control) const { return Scale(LaidOut(control)); }
    RECT Bounds(std::string_view name) const;
    // A font's character cell height in device pixels ("14px").
    int FontCell(const LayoutControl& control) const;

private:
    std::vector<LayoutControl> controls_;
    int dpi_ = kLayoutDpi;
};

// The layout stored as the raw-data resource `name` of the running
// executable; nothing when it is missing or malformed.
std::optional<Layout> LoadLayout(const char* name);

inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace tovarin::skin
