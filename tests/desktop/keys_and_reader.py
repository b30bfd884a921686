#!/usr/bin/python3
"""One step of driving the dunsk window through the accessibility bus, as a screen reader does.

    keys_and_reader.py --pid PID STEP [ARGUMENTS...]

Steps:
  state                 prints "status=TEXT" and "spreadsheet=0|1" (the check box's state)
  search KEY WORD       sets the licence key and the query word, presses Search, waits for the end
  focused               prints "focused=ROLE:NAME" of the focused control
  toggle NAME           runs the check box's accessible Toggle action (not a click)
  press NAME            runs the button's accessible press action
Exits 1 on any failure.
"""

import argparse
import sys

import pyatspi

from drive_by_name import DriveError, application, comboEdit, descendant, poll, press, setText
from drive_by_name import window as mainWindow

IN_PROGRESS = "Search in progress..."


def named(dialog, name, timeout):
    return poll(name, timeout, lambda: pyatspi.findDescendant(dialog, lambda n: n.name == name))


def status(dialog, timeout):
    return poll(
        "Status",
        timeout,
        lambda: pyatspi.findDescendant(
            dialog, lambda n: n.getRole() == pyatspi.ROLE_LABEL and n.description == "Status"
        ),
    )


def state(dialog, timeout):
    box = named(dialog, "Spread Sheet Mode", timeout)
    checked = box.getState().contains(pyatspi.STATE_CHECKED)
    print(f"status={status(dialog, timeout).name}")
    print(f"spreadsheet={1 if checked else 0}")


def search(dialog, key, word, timeout):
    keyField = poll(
        "License Key",
        timeout,
        lambda: descendant(dialog, pyatspi.ROLE_PASSWORD_TEXT, name="License Key"),
    )
    combo = poll(
        "Query Word", timeout, lambda: descendant(dialog, pyatspi.ROLE_COMBO_BOX, name="Query Word")
    )
    setText(keyField, key, "License Key")
    setText(poll("the Query Word text", timeout, lambda: comboEdit(combo)), word, "Query Word")
    line = status(dialog, timeout)
    before = line.name
    press(named(dialog, "Search", timeout), "Search")
    poll("the end of the search", timeout, lambda: line.name not in (before, IN_PROGRESS) or None)
    print(f"status={line.name}")


def focused(dialog):
    def isFocused(node):
        return node is not None and node.getState().contains(pyatspi.STATE_FOCUSED)

    node = pyatspi.findDescendant(dialog, isFocused)
    if node is None:
        raise DriveError("no control has the focus")
    print(f"focused={node.getRoleName()}:{node.name}")


def toggle(box, what):
    action = box.queryAction()
    for index in range(action.nActions):
        if action.getName(index).lower() == "toggle":
            action.doAction(index)
            return
    raise DriveError(f"{what}: has no toggle action")


def run(args):
    app = poll("the dunsk application", args.timeout, lambda: application(args.pid))
    dialog = poll("the Tarvex window", args.timeout, lambda: mainWindow(app))
    step, rest = args.step, args.arguments
    if step == "state":
        state(dialog, args.timeout)
    elif step == "search" and len(rest) == 2:
        search(dialog, rest[0], rest[1], args.timeout)
    elif step == "focused":
        focused(dialog)
    elif step == "toggle" and len(rest) == 1:
        toggle(named(dialog, rest[0], args.timeout), rest[0])
    elif step == "press" and len(rest) == 1:
        press(named(dialog, rest[0], args.timeout), rest[0])
    else:
        raise DriveError(f"unknown step or wrong arguments: {step} {rest}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid", type=int, required=True, help="process id of dunsk")
    parser.add_argument("--timeout", type=float, default=20, help="seconds for each wait")
    parser.add_argument("step")
    parser.add_argument("arguments", nargs="*")
    args = parser.parse_args()
    try:
        run(args)
    except Exception as failure:  # D-Bus errors end the run as failures too
        print(f"keys_and_reader: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
