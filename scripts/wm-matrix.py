#!/usr/bin/python3
"""Runs Quorvel under each X11 window manager Debian ships, each on a fresh
Xvfb with the manager's stock configuration, and prints one row per manager:
bar mapped at the bottom, strut, maximise above the bar, activate / minimise /
restore through a task button (ms), full screen hide / show (ms), start menu
open by a click (ms) and its list filtered by typing, start menu open by
Super+Space (ms), settings window centred and unclipped, SIGTERM clean. Each
timed press is sent from here through XTEST and timed from just before it
goes out until its effect shows (xdotool alone takes about 100 ms to start). With --tint2, tint2 runs in the same way for the
cells a panel has (bar, strut, maximise) as the reference.

Needs python3-xlib, xdotool, xterm and the managers (scripts/install-deps.sh
with QUORVEL_ALL_WINDOW_MANAGERS=1). Never touches the user's display.

usage: scripts/wm-matrix.py [--build build] [--tint2] [manager ...]
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from Xlib import X, XK, Xatom, display as xdisplay
from Xlib.ext import xtest

W, H, BAR = 1280, 800, 44
MANAGERS = {
    "openbox": ["openbox", "--sm-disable"],
    "xfwm4": ["dbus-run-session", "--", "xfwm4", "--replace", "--compositor=off"],
    "fluxbox": ["fluxbox"],
    "icewm": ["icewm"],
    "metacity": ["dbus-run-session", "--", "metacity", "--replace"],
    "marco": ["dbus-run-session", "--", "marco", "--replace"],
    "mutter": ["dbus-run-session", "--", "mutter", "--x11", "--replace"],
    "fvwm": ["fvwm"],
    "jwm": ["jwm"],
    "awesome": ["awesome"],
    "i3": ["i3"],
    "herbstluftwm": ["herbstluftwm", "--locked"],
    "kwin": ["dbus-run-session", "--", "kwin_x11", "--replace"],
}
PROGRAM = {"kwin": "kwin_x11", "mutter": "mutter", "metacity": "metacity", "marco": "marco", "xfwm4": "xfwm4"}


def now():
    return time.monotonic()


def wait(pred, timeout, since=None):
    """Seconds from `since` (default: now) until pred() held, or None."""
    start = now() if since is None else since
    while now() - start < timeout:
        try:
            if pred():
                return now() - start
        except Exception:
            pass
        time.sleep(0.002)
    return None


class Session:
    def __init__(self, manager):
        self.manager = manager
        self.home = tempfile.mkdtemp(prefix="quorvel-matrix-")
        r, w = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", f"{W}x{H}x24", "-nolisten", "tcp"],
                                     pass_fds=(w,), stderr=subprocess.DEVNULL)
        os.close(w)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name, HOME=self.home, XDG_CONFIG_HOME=self.home + "/.config",
                        XDG_CACHE_HOME=self.home + "/.cache", XDG_DATA_HOME=self.home + "/.local/share")
        self.children = []
        self.d = xdisplay.Display(self.name)
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.PropertyChangeMask)
        if manager:
            self.children.append(self.spawn(MANAGERS[manager]))
            wait(lambda: self.prop(self.root, "_NET_SUPPORTING_WM_CHECK"), 20)
            # Ready once a probe window becomes a client.
            probe = self.root.create_window(0, 0, 10, 10, 0, X.CopyFromParent)
            probe.map()
            self.d.flush()
            wait(lambda: probe.id in (self.prop(self.root, "_NET_CLIENT_LIST") or []), 15)
            probe.destroy()
            self.d.flush()
        if manager == "fluxbox":
            # fluxbox's first start sets its stock wallpaper with fbsetbg, which
            # finds no image setter here and says so in a focused, centred
            # xmessage: not part of the desktop being measured.
            notice = []
            wait(lambda: notice.extend(w for w in self.clients() if "xmessage" in
                                       str(self.prop(self.win(w), "WM_CLASS") or "")) or notice, 5)
            for w in notice:
                self.xdotool("windowkill", str(w))
            wait(lambda: not any(w in notice for w in self.clients()), 5)

    def spawn(self, argv, env=None, **kw):
        # A process group of its own, ended whole on close: what a wrapper
        # such as dbus-run-session started (the bus) goes with it.
        return subprocess.Popen(argv, env=env or self.env, stdout=subprocess.DEVNULL,
                                stderr=kw.pop("stderr", subprocess.DEVNULL), start_new_session=True, **kw)

    def atom(self, name):
        return self.d.intern_atom(name)

    def prop(self, win, name, type_=X.AnyPropertyType):
        try:
            p = win.get_full_property(self.atom(name), type_)
        except Exception:
            return None
        return list(p.value) if p is not None and hasattr(p.value, "__iter__") and not isinstance(p.value, (str, bytes)) else (p.value if p else None)

    def win(self, wid):
        return self.d.create_resource_object("window", wid)

    def clients(self):
        return self.prop(self.root, "_NET_CLIENT_LIST") or []

    def toplevels(self):
        """The clients, then the top-level windows and the frames' children:
        i3 and herbstluftwm keep docks out of their client list."""
        out = list(self.clients())
        try:
            for w in self.root.query_tree().children:
                out.append(w.id)
                out.extend(c.id for c in w.query_tree().children)
        except Exception:
            pass
        return out

    def pid_of(self, wid):
        v = self.prop(self.win(wid), "_NET_WM_PID")
        return v[0] if v else None

    def has_type(self, wid, t):
        return self.atom(t) in (self.prop(self.win(wid), "_NET_WM_WINDOW_TYPE") or [])

    def states(self, wid):
        return self.prop(self.win(wid), "_NET_WM_STATE") or []

    def viewable(self, wid):
        try:
            return self.win(wid).get_attributes().map_state == X.IsViewable
        except Exception:
            return False

    def origin(self, wid):
        t = self.win(wid).translate_coords(self.root, 0, 0)
        return -t.x, -t.y

    def frame(self, wid):
        g = self.win(wid).get_geometry()
        x, y = self.origin(wid)
        ext = self.prop(self.win(wid), "_NET_FRAME_EXTENTS") or [0, 0, 0, 0]
        return x - ext[0], y - ext[2], g.width + ext[0] + ext[1], g.height + ext[2] + ext[3], g.width, g.height

    def send(self, wid, name, data):
        from Xlib.protocol import event
        ev = event.ClientMessage(window=self.win(wid), client_type=self.atom(name),
                                 data=(32, (data + [0] * 5)[:5]))
        self.root.send_event(ev, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
        self.d.flush()

    def image(self, x, y, w, h):
        """The pixels a person sees in the rectangle (no compositor here)."""
        return self.root.get_image(x, y, w, h, X.ZPixmap, 0xffffffff).data

    def press(self, *keys, button=None):
        """A click of the button, or the keys pressed together (keysym
        names), sent at once; returns the time just before it went out."""
        codes = [self.d.keysym_to_keycode(XK.string_to_keysym(k)) for k in keys]
        started = now()
        if button:
            xtest.fake_input(self.d, X.ButtonPress, button)
            xtest.fake_input(self.d, X.ButtonRelease, button)
        for c in codes:
            xtest.fake_input(self.d, X.KeyPress, c)
        for c in reversed(codes):
            xtest.fake_input(self.d, X.KeyRelease, c)
        self.d.flush()
        return started

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=10)

    def close(self):
        for c in reversed(self.children):
            c.terminate()
            try:
                c.wait(3)
            except subprocess.TimeoutExpired:
                c.kill()
            try:
                os.killpg(c.pid, signal.SIGKILL)
            except OSError:
                pass
        try:
            self.d.close()
        except Exception:
            pass
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.home, ignore_errors=True)


def xterm(s, geometry):
    p = s.spawn(["xterm", "-geometry", geometry, "-e", "sleep", "300"])
    s.children.append(p)
    found = []
    wait(lambda: found.extend(w for w in s.clients() if s.pid_of(w) == p.pid and s.viewable(w)) or found, 10)
    return found[0] if found else None


def ms(t):
    return "—" if t is None else f"{t * 1000:.0f}"


def panel_cells(s, pid, is_bar):
    bars = []
    wait(lambda: bars.extend(w for w in s.toplevels() if s.pid_of(w) == pid and is_bar(w) and s.viewable(w)) or bars, 20)
    if not bars:
        return None, {"bar": "none", "strut": "—", "max": "—"}
    bar = bars[0]
    height = s.win(bar).get_geometry().height
    at_bottom = wait(lambda: s.origin(bar)[1] + height == H, 3) is not None
    strut_ok = wait(lambda: (s.prop(s.win(bar), "_NET_WM_STRUT_PARTIAL") or [0] * 12)[3] == height, 3) is not None
    strut = s.prop(s.win(bar), "_NET_WM_STRUT_PARTIAL") or [0] * 12
    t = xterm(s, "80x24+300+100")
    s.send(t, "_NET_WM_STATE", [1, s.atom("_NET_WM_STATE_MAXIMIZED_VERT"), s.atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 1])
    wait(lambda: s.atom("_NET_WM_STATE_MAXIMIZED_VERT") in s.states(t), 3)
    time.sleep(0.3)  # the manager's last configure of the maximised frame
    f = s.frame(t)
    return bar, {"bar": "bottom" if at_bottom else f"y={s.origin(bar)[1]}",
                 "strut": f"{strut[3]}" if strut_ok else f"top {strut[2]} bottom {strut[3]}",
                 "max": "ok" if f[1] + f[3] <= H - height + 1 else f"ends {f[1] + f[3]}", "xterm": t}


def quorvel_row(manager, build):
    s = Session(manager)
    row = {}
    try:
        home = tempfile.mkdtemp(prefix="quorvel-home-")
        with open(os.path.join(home, "app.quorvel.Quorvel.plist"), "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>'
                    '<key>dockSetupCompleted</key><true/><key>dockManageEnabled</key><true/>'
                    '<key>dockCoexistMode</key><string>moveRight</string></dict></plist>\n')
        env = dict(s.env, QT_QPA_PLATFORM="xcb", QUORVEL_HOME=home, XDG_CONFIG_HOME=home + "/config",
                   XDG_DATA_HOME=home + "/data", XDG_RUNTIME_DIR=home, QUORVEL_SESSION_COMMANDS="")
        err = open(os.path.join(home, "stderr"), "w+")
        app = s.spawn([os.path.join(build, "quorvel")], env=env, stderr=err)
        bar, cells = panel_cells(s, app.pid, lambda w: s.has_type(w, "_NET_WM_WINDOW_TYPE_DOCK"))
        row.update(cells)
        if bar is None:
            return row
        a = cells["xterm"]
        b = xterm(s, "60x10+700+200")
        s.send(b, "_NET_ACTIVE_WINDOW", [2, 0, 0])
        wait(lambda: (s.prop(s.root, "_NET_ACTIVE_WINDOW") or [0])[0] == b, 3)
        # On the bar's own window, wherever the manager put it and above a
        # stock panel along the same edge.
        button = ("78", "8")
        hidden = s.atom("_NET_WM_STATE_HIDDEN")
        active = lambda w: (s.prop(s.root, "_NET_ACTIVE_WINDOW") or [0])[0] == w
        wait(lambda: False, 1.0)  # the task buttons of the new windows
        s.xdotool("mousemove", "--window", str(bar), *button)
        row["activate"] = ms(wait(lambda: active(a), 3, s.press(button=1)))
        # Each next click as a person's, past the double-click time and
        # after the button shows what the last one did.
        time.sleep(0.6)
        row["minimise"] = ms(wait(lambda: hidden in s.states(a), 3, s.press(button=1)))
        time.sleep(0.6)
        row["restore"] = ms(wait(lambda: hidden not in s.states(a) and s.viewable(a), 3, s.press(button=1)))
        # Full screen.
        fs = s.atom("_NET_WM_STATE_FULLSCREEN")
        sent = now()
        s.send(a, "_NET_WM_STATE", [1, fs, 0, 1])
        hide = wait(lambda: not s.viewable(bar), 3, sent)
        sent = now()
        s.send(a, "_NET_WM_STATE", [0, fs, 0, 1])
        show = wait(lambda: s.viewable(bar), 3, sent)
        strut_back = wait(lambda: (s.prop(s.win(bar), "_NET_WM_STRUT_PARTIAL") or [0] * 12)[3] == BAR, 2)
        row["fullscreen"] = f"{ms(hide)}/{ms(show)}" + ("" if strut_back is not None else " strut lost")
        # Start menu.
        s.xdotool("mousemove", "--window", str(bar), "20", "8")
        is_menu = lambda w: s.pid_of(w) == app.pid and s.viewable(w) and \
            (s.prop(s.win(w), "_NET_WM_NAME") or b"") in (b"Quorvel Start", "Quorvel Start")
        menus = []
        opened = wait(lambda: menus.extend(w for w in s.toplevels() if is_menu(w)) or menus, 3, s.press(button=1))
        if menus:
            f = s.frame(menus[0])
            bx, by, _, bh = s.frame(bar)[:4]
            # The list below the search field, which typing filters.
            g = s.win(menus[0]).get_geometry()
            mx, my = s.origin(menus[0])
            before = s.image(mx, my + 90, g.width, g.height - 150)
            s.xdotool("type", "--delay", "20", "xterm")
            filtered = wait(lambda: s.image(mx, my + 90, g.width, g.height - 150) != before, 1) is not None
            # Beside the bar where the manager put it: above it, or below one at the top.
            beside = bx <= f[0] < bx + 40 and (abs(f[1] + f[3] - by) < 40 if by + bh / 2 >= H / 2
                                               else abs(f[1] - (by + bh)) < 40)
            row["menu"] = f"{ms(opened)} {'filtered' if filtered else 'not filtered'}" + (
                "" if beside else f" at {f[0]},{f[1]}")
            s.xdotool("key", "Escape")
            wait(lambda: not s.viewable(menus[0]), 2)
        else:
            row["menu"] = "none"
        # The default start-menu shortcut.
        menus = []
        opened = wait(lambda: menus.extend(w for w in s.toplevels() if is_menu(w)) or menus, 2,
                      s.press("Super_L", "space"))
        row["shortcut"] = ms(opened) if menus else "none"
        if menus:
            s.xdotool("key", "Escape")
            wait(lambda: not s.viewable(menus[0]), 2)
        # Settings.
        # "Settings…", the menu's first entry, clicked: not every manager
        # lets the menu have the keyboard.
        s.xdotool("mousemove", "--window", str(bar), "700", "8")
        s.xdotool("click", "3")
        popup = []
        wait(lambda: popup.extend(w for w in s.root.query_tree().children if s.pid_of(w.id) == app.pid and
                                  w.get_attributes().override_redirect and s.viewable(w.id) and
                                  not s.has_type(w.id, "_NET_WM_WINDOW_TYPE_TOOLTIP")) or popup, 3)
        if popup:
            x, y = s.origin(popup[0].id)
            s.xdotool("mousemove", str(x + 40), str(y + 14))
            s.xdotool("click", "1")
        found = []
        is_settings = lambda w: (s.has_type(w, "_NET_WM_WINDOW_TYPE_NORMAL") or
                                 s.has_type(w, "_NET_WM_WINDOW_TYPE_DIALOG")) and \
            (s.prop(s.win(w), "_NET_WM_NAME") or b"") not in (b"Quorvel Start", "Quorvel Start")
        wait(lambda: found.extend(w for w in s.clients() if s.pid_of(w) == app.pid and s.viewable(w) and
                                  is_settings(w)) or found, 5)
        if found:
            time.sleep(0.5)
            f = s.frame(found[0])
            # Centred on the display (the bar's own strip is not taken from
            # it), on the work area above the bar, or on the manager's work
            # area (fvwm's stock configuration keeps a strip on the right).
            wa = (s.prop(s.root, "_NET_WORKAREA") or [0, 0, W, H - BAR])[:4]
            dx = min(f[0] + f[2] / 2 - W / 2, f[0] + f[2] / 2 - (wa[0] + wa[2] / 2), key=abs)
            dy = min(f[1] + f[3] / 2 - H / 2, f[1] + f[3] / 2 - (H - BAR) / 2, f[1] + f[3] / 2 - (wa[1] + wa[3] / 2),
                     key=abs)
            clipped = f[4] < 720 or f[5] < 470
            row["settings"] = ("centred" if max(abs(dx), abs(dy)) <= 2 else f"off {dx:+.0f},{dy:+.0f}") + (
                f" clipped {f[4]}x{f[5]}" if clipped else "")
        else:
            row["settings"] = "none"
        # SIGTERM.
        app.send_signal(signal.SIGTERM)
        try:
            code = app.wait(5)
        except subprocess.TimeoutExpired:
            app.kill()
            code = "hung"
        err.seek(0)
        xerrors = sum(1 for line in err if "X Error" in line or "QXcbConnection: XCB error" in line)
        row["sigterm"] = "clean" if code == 0 and not xerrors else f"exit {code}, {xerrors} X errors"
        shutil.rmtree(home, ignore_errors=True)
    finally:
        s.close()
    return row


def tint2_row(manager):
    s = Session(manager)
    try:
        p = s.spawn(["tint2"])
        s.children.append(p)
        _, cells = panel_cells(s, p.pid, lambda w: s.has_type(w, "_NET_WM_WINDOW_TYPE_DOCK"))
        return cells
    finally:
        s.close()


def main():
    args = sys.argv[1:]
    build = "build"
    if "--build" in args:
        i = args.index("--build")
        build = args[i + 1]
        del args[i:i + 2]
    tint2 = "--tint2" in args
    args = [a for a in args if a != "--tint2"]
    managers = args or list(MANAGERS)
    cols = ["bar", "strut", "max", "activate", "minimise", "restore", "fullscreen", "menu", "shortcut", "settings",
            "sigterm"]
    print("| manager | " + " | ".join(cols) + " |")
    print("|" + "---|" * (len(cols) + 1))
    for m in managers:
        if not shutil.which(PROGRAM.get(m, MANAGERS[m][0])):
            print(f"| {m} | not installed |")
            continue
        try:
            row = quorvel_row(m, build)
        except Exception as e:  # one manager's surprise is its row, not the end of the table
            row = {"bar": f"script error {type(e).__name__}"}
        print(f"| {m} | " + " | ".join(str(row.get(c, "—")) for c in cols) + " |", flush=True)
        if tint2 and shutil.which("tint2"):
            t = tint2_row(m)
            print(f"| {m} (tint2) | " + " | ".join(str(t.get(c, "")) for c in cols[:3]) + " |" + " |" * (len(cols) - 3), flush=True)


if __name__ == "__main__":
    main()
