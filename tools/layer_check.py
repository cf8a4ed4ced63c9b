#!/usr/bin/env python3
"""The layer check of src/: every include points down.

Reads the floor table (src/floors.txt: "FLOOR FOLDER" lines) and every .h and .cpp file
under the source directory, and reports, one line each:
  - a folder that holds source files and is not in the table;
  - an include of a project file ("folder/file.h") from a folder on a lower floor, or
    from another folder on the same floor;
  - a Qt Widgets header included outside a qt/ folder, ui/ and app/ (the engine and the
    tools below them stay free of widgets; Qt Gui and Core are allowed).
Exit status 0 when there is nothing to report, 1 otherwise, 2 for a bad command line.

usage: layer_check.py SOURCE-DIR FLOOR-TABLE [--qt-include DIR]
DIR is the Qt 6 include directory (the one holding QtWidgets/); by default the usual
Debian places are tried, else a list of the common Widgets headers is used.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
QT_ROOTS = ["/usr/include/x86_64-linux-gnu/qt6", "/usr/include/aarch64-linux-gnu/qt6", "/usr/include/qt6"]
COMMON_WIDGETS = {
    "QtWidgets", "QApplication", "QWidget", "QMainWindow", "QDialog", "QMessageBox", "QLabel", "QFrame",
    "QMenu", "QMenuBar", "QStatusBar", "QScrollBar", "QPushButton", "QListView", "QTreeView", "QTableView",
    "QToolBar", "QSlider", "QLineEdit", "QTextEdit", "QFileDialog", "QPrintDialog", "QScrollArea",
}
WIDGET_FOLDERS = ("ui", "app")


def read_floors(path):
    floors = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) != 2 or not parts[0].isdigit():
                sys.exit(f"{path}:{number}: want FLOOR FOLDER, not {line!r}")
            floors[parts[1].strip("/")] = int(parts[0])
    return floors


def widget_headers(qt_include):
    roots = [qt_include] if qt_include else QT_ROOTS
    for root in roots:
        widgets = os.path.join(root, "QtWidgets")
        if os.path.isdir(widgets):
            names = set(os.listdir(widgets))
            # Headers that Qt Gui or Core also has (qaction.h forwards to Qt Gui) are not
            # the Widgets module's own.
            for other in ("QtGui", "QtCore"):
                if os.path.isdir(os.path.join(root, other)):
                    names -= set(os.listdir(os.path.join(root, other)))
            return names | {"QtWidgets"}
    return set(COMMON_WIDGETS)


def may_use_widgets(folder):
    parts = folder.split("/")
    return "qt" in parts or parts[0] in WIDGET_FOLDERS


def check(src, floors, widgets):
    problems = []
    for root, dirs, files in os.walk(src):
        dirs.sort()
        sources = sorted(f for f in files if f.endswith((".h", ".cpp")))
        if not sources:
            continue
        folder = os.path.relpath(root, src).replace(os.sep, "/")
        if folder not in floors:
            problems.append(f"{folder}/: holds source files but is not in the floor table")
            continue
        floor = floors[folder]
        for name in sources:
            path = os.path.join(root, name)
            shown = f"{folder}/{name}"
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, target = m.groups()
                    if kind == "<":
                        header = target.split("/")[0] if target.startswith("QtWidgets/") else target
                        if (header in widgets or target.startswith("QtWidgets/")) and not may_use_widgets(folder):
                            problems.append(f"{shown}:{number}: includes <{target}>, a Qt Widgets header, "
                                            f"outside qt/, ui/ and app/")
                        continue
                    if not os.path.isfile(os.path.join(src, target)):
                        continue  # not a project file (generated, or relative to a test)
                    target_folder = os.path.dirname(target)
                    if target_folder == folder:
                        continue
                    if target_folder not in floors:
                        problems.append(f"{shown}:{number}: includes \"{target}\" from a folder "
                                        f"that is not in the floor table")
                        continue
                    other = floors[target_folder]
                    if other > floor:
                        problems.append(f"{shown}:{number}: includes \"{target}\": {target_folder} (floor {other}) "
                                        f"is above {folder} (floor {floor})")
                    elif other == floor:
                        problems.append(f"{shown}:{number}: includes \"{target}\": {target_folder} shares "
                                        f"floor {floor} with {folder}, and folders on one floor are independent")
    return problems


def main(argv):
    args = argv[1:]
    qt_include = None
    if "--qt-include" in args:
        i = args.index("--qt-include")
        if i + 1 >= len(args):
            print(__doc__, file=sys.stderr)
            return 2
        qt_include = args[i + 1]
        del args[i:i + 2]
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    src, table = args
    problems = check(src, read_floors(table), widget_headers(qt_include))
    for p in problems:
        print(p)
    if problems:
        print(f"layer check: {len(problems)} problem(s)")
        return 1
    print("layer check: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
