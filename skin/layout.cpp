#include "skin/layout.h"

#include <charconv>

#include "common/resource_data.h"
#include "common/text.h"

namespace tovarin::skin {
namespace {

// Words of one line: split at blanks, a double-quoted stretch kept whole
// (without its quotes); a word that starts with "#" starts a comment.
std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && !inWord && c == '#') {
            break;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

bool ToInt(std::string_view text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool LayoutControl::Has(std::string_view key) const {
    for (const auto& [k, v] : attributes) {
        if (k == key) return true;
    }
    return false;
}

std::string LayoutControl::Text(std::string_view key) const {
    for (const auto& [k, v] : attributes) {
        if (k == key) return v;
    }
    return {};
}

COLORREF LayoutControl::Colour(std::string_view key, COLORREF fallback) const {
    const std::string text = Text(key);
    if (text.size() != 7 || text[0] != '#') return fallback;
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(text.data() + 1, text.data() + 7, value, 16);
    if (ec != std::errc() || ptr != text.data() + 7) return fallback;
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

int LayoutControl::Number(std::string_view key, int fallback) const {
    int value = 0;
    return ToInt(Text(key), value) ? value : fallback;
}

std::vector<std::string> LayoutControl::List(std::string_view key) const {
    std::vector<std::string> items;
    const std::string text = Text(key);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        if (comma > start) items.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    return items;
}

std::optional<Layout> Layout::Parse(std::string_view text, std::string* error) {
    Layout layout;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) -> std::optional<Layout> {
        if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
        return std::nullopt;
    };
    while (!text.empty()) {
        const std::size_t newline = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, newline);
        text.remove_prefix(std::min(newline + 1, text.size()));
        ++lineNumber;
        const std::vector<std::string> words = Words(line);
        if (words.empty()) continue;
        if (words.size() < 6) return fail("fewer than six columns");
        LayoutControl control;
        control.name = words[0];
        control.kind = words[1];
        int box[4];
        for (int i = 0; i < 4; ++i) {
            if (!ToInt(words[2 + i], box[i]) || (i >= 2 && box[i] < 0)) return fail("not a rectangle: " + words[2 + i]);
        }
        control.rect = {box[0], box[1], box[0] + box[2], box[1] + box[3]};
        for (std::size_t i = 6; i < words.size(); ++i) {
            const std::size_t equals = words[i].find('=');
            if (equals == std::string::npos) {
                control.attributes.emplace_back(words[i], std::string());
            } else {
                control.attributes.emplace_back(words[i].substr(0, equals), words[i].substr(equals + 1));
            }
        }
        if ((control.kind == "window") != layout.controls_.empty()) return fail("the window line must come first");
        if (layout.Find(control.name)) return fail("a second " + control.name);
        if (control.Has("parent") && !layout.Find(control.Text("parent"))) {
            return fail("unknown parent " + control.Text("parent"));
        }
        control.z = static_cast<int>(layout.controls_.size());
        layout.controls_.push_back(std::move(control));
    }
    if (layout.controls_.empty()) return fail("no window line");
    return layout;
}

std::vector<const LayoutControl*> Layout::Controls() const {
    std::vector<const LayoutControl*> out;
    for (std::size_t i = 1; i < controls_.size(); ++i) out.push_back(&controls_[i]);
    return out;
}

const LayoutControl* Layout::Find(std::string_view name) const {
    for (const LayoutControl& c : controls_) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

RECT Layout::LaidOut(const LayoutControl& control) const {
    RECT r = control.rect;
    // Parents come before their children, so the chain always ends.
    for (const LayoutControl* parent = Find(control.Text("parent")); parent; parent = Find(parent->Text("parent"))) {
        OffsetRect(&r, parent->rect.left, parent->rect.top);
    }
    return r;
}

RECT Layout::Bounds(std::string_view name) const {
    const LayoutControl* control = Find(name);
    return control ? Bounds(*control) : RECT{};
}

int Layout::FontCell(const LayoutControl& control) const {
    const std::string size = control.Text("size");
    int cell = 0;
    if (size.size() > 2 && size.compare(size.size() - 2, 2, "px") == 0 &&
        ToInt(std::string_view(size).substr(0, size.size() - 2), cell)) {
        return Scale(cell);
    }
    return Scale(Height(control.rect));
}

std::optional<Layout> LoadLayout(const char* name) {
    const std::string_view text = RawResource(GetModuleHandleW(nullptr), Widen(name).c_str());
    if (!text.data()) return std::nullopt;
    return Layout::Parse(text);
}

}  // namespace tovarin::skin
