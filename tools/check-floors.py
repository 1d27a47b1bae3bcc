#!/usr/bin/env python3
"""Checks that every include and every library link goes down the floors.

  tools/check-floors.py [REPO]

The folders are floors: a folder's files include, and its CMake library
links, only its own floor and those below it. The feature windows stand side
by side: one may use another only through that one's public header. app/ is
the top: nothing includes it. Prints each include or link that climbs or
crosses, and exits 1 when there is one.
"""
import os
import re
import sys

# What each product folder may use besides itself.
BELOW = {
    'resources': set(),
    'namespace': {'resources'},
    'security': {'namespace', 'resources'},
    'ui': {'namespace', 'resources'},
    'properties': {'ui', 'security', 'namespace', 'resources'},
    'explorer': {'ui', 'security', 'namespace', 'resources'},
    'find': {'ui', 'security', 'namespace', 'resources'},
    'holders': {'ui', 'security', 'namespace', 'resources'},
    'app': {'explorer', 'find', 'holders', 'properties', 'ui', 'security', 'namespace', 'resources'},
    'dump': {'security', 'namespace', 'resources'},
}
FEATURES = {'properties', 'explorer', 'find', 'holders'}
# The one header through which another feature window may use a feature.
PUBLIC = {
    'properties': {'PropertySheet.h'},
    'holders': {'HoldersWindow.h'},
}
# System headers of window code, which the floors without windows never see.
WINDOW_HEADERS = {'commctrl.h', 'prsht.h', 'aclui.h', 'windowsx.h', 'commdlg.h', 'shellapi.h'}
WINDOWLESS = {'resources', 'namespace', 'security', 'dump'}
# The system's modal calls, every form of them, made only where the
# program's other windows are disabled around them.
MODAL_CALL = re.compile(r'\b(MessageBox(?:Ex|Indirect)?[AW]?|MessageBoxTimeout[AW]?|TaskDialog(?:Indirect)?'
                        r'|DialogBox(?:Indirect)?(?:Param)?[AW]?|PropertySheet[AW]?)\s*\(')
MODAL_HOME = 'ui/ModalScope.cpp'
LIBRARY_FOLDER = {
    'kagero_resource_ids': 'resources', 'kagero_resources': 'resources', 'kagero_dump_resources': 'resources',
    'kagero_namespace': 'namespace', 'kagero_security': 'security', 'kagero_ui': 'ui',
    'kagero_properties': 'properties', 'kagero_explorer': 'explorer', 'kagero_find': 'find',
    'kagero_holders': 'holders', 'kagero_app': 'app', 'kagero_dump_core': 'dump',
}
# What a target may link besides the product's libraries: the system's.
SYSTEM_LIBRARIES = {'ntdll', 'kernel32', 'advapi32', 'netapi32', 'user32', 'gdi32', 'comctl32'}
LINK_KEYWORDS = {'PUBLIC', 'PRIVATE', 'INTERFACE'}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
LINK = re.compile(r'target_link_libraries\(\s*(\S+)([^)]*)\)', re.S)
# A C/C++/rc source's comments, strings and character literals, in the order
# they start: a // inside a string opens no comment, a " inside a comment no string.
SOURCE_TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'', re.S)


def without_comments(text):
    """The source with each comment made one blank (its line breaks kept), strings as they are."""
    def blank(match):
        token = match.group(0)
        if token.startswith('//'):
            return ' '
        if token.startswith('/*'):
            return ' ' + '\n' * token.count('\n')
        return token
    return SOURCE_TOKEN.sub(blank, text)


def without_cmake_comments(text):
    return re.sub(r'#[^\n]*', '', text)


def headers_by_name(repo):
    """Bare header name -> the product folder that has it."""
    found = {}
    for folder in BELOW:
        for name in os.listdir(os.path.join(repo, folder)) if os.path.isdir(os.path.join(repo, folder)) else []:
            if name.endswith('.h'):
                found.setdefault(name, set()).add(folder)
    return found


def allowed(user, used, header=None):
    if used == user or used in BELOW[user]:
        return True
    # A feature beside another reaches it only through its public header
    # (for a link: some public header exists to be reached through).
    if user in FEATURES and used in FEATURES:
        return used in PUBLIC and (header is None or header in PUBLIC[used])
    return False


def check_includes(repo, headers):
    faults = []
    for folder in BELOW:
        path = os.path.join(repo, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith(('.h', '.cpp', '.rc')):
                continue
            text = without_comments(open(os.path.join(path, name), encoding='utf-8').read())
            where = f'{folder}/{name}'
            if where != MODAL_HOME:
                faults += [f'{where}: {call}() outside {MODAL_HOME}' for call in MODAL_CALL.findall(text)]
            for kind, header in INCLUDE.findall(text):
                if kind == '<':
                    if folder in WINDOWLESS and header.lower() in WINDOW_HEADERS:
                        faults.append(f'{where}: window header <{header}> below the windows')
                    continue
                homes = headers.get(os.path.basename(header), set())
                if len(homes) > 1:
                    faults.append(f'{where}: "{header}" is in several folders: {sorted(homes)}')
                for home in homes:
                    if not allowed(folder, home, os.path.basename(header)):
                        faults.append(f'{where}: includes {home}/{header}')
    return faults


def check_links(repo):
    faults = []
    edges = {}
    for folder in BELOW:
        cmake = os.path.join(repo, folder, 'CMakeLists.txt')
        if not os.path.exists(cmake):
            continue
        for target, rest in LINK.findall(without_cmake_comments(open(cmake, encoding='utf-8').read())):
            # A program stands on its folder's floor, as its libraries do.
            for library in rest.split():
                if library in LINK_KEYWORDS or library in SYSTEM_LIBRARIES:
                    continue
                used = LIBRARY_FOLDER.get(library)
                if used is None:
                    faults.append(f'{folder}/CMakeLists.txt: {target} links {library}, a library of no known floor')
                    continue
                edges.setdefault(target, set()).add(library)
                if not allowed(folder, used):
                    faults.append(f'{folder}/CMakeLists.txt: {target} links {library} ({used}/)')
    # No circle among the libraries, whatever the folders allow.
    state = {}

    def visit(node, trail):
        state[node] = 'open'
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == 'open':
                faults.append('libraries link in a circle: ' + ' -> '.join(trail + [node, nxt]))
            elif nxt not in state:
                visit(nxt, trail + [node])
        state[node] = 'done'

    for node in sorted(edges):
        if node not in state:
            visit(node, [])
    return faults


def main():
    repo = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    faults = check_includes(repo, headers_by_name(repo)) + check_links(repo)
    for fault in faults:
        print(fault)
    print(f'floors: {len(faults)} include(s), link(s) or modal call(s) out of place')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
