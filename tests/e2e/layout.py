"""The window layouts the installer carries (resources/layouts), read as the
installer reads them: where each control sits in its window's client area."""
from dataclasses import dataclass, field
from pathlib import Path

LAYOUTS = Path(__file__).resolve().parents[2] / "resources" / "layouts"


@dataclass
class Control:
    name: str
    kind: str
    x: int  # in the window's client area, parent offsets added
    y: int
    w: int
    h: int
    attributes: dict = field(default_factory=dict)

    @property
    def origin(self):
        return self.x, self.y

    @property
    def centre(self):
        return self.x + self.w // 2, self.y + self.h // 2


def words(line):
    """Blank-separated words; a double-quoted stretch stays whole, without its
    quotes; a word that starts with "#" starts a comment."""
    out, word, quoted, in_word = [], "", False, False
    for c in line:
        if c == '"':
            quoted, in_word = not quoted, True
        elif not quoted and not in_word and c == "#":
            break
        elif not quoted and c in " \t\r":
            if in_word:
                out.append(word)
            word, in_word = "", False
        else:
            word, in_word = word + c, True
    if in_word:
        out.append(word)
    return out


def load(name):
    """The controls of resources/layouts/<name>.layout by name; the window's
    own line under its class name."""
    controls = {}
    for line in (LAYOUTS / f"{name}.layout").read_text(encoding="utf-8").splitlines():
        ws = words(line)
        if not ws:
            continue
        attributes = dict(w.split("=", 1) if "=" in w else (w, "") for w in ws[6:])
        x, y, w, h = map(int, ws[2:6])
        parent = controls.get(attributes.get("parent"))
        if parent:
            x, y = x + parent.x, y + parent.y
        controls[ws[0]] = Control(ws[0], ws[1], x, y, w, h, attributes)
    return controls


def scale(value, dpi):
    """A 96-DPI coordinate at dpi, rounded as the installer rounds: halves
    away from zero."""
    rounded = (abs(value) * dpi + 48) // 96
    return rounded if value >= 0 else -rounded


def scaled(control, dpi):
    """The control's place at dpi: its edges scaled, so neighbours stay neighbours."""
    x, y = scale(control.x, dpi), scale(control.y, dpi)
    return Control(control.name, control.kind, x, y, scale(control.x + control.w, dpi) - x,
                   scale(control.y + control.h, dpi) - y, control.attributes)


MAIN = load("main_window")
PROGRESS = load("progress_window")
DIALOG = load("close_dialog")
