#pragma once
// SkinForm: a borderless window drawn entirely from pictures. It holds its
// THighlightImage controls in stacking order (bottom first), paints them
// double-buffered, and gives each its enter, leave, mouse-down and click
// events. A 1-pixel frame in the window colour surrounds the client area.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/handles.h"
#include "skin/accessible_form.h"
#include "skin/fill_bar.h"
#include "skin/highlight_image.h"
#include "skin/keyboard_focus.h"
#include "skin/layout.h"
#include "skin/text_button.h"

namespace tovarin::skin {

struct FormStyle {
    std::string className;  // registered once per process
    std::string title;
    int clientWidth = 0;
    int clientHeight = 0;
    COLORREF frameColour = RGB(0xDD, 0xDD, 0xDD);
    COLORREF backgroundColour = RGB(0xFF, 0xFF, 0xFF);
    bool taskbarButton = false;
};

// The colours a child control (an edit, a static text) is drawn in, answered
// to its WM_CTLCOLOR* message.
class ChildColours {
public:
    ChildColours() = default;
    ChildColours(COLORREF text, COLORREF background)
        : text_(text), background_(background), brush_(CreateSolidBrush(background)) {}
    // True, with the brush in result, when the message (wp: its DC, lp: the
    // control) comes from `child`.
    bool Paint(HWND child, WPARAM wp, LPARAM lp, LRESULT& result) const {
        if (!child || reinterpret_cast<HWND>(lp) != child) return false;
        SetTextColor(reinterpret_cast<HDC>(wp), text_);
        SetBkColor(reinterpret_cast<HDC>(wp), background_);
        result = reinterpret_cast<LRESULT>(brush_.get());
        return true;
    }

private:
    COLORREF text_ = 0;
    COLORREF background_ = 0;
    UniqueBrush brush_;
};

// While alive, the thread's visible windows other than `except` take no input
// (a modal dialog, the folder browser). They are enabled again on the way out.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND except);
    ~ThreadWindowsDisabled();
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

private:
    std::vector<HWND> disabled_;
};

// What a form knows of a control's state at this moment, for screen readers.
struct ControlFacts {
    std::string name;  // replaces the layout's label when not empty
    bool checked = false;
    bool expanded = false;  // a toggle: expanded, otherwise collapsed
    bool unavailable = false;
    std::string value;  // an edit's text, a progress bar's percentage
};

class SkinForm : private AccessibleSource {
public:
    virtual ~SkinForm();
    SkinForm(const SkinForm&) = delete;
    SkinForm& operator=(const SkinForm&) = delete;

    HWND Handle() const { return hwnd_; }
    bool IsShown() const { return hwnd_ && IsWindowVisible(hwnd_); }
    void Show();
    void Hide();

    // Runs a modal loop: the thread's other windows are disabled until
    // CloseModal is called, `ended` (when given) turns true or a quit arrives.
    void ShowModal(const std::function<bool()>& ended = {});
    void CloseModal() { modalDone_ = true; }

    // The display resolution the window is laid out for.
    int Dpi() const { return layout_ ? layout_->Dpi() : kLayoutDpi; }

    SIZE ClientSize() const;
    // Resizes the client area; the top-left corner stays where it is.
    void SetClientSize(int width, int height);
    void CenterOnScreen();
    void MoveTo(int left, int top);

    THighlightImage& AddImage(std::string name, int left, int top, int width, int height);
    THighlightImage* FindImage(const std::string& name);
    // The drawn controls a layout made (kinds button and bar); null when none has that name.
    TextButton* FindButton(const std::string& name);
    const TextButton* FindButton(const std::string& name) const;
    FillBar* FindBar(const std::string& name);
    const FillBar* FindBar(const std::string& name) const;
    void InvalidateArea(const RECT& area);

    // The system's move loop, as if the caption had been dragged.
    static void StartWindowMove(HWND hwnd);
    // What every drag area of every window does on a mouse-down.
    void DragAreaMouseDown() { StartWindowMove(hwnd_); }

    // A control's click, from the mouse, the keyboard or a screen reader;
    // the states it changed are announced.
    void Click(THighlightImage& image);
    bool IsHovered(const THighlightImage* image) const { return image && image == hovered_; }
    // False once the form is gone.
    std::shared_ptr<bool> AliveFlag() const { return alive_; }

protected:
    SkinForm() = default;
    // Creates the (hidden) window; false when the system refuses.
    bool CreateWindowOf(const FormStyle& style, HWND owner);
    // Creates the (hidden) window from the layout resource `layoutName` with
    // its picture controls (kinds image, drag and line), their pictures,
    // cursors, visibility and handlers, all at the DPI of the owner's monitor
    // (the system DPI without an owner), and its drawn buttons and bars. False
    // when the layout is missing or names a handler the form does not have.
    bool CreateFromLayout(const char* layoutName, HWND owner);
    const Layout& FormLayout() const { return *layout_; }
    // The client size as laid out.
    int LaidOutWidth() const { return Width(layout_->Bounds(layout_->Window())); }
    int LaidOutHeight() const { return Height(layout_->Bounds(layout_->Window())); }
    // The handler a layout names; the base knows the drag areas'.
    virtual std::function<void()> Handler(const std::string& name);
    // The font a layout control names, at its character cell height.
    UniqueFont LayoutFont(const LayoutControl& control) const;

    virtual void PaintBackground(HDC dc, const RECT& client);
    // Drawn over the controls (text and fills that sit on pictures).
    virtual void PaintOverControls(HDC) {}
    // The window has been moved to a display of another DPI: its picture
    // controls are laid out again already; the form resizes itself and lays
    // out what else it drew or created from the layout.
    virtual void DpiChanged() { SetClientSize(LaidOutWidth(), LaidOutHeight()); }
    // Called right before the window becomes visible.
    virtual void BeforeShow() {}
    // The system's close command (Alt+F4, WM_CLOSE).
    virtual void CloseRequested() {}
    // Messages the form does not handle itself; return true when handled.
    virtual bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    KeyboardFocus& Keyboard() { return focus_; }
    virtual ControlFacts FactsOf(const std::string& /*control*/) const { return {}; }
    // The accessible role of the window's client area.
    virtual LONG ClientRole() const { return ROLE_SYSTEM_CLIENT; }
    // Announces a new value (text) of a control.
    void AccessibleValueChanged(const std::string& control);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void Paint();
    void PaintFrame();
    THighlightImage* ControlAt(POINT client) const;
    void TrackHover(POINT client);
    void SetHovered(THighlightImage* control);
    void ButtonDown(MouseButton button, POINT client);
    void ButtonUp(MouseButton button, POINT client);

    void ApplyDpi(int dpi, const RECT& suggested);
    void ScaleButtons();
    bool BindHandler(THighlightImage& image, const LayoutControl& control, const std::string& handler);

    // AccessibleSource (skin_form_access.cpp)
    HWND Window() const override { return hwnd_; }
    LONG WindowRole() const override { return ClientRole(); }
    std::vector<AccessibleItem> Items() const override;
    int FocusedItem() const override { return focus_.Focused(); }
    void DoDefaultAction(int index) override;
    bool HandleAccessMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    HWND hwnd_ = nullptr;
    std::optional<Layout> layout_;
    int frame_ = 1;  // the frame around the client area, in device pixels
    COLORREF frameColour_ = 0;
    COLORREF backgroundColour_ = 0;
    std::vector<std::unique_ptr<THighlightImage>> controls_;
    // Drawn through their images: they go first.
    std::vector<std::unique_ptr<TextButton>> buttons_;
    std::vector<std::unique_ptr<FillBar>> bars_;
    THighlightImage* hovered_ = nullptr;
    THighlightImage* pressed_ = nullptr;
    MouseButton pressedButton_ = MouseButton::Left;
    bool trackingLeave_ = false;
    bool modalDone_ = false;
    KeyboardFocus focus_{*this};
    FormAccessible accessible_{*this};
    // Cleared when the form goes away, so that a handler that destroyed it
    // (the dialog's retry path) is not followed by work on freed memory.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tovarin::skin
