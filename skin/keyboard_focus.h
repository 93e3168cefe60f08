#pragma once
// Keyboard operation of a skinned form. The layout names the controls a user
// can reach (focus=N, their order) and what a screen reader calls them
// (role=, label=); the window line names the control Return stands for when
// nothing has the focus (default=), the one Escape stands for (cancel=) and
// the one focused when the form opens (firstfocus=). Tab and Shift+Tab move
// the focus, Space and Return activate through the control's own click. The
// focused control shows its hover picture and a dotted rectangle, but only
// once the keyboard has been used, as the system does.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "skin/highlight_image.h"
#include "skin/layout.h"

namespace tovarin::skin {

class SkinForm;

enum class ControlRole { Button, CheckBox, Link, Edit, Toggle, ProgressBar, Text };

// One control a user can reach or a screen reader can see.
struct AccessControl {
    std::string control;  // its layout name
    std::string label;    // the text its picture shows
    ControlRole role = ControlRole::Button;
    int order = 0;  // place in the focus order; 0: not reachable
    THighlightImage* image = nullptr;
    HWND child = nullptr;  // a real child window (the path edit)
};

class KeyboardFocus {
public:
    explicit KeyboardFocus(SkinForm& form) : form_(form) {}

    // The access table from the layout: reachable controls in focus order,
    // then the others in stacking order. False when a role is unknown.
    bool Build(const Layout& layout);
    const std::vector<AccessControl>& Controls() const { return controls_; }
    // The child window standing for a layout control; its Tab, Return and
    // Escape go to the form.
    void AttachChild(const std::string& control, HWND child);
    // The control Escape stands for; null: Escape does nothing.
    void SetCancel(THighlightImage* image) { cancel_ = image; }
    // The control Return stands for when nothing has the focus; null: none.
    void SetDefault(THighlightImage* image) { default_ = image; }
    // Moves the focus onto a reachable control (a window that changed its
    // buttons); the look shows only once the keyboard has been used.
    void FocusControl(const std::string& control);

    // A key pressed on the form: true when it was one of the form's keys.
    bool KeyDown(WPARAM key);
    // A mouse button went down on a form: the next form opens without cues.
    static void MouseUsed();
    // The form got the keyboard focus: back to a focused child window.
    void FormFocused();
    // The index of the focused control in Controls(); -1 for none.
    int Focused() const;
    // True while `image` is focused and shows the focus look.
    bool ShowsLook(const THighlightImage* image) const;
    // Puts the focus look back after a click that may have changed the picture.
    void RefreshLook();
    void PaintMark(HDC dc) const;

private:
    bool Live(const AccessControl& c) const;
    void Move(bool forward);
    void FocusOn(int index);
    void Activate(THighlightImage* image);
    THighlightImage* Named(const std::string& control) const;
    RECT MarkRect(const THighlightImage& image) const;

    SkinForm& form_;
    std::vector<AccessControl> controls_;
    int focused_ = -1;
    THighlightImage* default_ = nullptr;
    THighlightImage* cancel_ = nullptr;
    // The keyboard has been used on this form, or it opened from a key (the
    // exit confirmation after Escape).
    bool cues_ = false;
};

}  // namespace tovarin::skin
