#!/usr/bin/env python3
"""The Windows program's dialog templates against the Linux program's Qt
Designer files and the windows' fixed texts, numbers and rectangles, so the
two desktop front ends cannot drift apart.

    dialog_resources_test.py VELKOR_RC RESOURCE_IDS_H VERSION_HEADER_IN UI_FOLDER VERSION

VELKOR_RC is resources/windows/velkor.rc, RESOURCE_IDS_H src/win32ui/resource_ids.h,
VERSION_HEADER_IN the template of the version header the resource script
includes, UI_FOLDER the folder of the .ui files and VERSION the project's
version (1.0.0). The resource script is read with a small tokenizer of its
own: no resource compiler is needed, so the check runs in either build.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

# Numbers the system headers give the resource script.
SYSTEM_NUMBERS = {'IDOK': 1, 'IDCANCEL': 2, 'IDC_STATIC': -1}

# The numbers of the templates, icons, string and menu command, and of every
# control, as the program and its tests use them.
FIXED_NUMBERS = {
    'IDD_ABOUT': 100, 'IDD_MAIN': 102, 'IDD_PROGRESS': 129,
    'IDI_APPLICATION_ICON': 128, 'IDI_DRIVE': 130, 'IDI_FOLDER': 131, 'IDI_PAGE': 133,
    'IDS_ABOUT_MENU_ENTRY': 101, 'IDM_ABOUT_BOX': 16,
    'IDC_ALL_DRIVES': 1009, 'IDC_RECURSIVE': 1010, 'IDC_WILDCARDS': 1011, 'IDC_START': 1012,
    'IDC_ALL_FILES': 1013, 'IDC_ESTIMATE_MODE': 1014, 'IDC_BASE_DIRECTORIES': 1015,
    'IDC_BROWSER_LIST': 1029, 'IDC_WILDCARDS_LABEL': 1032, 'IDC_ABOUT': 1034,
    'IDC_CURRENT_DIRECTORY': 1036, 'IDC_HELP_BUTTON': 1037,
    'IDC_DISK_BAR': 1017, 'IDC_FILE_BAR': 1018, 'IDC_TOTAL_FILES': 1019,
    'IDC_DOCUMENT_FILES': 1020, 'IDC_COMPRESSED_FILES': 1021, 'IDC_BYTES_BEFORE': 1022,
    'IDC_BYTES_AFTER': 1023, 'IDC_BYTES_REDUCED': 1025, 'IDC_RATIO': 1026,
    'IDC_DISK_TEXT': 1027, 'IDC_FILE_TEXT': 1028, 'IDC_STATUS_TEXT': 1031,
    'IDC_WEB_PAGE': 1038, 'IDC_MAIL': 1039,
}

ABOUT_MENU_ENTRY = '&About Velkor...'

# Each window: its template, its Qt Designer file, caption, size in dialog
# units, and its controls in template (and tab) order: the control number
# (-1 for a text without one), the Qt object name it is in the Linux window,
# the fixed text (None: the Qt file's text decides alone) and the rectangle.
WINDOWS = [
    {
        'template': 102, 'ui': 'main_dialog.ui', 'caption': 'Velkor', 'size': (339, 237),
        'controls': [
            (1014, 'estimateModeBox', 'Estimate mode', (19, 13, 62, 10)),
            (1010, 'recursiveBox', 'Recursively', (125, 13, 53, 10)),
            (1009, 'allDrivesBox', 'Process all non-removable drives', (19, 36, 119, 10)),
            (1029, 'browserList', '', (28, 76, 285, 69)),
            (1013, 'allFilesBox', 'All files', (19, 167, 37, 10)),
            (1011, 'wildcardsEdit', '', (151, 167, 171, 14)),
            (1012, 'startButton', 'Start', (92, 205, 50, 14)),
            (1034, 'aboutButton', 'About...', (212, 205, 50, 14)),
            (2, 'closeButton', 'Close', (272, 205, 50, 14)),
            (1015, 'baseDirectoriesGroup', 'Base directories', (19, 48, 303, 107)),
            (1032, 'wildcardsLabel', 'Wildcards:', (95, 169, 34, 8)),
            (1036, 'currentDirectoryLabel', 'Current Directory', (28, 62, 285, 8)),
            (1037, 'helpButton', 'Help', (152, 205, 50, 14)),
        ],
    },
    {
        'template': 129, 'ui': 'progress_dialog.ui', 'caption': 'Compressing', 'size': (349, 201),
        'controls': [
            (2, 'stopButton', '&Stop', (281, 180, 50, 14)),
            (1017, 'diskBar', '', (16, 22, 315, 12)),
            (1018, 'fileBar', '', (16, 73, 315, 12)),
            (1027, 'diskText', 'Disk', (16, 9, 315, 8)),
            (1028, 'fileText', 'File', (16, 60, 315, 8)),
            (-1, 'totalFilesLabel', 'Total files:', (16, 100, 33, 8)),
            (-1, 'documentFilesLabel', 'Document files:', (16, 115, 50, 8)),
            (-1, 'compressedFilesLabel', 'Compressed files:', (16, 130, 56, 8)),
            (-1, 'bytesBeforeLabel', 'Bytes before compression:', (164, 100, 84, 8)),
            (-1, 'bytesAfterLabel', 'Bytes after compression:', (164, 115, 78, 8)),
            (-1, 'bytesReducedLabel', 'Bytes reduced:', (164, 130, 48, 8)),
            (-1, 'ratioLabel', 'Compression ratio:', (164, 145, 58, 8)),
            (1019, 'totalFilesText', '0', (82, 100, 66, 8)),
            (1020, 'documentFilesText', '0', (82, 115, 66, 8)),
            (1021, 'compressedFilesText', '0', (82, 130, 66, 8)),
            (1022, 'bytesBeforeText', '0', (259, 100, 52, 8)),
            (1023, 'bytesAfterText', '0', (259, 115, 55, 8)),
            (1025, 'bytesReducedText', '0', (259, 130, 55, 8)),
            (1026, 'ratioText', '0', (259, 145, 55, 8)),
            (1031, 'statusText', 'Status', (16, 44, 315, 8)),
        ],
    },
    {
        'template': 100, 'ui': 'about_dialog.ui', 'caption': 'About Velkor', 'size': (200, 127),
        'controls': [
            (1, 'okButton', 'OK', (152, 6, 41, 14)),
            (-1, 'iconLabel', None, (7, 6, 20, 20)),
            (-1, 'productLabel', 'Velkor', (39, 6, 82, 8)),
            (-1, 'versionLabel', 'Version 1.00', (39, 21, 82, 8)),
            (-1, 'descriptionLabel', None, (39, 36, 110, 8)),
            (-1, 'releaseLabel', None, (39, 52, 82, 8)),
            (1038, 'webPageButton', None, (39, 72, 106, 14)),
            (1039, 'mailButton', None, (39, 99, 106, 14)),
        ],
    },
]

# Control statements: which argument holds what. "text" is absent where the
# statement has none; CONTROL names its class and style before the rectangle.
STATEMENTS = {
    'LTEXT': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'RTEXT': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'CTEXT': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'PUSHBUTTON': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'DEFPUSHBUTTON': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'AUTOCHECKBOX': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'CHECKBOX': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'GROUPBOX': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'EDITTEXT': ('id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'ICON': ('text', 'id', 'x', 'y', 'w', 'h', 'style', 'exstyle'),
    'CONTROL': ('text', 'id', 'class', 'style', 'x', 'y', 'w', 'h', 'exstyle'),
}

TOKEN = re.compile(r'''
    (?P<space>\s+)
  | (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<directive>^[ \t]*\#[^\n]*)
  | (?P<string>L?"(?:[^"\\]|\\.|"")*")
  | (?P<number>0[xX][0-9a-fA-F]+L?|\d+L?)
  | (?P<name>[A-Za-z_][A-Za-z0-9_.]*)
  | (?P<punct>[,|()+\-~])
''', re.VERBOSE | re.DOTALL | re.MULTILINE)


def tokens(text):
    """The tokens of a resource script: (kind, text), comments and
    preprocessor lines left out."""
    at = 0
    found = []
    while at < len(text):
        match = TOKEN.match(text, at)
        if not match:
            raise ValueError(f'cannot read the resource script at {text[at:at + 40]!r}')
        at = match.end()
        kind = match.lastgroup
        if kind in ('space', 'comment', 'directive'):
            continue
        found.append((kind, match.group()))
    return found


def string_value(token):
    body = token[token.index('"') + 1:-1]
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == '"' and body[i + 1:i + 2] == '"':
            out.append('"')
            i += 2
        elif c == '\\' and i + 1 < len(body):
            out.append({'n': '\n', 't': '\t', '\\': '\\', '"': '"'}.get(body[i + 1], body[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


class Script:
    """A resource script's dialogs and strings, with names resolved."""

    def __init__(self, text, defines):
        self.tokens = tokens(text)
        self.at = 0
        self.defines = defines
        self.dialogs = {}
        self.strings = {}
        self.parse()

    def peek(self, offset=0):
        index = self.at + offset
        return self.tokens[index] if index < len(self.tokens) else (None, None)

    def take(self):
        token = self.peek()
        self.at += 1
        return token

    def value(self, kind, text):
        """A single token's value: a string's text, a number, or a name's
        number (a style name stays a name)."""
        if kind == 'string':
            return string_value(text)
        if kind == 'number':
            return int(text.rstrip('L'), 0)
        if text in self.defines:
            return self.defines[text]
        return text

    def expression(self):
        """One argument: a value, a negative number, or flags joined by |."""
        parts = []
        negative = False
        while True:
            kind, text = self.take()
            if kind == 'punct' and text == '-':
                negative = True
                continue
            if kind == 'name' and text == 'NOT':
                kind, text = self.take()
                parts.append('NOT ' + text)
            else:
                value = self.value(kind, text)
                parts.append(-value if negative and isinstance(value, int) else value)
            negative = False
            if self.peek() == ('punct', '|'):
                self.take()
                continue
            break
        return parts[0] if len(parts) == 1 else parts

    def arguments(self):
        args = [self.expression()]
        while self.peek() == ('punct', ','):
            self.take()
            args.append(self.expression())
        return args

    def parse(self):
        while self.at < len(self.tokens):
            kind, text = self.take()
            if text == 'STRINGTABLE':
                self.skip_to('BEGIN')
                while self.peek()[1] != 'END':
                    number = self.expression()
                    if self.peek() == ('punct', ','):
                        self.take()
                    self.strings[number] = self.expression()
                self.take()
            elif self.peek()[1] in ('DIALOG', 'DIALOGEX'):
                self.take()
                self.dialog(self.value(kind, text))

    def skip_to(self, word):
        while self.take()[1] != word:
            pass

    def dialog(self, number):
        rect = self.arguments()
        dialog = {'rect': tuple(rect[:4]), 'caption': None, 'style': [], 'controls': []}
        while self.peek()[1] != 'BEGIN':
            kind, word = self.take()
            if word == 'CAPTION':
                dialog['caption'] = self.expression()
            elif word in ('STYLE', 'EXSTYLE', 'FONT', 'LANGUAGE', 'CLASS', 'MENU'):
                value = self.arguments()
                if word == 'STYLE':
                    dialog['style'] = flags(value[0])
        self.take()
        while self.peek()[1] != 'END':
            _, keyword = self.take()
            if keyword not in STATEMENTS:
                raise ValueError(f'dialog {number}: unknown control statement {keyword}')
            args = dict(zip(STATEMENTS[keyword], self.arguments()))
            args['keyword'] = keyword
            args['style'] = flags(args.get('style', []))
            dialog['controls'].append(args)
        self.take()
        self.dialogs[number] = dialog


def flags(value):
    return value if isinstance(value, list) else [value]


def read_defines(path):
    defines = dict(SYSTEM_NUMBERS)
    with open(path, encoding='utf-8') as header:
        for line in header:
            match = re.match(r'\s*#define\s+(\w+)\s+(.+?)\s*(//.*)?$', line)
            if match:
                value = match.group(2)
                if re.fullmatch(r'-?\d+', value):
                    defines[match.group(1)] = int(value)
                elif value.startswith('"'):
                    defines[match.group(1)] = value
    return defines


def version_defines(template, version):
    """The version header's string macros, filled in as the build does:
    "Version 1.00" has the minor version in two digits."""
    major, minor = version.split('.')[:2]
    text = f'{major}.{int(minor):02d}'
    defines = {}
    with open(template, encoding='utf-8') as header:
        for line in header:
            match = re.match(r'\s*#define\s+(\w+)\s+(".*")\s*$', line)
            if match:
                value = match.group(2).replace('@VELKOR_VERSION_TEXT@', text)
                defines[match.group(1)] = string_value(value.replace('@PROJECT_VERSION@', version))
    return defines


def ui_widgets(path):
    """Each widget of a Qt Designer file by object name: its class, its text
    (a group box's title) and whether it starts enabled; the window's title
    and the tab order."""
    root = ElementTree.parse(path).getroot()
    window = root.find('widget')
    widgets = {}
    for widget in window.iter('widget'):
        props = {p.get('name'): p for p in widget.findall('property')}

        def text_of(name):
            prop = props.get(name)
            node = prop.find('string') if prop is not None else None
            return (node.text or '') if node is not None else None

        enabled = props.get('enabled')
        widgets[widget.get('name')] = {
            'class': widget.get('class'),
            'text': text_of('title') if widget.get('class') == 'QGroupBox' else text_of('text'),
            'enabled': enabled is None or enabled.find('bool').text != 'false',
        }
    title = window.find("property[@name='windowTitle']/string").text
    tabs = [t.text for t in root.findall('tabstops/tabstop')]
    return title, widgets, tabs


# The statements whose controls have a tab stop unless told NOT WS_TABSTOP.
TAB_STOP_BY_DEFAULT = {'PUSHBUTTON', 'DEFPUSHBUTTON', 'AUTOCHECKBOX', 'CHECKBOX', 'EDITTEXT'}


def has_tab_stop(control):
    if 'NOT WS_TABSTOP' in control['style']:
        return False
    return control['keyword'] in TAB_STOP_BY_DEFAULT or 'WS_TABSTOP' in control['style']


def check_window(spec, dialog, ui_folder, failures):
    name = spec['ui']

    def fail(message):
        failures.append(f'{name} / template {spec["template"]}: {message}')

    title, widgets, tabs = ui_widgets(f'{ui_folder}/{name}')
    if dialog['caption'] != spec['caption']:
        fail(f'caption {dialog["caption"]!r}, expected {spec["caption"]!r}')
    if title != dialog['caption']:
        fail(f'caption {dialog["caption"]!r}, the Qt window has {title!r}')
    if dialog['rect'][2:] != spec['size']:
        fail(f'size {dialog["rect"][2:]}, expected {spec["size"]}')

    controls = dialog['controls']
    if spec['template'] == 102 and any(c['keyword'] == 'DEFPUSHBUTTON' or c.get('id') == 1
                                       for c in controls):
        fail('a default push button or an OK control: Enter must stay the browser\'s')
    if 'WS_VISIBLE' in dialog['style']:
        fail('visible when created')
    if len(controls) != len(spec['controls']):
        fail(f'{len(controls)} controls, expected {len(spec["controls"])}')
    for control, (number, field, fixed, rect) in zip(controls, spec['controls']):
        where = f'control {control.get("id")} ({field})'
        if control.get('id') != number:
            fail(f'{where}: in the place of control {number}')
            continue
        got_rect = tuple(control.get(k) for k in ('x', 'y', 'w', 'h'))
        if got_rect != rect:
            fail(f'{where}: rectangle {got_rect}, expected {rect}')
        text = control.get('text', '')
        if control['keyword'] == 'ICON':
            if text != FIXED_NUMBERS['IDI_APPLICATION_ICON']:
                fail(f'{where}: shows icon {text}, expected the application icon')
        elif fixed is not None and text != fixed:
            fail(f'{where}: text {text!r}, expected {fixed!r}')
        widget = widgets.get(field)
        if widget is None:
            fail(f'{where}: no widget {field} in the Qt window')
            continue
        if widget['text'] is not None and control['keyword'] != 'ICON' and text != widget['text']:
            fail(f'{where}: text {text!r}, the Qt window has {widget["text"]!r}')
        disabled = 'WS_DISABLED' in control['style']
        if disabled == widget['enabled']:
            fail(f'{where}: starts {"disabled" if disabled else "enabled"}, '
                 f'the Qt window\'s {"enabled" if widget["enabled"] else "disabled"}')
    # The tab order: the controls with a tab stop, in template order.
    by_number = {number: field for number, field, _, _ in spec['controls']}
    order = [by_number.get(c.get('id')) for c in controls if has_tab_stop(c)]
    if tabs and order != tabs:
        fail(f'tab order {order}, the Qt window has {tabs}')


def main():
    rc, ids_header, version_header, ui_folder, version = sys.argv[1:6]
    failures = []
    defines = read_defines(ids_header)
    for macro, number in FIXED_NUMBERS.items():
        if defines.get(macro) != number:
            failures.append(f'{ids_header}: {macro} is {defines.get(macro)}, expected {number}')
    defines.update(version_defines(version_header, version))
    with open(rc, encoding='utf-8') as script_file:
        script = Script(script_file.read(), defines)

    if script.strings.get(101) != ABOUT_MENU_ENTRY:
        failures.append(f'string 101 is {script.strings.get(101)!r}, expected {ABOUT_MENU_ENTRY!r}')
    if sorted(script.dialogs) != sorted(w['template'] for w in WINDOWS):
        failures.append(f'dialog templates {sorted(script.dialogs)}, expected 100, 102 and 129')
    for spec in WINDOWS:
        if spec['template'] in script.dialogs:
            check_window(spec, script.dialogs[spec['template']], ui_folder, failures)
    about = script.dialogs.get(100, {'controls': []})['controls']
    for control in about:
        if control.get('id') in (1038, 1039) and not re.match(r'(https://|mailto:)\S+$',
                                                               control.get('text', '')):
            failures.append(f'about_dialog.ui / template 100: link button {control["id"]} '
                            f'shows {control.get("text")!r}, not its address')

    for failure in failures:
        print(failure)
    checked = sum(len(w['controls']) for w in WINDOWS)
    print(f'{len(WINDOWS)} windows and {checked} controls checked, {len(failures)} differences')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
