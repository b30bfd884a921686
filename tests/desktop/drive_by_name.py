#!/usr/bin/python3
"""Drives the dunsk window through the accessibility bus, the way a screen reader finds it.

The controls are found by their accessible names only: the licence key and the query word are
set, Search is pressed, and the status line (the label described as "Status") is read back once
the search has ended. Prints "status=TEXT" and "search-number=N"; exits 1 on any failure.

    drive_by_name.py --pid PID --key KEY --word WORD [--timeout SECONDS]

Needs a session bus with the accessibility bus on it, and the program started with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1.
"""

import argparse
import sys
import time

import pyatspi

IN_PROGRESS = "Search in progress..."


class DriveError(Exception):
    pass


def poll(what, seconds, probe):
    """Calls probe until it gives something other than None, for at most `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            found = probe()
        except Exception:  # a tree still being built answers with D-Bus errors
            found = None
        if found is not None:
            return found
        if time.monotonic() > deadline:
            raise DriveError(f"{what}: not found within {seconds} s")
        time.sleep(0.2)


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.get_process_id() == pid and app.childCount > 0:
            return app
    return None


def window(app):
    for index in range(app.childCount):
        child = app.getChildAtIndex(index)
        if child is not None and child.name.startswith("Tarvex"):
            return child
    return None


def descendant(root, role, name=None, description=None):
    def matches(node):
        return (
            node is not None
            and node.getRole() == role
            and (name is None or node.name == name)
            and (description is None or node.description == description)
        )

    return pyatspi.findDescendant(root, matches)


def setText(node, text, what):
    editable = node.queryEditableText()
    if not editable.setTextContents(text):
        raise DriveError(f"{what}: the text was refused")


def comboEdit(combo):
    """The editable text inside the query word combo box."""
    for index in range(combo.childCount):
        child = combo.getChildAtIndex(index)
        if child is not None and "EditableText" in pyatspi.utils.listInterfaces(child):
            return child
    return None


def press(button, what):
    action = button.queryAction()
    for index in range(action.nActions):
        if action.getName(index) in ("press", "Press", "click"):
            action.doAction(index)
            return
    raise DriveError(f"{what}: has no press action")


def drive(args):
    app = poll("the dunsk application", args.timeout, lambda: application(args.pid))
    dialog = poll("the Tarvex window", args.timeout, lambda: window(app))

    key = poll(
        "License Key",
        args.timeout,
        lambda: descendant(dialog, pyatspi.ROLE_PASSWORD_TEXT, name="License Key"),
    )
    combo = poll(
        "Query Word",
        args.timeout,
        lambda: descendant(dialog, pyatspi.ROLE_COMBO_BOX, name="Query Word"),
    )
    search = poll(
        "Search",
        args.timeout,
        lambda: descendant(dialog, pyatspi.ROLE_PUSH_BUTTON, name="Search"),
    )
    status = poll(
        "Status",
        args.timeout,
        lambda: descendant(dialog, pyatspi.ROLE_LABEL, description="Status"),
    )
    number = poll(
        "Search #",
        args.timeout,
        lambda: descendant(dialog, pyatspi.ROLE_LABEL, description="Search #"),
    )

    edit = poll("the Query Word text", args.timeout, lambda: comboEdit(combo))
    setText(key, args.key, "License Key")
    setText(edit, args.word, "Query Word")
    before = status.name
    press(search, "Search")

    # The status shows the progress, then the end of the search.
    def ended():
        text = status.name
        return text if text not in (before, IN_PROGRESS) else None

    text = poll("a new status", args.timeout, ended)
    print(f"status={text}")
    print(f"search-number={number.name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid", type=int, required=True, help="process id of dunsk")
    parser.add_argument("--key", required=True, help="licence key to enter")
    parser.add_argument("--word", required=True, help="query word to search for")
    parser.add_argument("--timeout", type=float, default=30, help="seconds for each wait")
    args = parser.parse_args()
    try:
        drive(args)
    except Exception as failure:  # D-Bus errors end the run as failures too
        print(f"drive_by_name: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
