"""What a screen reader hears of the window: run under dbus-run-session, starts an X server,
the accessibility bus and the program, and reads its tree through AT-SPI (pyatspi).

usage: check_accessibility.py TORVIKALEN"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi, Gio, GLib


def find_all(acc, role, found=None):
    found = [] if found is None else found
    if acc.getRoleName() == role:
        found.append(acc)
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            find_all(child, role, found)
    return found


def application(name, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.5)
    raise SystemExit(f"no application {name!r} on the accessibility bus")


def press(app, caption):
    (item,) = [m for m in find_all(app, "menu item") if m.name == caption]
    try:
        item.queryAction().doAction(0)
    except GLib.Error:
        pass  # an item that opens a modal dialog answers only once the dialog closes


def wait_for(what, probe, seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.3)
    raise SystemExit(f"never appeared: {what}")


def wait_for_accessibility_bus(seconds=30):
    # A program that starts before the bus is there never offers its tree.
    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    deadline = time.time() + seconds
    while time.time() < deadline:
        (owned,) = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "NameHasOwner",
                                     GLib.Variant("(s)", ("org.a11y.Bus",)), None,
                                     Gio.DBusCallFlags.NONE, -1, None).unpack()
        if owned:
            return
        time.sleep(0.2)
    raise SystemExit("the accessibility bus did not start")


def start_x_server():
    # The server picks a free display itself and says which; guessing one races with other
    # tests that start their own servers at the same time.
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                               "-screen", "0", "1280x1024x24"], pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as answer:
        display = answer.readline().strip()
    if not display:
        raise SystemExit("the X server did not start")
    os.environ["DISPLAY"] = ":" + display
    return server


def read_window(failures):
    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    app = application("KTRVO")
    (frame,) = [c for c in find_all(app, "frame") if c.name == "VELDRANO"]
    tables = find_all(frame, "table")
    check([t.name for t in tables] == ["Contactos"], f"the list is named: {[t.name for t in tables]}")
    bars = [b.name for b in find_all(frame, "tool bar")]
    check(bars == ["Barra de herramientas"], f"the tool bar has a Spanish name: {bars}")

    press(app, "Nueva")
    press(app, "Agregar Registro")
    dialog = wait_for("the add dialog", lambda: [
        d for d in find_all(app, "dialog") if d.name == "Agregar Registro"])[0]
    lists = find_all(dialog, "page tab list")
    check(len(lists) == 1, f"one page tab list in the add dialog: {len(lists)}")
    tabs = [t.name for t in find_all(lists[0], "page tab")] if lists else []
    check(tabs == ["Personal", "Negocios"], f"two page tabs: {tabs}")
    boxes = [b.name for b in find_all(dialog, "check box")]
    check(not boxes, f"no check boxes: {boxes}")
    edits = [e.name for e in find_all(dialog, "text")]
    check("Nombre:" in edits and "Oficina:" in edits, "the edits are named by their labels")


def main():
    failures = []
    started = []
    try:
        started.append(start_x_server())
        env = dict(os.environ, QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb", XDG_DATA_HOME=tempfile.mkdtemp(),
                   ASAN_OPTIONS="detect_leaks=0")
        started.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher",
                                         "--launch-immediately"]))
        wait_for_accessibility_bus()
        started.append(subprocess.Popen([sys.argv[1]], env=env))
        Atspi.set_timeout(2000, -1)
        read_window(failures)
    finally:
        for process in reversed(started):
            process.terminate()
            process.wait(timeout=30)
    if failures:
        raise SystemExit(f"{len(failures)} failed")

main()
