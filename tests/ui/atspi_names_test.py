#!/usr/bin/python3
# The window as a screen reader finds it: the program runs on an X display (Xvfb) with the
# accessibility bus of a desktop session, and the first address box is found through
# AT-SPI by the name a screen reader speaks, "Address 1, PN", holding the first address.
# Run under dbus-run-session and xvfb-run; argument: the palor-programmer executable.
import os
import subprocess
import sys
import time

try:
    import pyatspi
except ImportError:
    print("pyatspi (python3-pyatspi) is not installed: skipped")
    sys.exit(77)

WANTED_NAME = "Address 1, PN"
WANTED_TEXT = "2004000"


def find(node, depth=0):
    """The first object below `node` named WANTED_NAME, depth first."""
    if node is None or depth > 40:
        return None
    try:
        if node.name == WANTED_NAME:
            return node
        for i in range(node.childCount):
            found = find(node.getChildAtIndex(i), depth + 1)
            if found is not None:
                return found
    except Exception:  # an object that went away while walking
        return None
    return None


def main():
    program = sys.argv[1]
    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               PALOR_EXTRA_PORTS="")
    window = subprocess.Popen([program], env=env)
    starts = 1
    try:
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            time.sleep(0.5)
            # The X server of xvfb-run may not take connections yet when the window starts;
            # the window then ends at once, and is started again.
            if window.poll() is not None and starts < 5:
                window = subprocess.Popen([program], env=env)
                starts += 1
                continue
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is None or "palor" not in (app.name or ""):
                    continue
                box = find(app)
                if box is None:
                    continue
                text = box.queryText().getText(0, -1)
                role = box.getRoleName()
                print(f"found '{box.name}' ({role}) holding '{text}'")
                if text != WANTED_TEXT:
                    print(f"expected the text '{WANTED_TEXT}'")
                    return 1
                return 0
        print(f"no object named '{WANTED_NAME}' in the application")
        return 1
    finally:
        window.terminate()
        window.wait(timeout=10)
        launcher.terminate()
        launcher.wait(timeout=10)


if __name__ == "__main__":
    sys.exit(main())
