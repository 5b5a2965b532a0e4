#!/usr/bin/env python3
"""Takes the pictures of docs/USER_GUIDE.md: the real program in a Wine desktop of 1280 x 800 on a private Xvfb
display, worked as the end-to-end test works it (acceptance.py), in a fresh prefix.

    python3 tests/acceptance/guide_shots.py [--build build] [--out docs]
"""
import argparse
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import acceptance as a  # noqa: E402

WIDTH, HEIGHT = 1280, 800


def use_desktop_window(machine):
    """Every program of the prefix in one Wine desktop window of the pictures' size, which gives them a
    background: the probe must share the program's desktop to find its windows. The server is started again so
    that the desktop is made anew."""
    settings = os.path.join(machine.work, "desktop.reg")
    with open(settings, "w", encoding="utf-8") as out:
        out.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n\"Desktop\"=\"Default\"\n\n"
                  f"[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n\"Default\"=\"{WIDTH}x{HEIGHT}\"\n")
    machine.run("wine", "regedit", "/S", settings)
    machine.run("wineserver", "-k", check_result=False)
    machine.run("wineserver", "-w", check_result=False)
    machine.run("wineserver", "-p")


def save(machine, out, name):
    path = os.path.join(out, name)
    # The pointer away from what it would light up.
    machine.run("xdotool", "mousemove", str(WIDTH - 5), str(HEIGHT - 5))
    time.sleep(0.5)
    machine.run("import", "-window", "root", "-crop", f"{WIDTH}x{HEIGHT}+0+0", "+repage", path)
    print("saved", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--out", default="docs")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    out = os.path.abspath(args.out)
    work = os.path.join(build, "tests", "acceptance", "guide-shots")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    log = open(os.path.join(work, "wine.log"), "wb")
    machine = a.Machine(work, log)
    probe = None
    try:
        machine.start_display()
        machine.make_prefix(os.path.join(build, "tests", "acceptance", "quarrow_viewer.exe"))
        use_desktop_window(machine)
        probe = a.Probe(machine, os.path.join(build, "tests", "acceptance", "quarrow_probe.exe"))
        screen = a.Screen(machine, os.path.join(work, "steps"))
        exe = os.path.join(build, "app", "Quarrow.exe")
        run = os.path.join(work, "run")
        os.makedirs(run)

        app = a.Quarrow(machine, probe, screen, exe, run)
        save(machine, out, "guide-start.png")
        app.expand("Processes")
        app.click_tree_item("Win32_Process")
        app.wait_status("Loading completed.")
        save(machine, out, "guide-results.png")
        tab = next(t for t in app.dump(a.ROLE_PAGE_TAB_LIST) if t["name"] == "Metadata")
        screen.click_in(tab)
        time.sleep(0.5)
        save(machine, out, "guide-metadata.png")
        screen.click_in(next(t for t in app.dump(a.ROLE_PAGE_TAB_LIST) if t["name"] == "Results"))
        app.menu("r", "x")
        time.sleep(0.7)
        save(machine, out, "guide-reports-menu.png")
        screen.key("Escape", "Escape", "Escape")
        app.menu("a", "c")
        a.wait_for("the connect dialog", lambda: app.top_window("Quarrow.ConnectForm"))
        screen.type("server01")
        screen.key("Tab")
        screen.type("CONTOSO\\admin")
        save(machine, out, "guide-connect.png")
        screen.key("ctrl+a", "BackSpace", "shift+Tab", "ctrl+a")
        screen.type("quarrow-no-such-machine")
        screen.key("Return")
        a.wait_for("the connection error", lambda: app.message_box_parts("Connection Error"))
        save(machine, out, "guide-connection-error.png")
        screen.key("Return")
        screen.key("Escape")
        a.wait_for("the dialog closed", lambda: app.top_window("Quarrow.ConnectForm") is None)
        # A typed query on the Query page, run into the Results grid.
        screen.key("ctrl+q")
        a.wait_for("the Query page", lambda: next((t for t in app.dump(a.ROLE_PAGE_TAB_LIST) if t["name"] == "Query"
                                                   and t["state"] & a.STATE_SELECTED), None))
        screen.type("SELECT Name, ProcessId, ThreadCount, WorkingSetSize")
        screen.key("Return")
        screen.type("FROM Win32_Process")
        screen.key("Return")
        screen.type("WHERE ThreadCount > 2")
        screen.key("F5")
        a.wait_for("the query's rows", lambda: [c["name"].lower() for c in app.grid(header_only=True)[0]] ==
                   ["name", "processid", "threadcount", "workingsetsize"] and
                   app.status()[0].startswith("Loading completed. "))
        save(machine, out, "guide-query-results.png")
        # Ctrl+Q again brings the page back with the keyboard in the text.
        screen.key("ctrl+q", "ctrl+End")
        time.sleep(0.5)
        save(machine, out, "guide-query.png")
        app.menu("a", "x")
        app.wait_exit()

        # The class view of the test's own file.
        config = os.path.join(run, "ClassView.xml")
        with open(config, "w", encoding="utf-8") as file:
            file.write(a.CLASS_VIEW)
        probe.ask("set-option", "ConfigFile", "sz", a.windows_path(config))
        probe.ask("set-option", "AsyncLoad", "dword", 1)
        probe.ask("set-option", "ReportTarget", "dword", 1)
        app = a.Quarrow(machine, probe, screen, exe, run)
        app.click_tree_item("Local Machine")
        screen.key("KP_Multiply")
        a.wait_for("the tree expanded", lambda: len(a.class_view_items(app)) == len(a.CLASS_VIEW_TREE))
        app.click_tree_item("Win32_Service")
        app.wait_status("Loading completed.")
        save(machine, out, "guide-class-view.png")
        app.menu("a", "x")
        app.wait_exit()
    finally:
        if probe is not None:
            probe.close()
        machine.stop()
        log.close()
    shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
